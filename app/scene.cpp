// Scene manager: which of the four scenes is current, and the switch between
// them at one fixed point of the frame.
//
// State: the current scene and the scene asked for (equal when no change is
// pending), both the title at program start. The scenes themselves are other
// modules; this one only calls their four operations through a constant table.
//
// Lifetime: SetScene(SCENE_TITLE) at start-up makes the title current; from
// then on a requested change is carried out right after the current scene's
// Update (old Uninit, then new Init), and UninitScene at shutdown ends the
// current scene. Main thread only.
#include "app/scene.h"
#include "app/scene_testing.h"

#include "game/game1.h"
#include "game/game2.h"
#include "ui2d/result.h"
#include "ui2d/title.h"

typedef void (*SceneFunction)(void);

enum { SCENE_OP_INIT = 0, SCENE_OP_UNINIT = 1, SCENE_OP_UPDATE = 2, SCENE_OP_DRAW = 3 };

// Laid out by operation, then by scene: entry = operation * SCENE_MAX + scene.
static const SceneFunction g_sceneFunctions[4 * SCENE_MAX] = {
    InitTitle,   InitGame1,   InitGame2,   InitResult,   UninitTitle, UninitGame1, UninitGame2, UninitResult,
    UpdateTitle, UpdateGame1, UpdateGame2, UpdateResult, DrawTitle,   DrawGame1,   DrawGame2,   DrawResult,
};

static int g_scene = SCENE_TITLE;
static int g_nextScene = SCENE_TITLE;

static bool IsValidScene(int scene) { return scene >= 0 && scene < SCENE_MAX; }

static void CallScene(int operation, int scene) { g_sceneFunctions[operation * SCENE_MAX + scene](); }

// Makes a scene current at once and runs its Init (no Uninit of the old one).
// An id outside the table is ignored.
void SetScene(int scene) {
    if (!IsValidScene(scene)) {
        return;
    }
    g_scene = scene;
    g_nextScene = scene;
    CallScene(SCENE_OP_INIT, scene);
}

// Asks for a scene; the change happens after the current scene's Update.
// An id outside the table is ignored and leaves any earlier request standing.
void SetNextScene(int scene) {
    if (!IsValidScene(scene)) {
        return;
    }
    g_nextScene = scene;
}

void ChangeScene(void) {
    if (g_scene == g_nextScene) {
        return;
    }
    UninitScene();
    SetScene(g_nextScene);
}

void UninitScene(void) { CallScene(SCENE_OP_UNINIT, g_scene); }

void UpdateScene(void) {
    CallScene(SCENE_OP_UPDATE, g_scene);
    ChangeScene();
}

void DrawScene(void) { CallScene(SCENE_OP_DRAW, g_scene); }

int GetScene(void) { return g_scene; }

int GetNextScene(void) { return g_nextScene; }
