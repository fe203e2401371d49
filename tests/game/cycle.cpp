// The scripted game cycle (see cycle.h).
#include "cycle.h"

#include <math.h>

#include "app/fade.h"
#include "app/fade_testing.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "device/keyboard.h"
#include "game/fish.h"
#include "game/fish_testing.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "win32_testing.h"

namespace {

const float kRadToDeg = 57.29578f;
// 1/64 s on the 10 MHz counter: a whole number of ticks, and every second
// exactly 64 frames, so the frame-rate text is the same in every cycle.
const LONGLONG kTicksPerFrame = 156250;
LONGLONG g_ticks = 0;

class Cycle {
public:
    Cycle(GameHarness& h, const std::function<void()>& afterFrame, int stopScene = -1, bool reel = false)
        : m_h(h), m_afterFrame(afterFrame), m_stopScene(stopScene), m_reel(reel) {
        m_result.scenes.push_back(GetScene());
    }

    // One frame, 1/60 s after the last on the game's clock; false once the
    // cycle has run kFrameLimit frames or reached the scene it stops at.
    bool Frame(const KeySet& keys) {
        g_ticks += kTicksPerFrame;
        WinapiTest_SetFakeCounter(true, g_ticks);
        m_h.Frame(keys);
        if (m_afterFrame) m_afterFrame();
        m_result.frames++;
        if (GetScene() != m_result.scenes.back()) m_result.scenes.push_back(GetScene());
        return m_result.frames < kFrameLimit && GetScene() != m_stopScene;
    }
    bool WaitFor(int scene) {
        while (GetScene() != scene)
            if (!Frame({})) return false;
        return true;
    }
    // Sails to the fish nearest the boat's start: the shortest way into stage two.
    bool SteerToNearestFish() {
        const D3DXVECTOR3 boat = GetPlayerPosition();
        D3DXVECTOR3 target = GetFish()[0].pos;
        for (int i = 1; i < FISH_MAX; i++) {
            const D3DXVECTOR3 d = GetFish()[i].pos - boat, best = target - boat;
            if (d.x * d.x + d.z * d.z < best.x * best.x + best.z * best.z) target = GetFish()[i].pos;
        }
        while (GetScene() == SCENE_GAME1) {
            if (!Frame(SteerKeys(target.x, target.z))) return false;
        }
        return GetScene() == SCENE_GAME2;
    }
    bool LetTheFishGo() {
        while (GetScene() == SCENE_GAME2 && !GetIsCast())
            if (!Frame({DIK_UP})) return false;
        while (GetScene() == SCENE_GAME2 && GetNibbleCount() < 3)
            if (!Frame({})) return false;
        if (!Frame({DIK_SPACE})) return false;
        // Reeling with the rod the wrong way: the tension climbs two a frame
        // through the warning until the line breaks (or the fish is caught first).
        while (m_reel && GetScene() == SCENE_GAME2)
            if (!Frame({DIK_DOWN, DIK_LEFT})) return false;
        return WaitFor(SCENE_RESULT);
    }
    bool NameAndLeave() {
        if (!Frame({})) return false;
        for (int i = 0; i < 3; i++)
            if (!Frame({DIK_RIGHT}) || !Frame({})) return false;
        if (!Frame({DIK_SPACE}) || !Frame({})) return false;
        if (!WaitFor(SCENE_TITLE)) return false;
        while (IsFading())
            if (!Frame({})) return false;
        return true;
    }
    CycleResult Play() {
        if (!WaitFor(SCENE_TITLE)) return m_result;
        while (IsFading())
            if (!Frame({})) return m_result;
        m_result.backAtTitle = Frame({DIK_SPACE}) && Frame({}) && WaitFor(SCENE_GAME1) && SteerToNearestFish() &&
                               LetTheFishGo() && NameAndLeave();
        return m_result;
    }

private:
    static const int kFrameLimit = 20000;
    GameHarness& m_h;
    std::function<void()> m_afterFrame;
    int m_stopScene;
    bool m_reel;
    CycleResult m_result;
};

}  // namespace

FrameClock::FrameClock() { WinapiTest_SetFakeCounter(true, g_ticks); }
FrameClock::~FrameClock() { WinapiTest_SetFakeCounter(false, 0); }

CycleResult PlayCycle(GameHarness& h, const std::function<void()>& afterFrame) { return Cycle(h, afterFrame).Play(); }
CycleResult PlayCycleUntil(GameHarness& h, int scene, const std::function<void()>& afterFrame) {
    return Cycle(h, afterFrame, scene).Play();
}
CycleResult PlayCycleReeling(GameHarness& h) { return Cycle(h, {}, -1, true).Play(); }

KeySet SteerKeys(float x, float z) {
    const D3DXVECTOR3 pos = GetPlayerPosition();
    const D3DXVECTOR3 front = GetPlayerHeading();
    float error = (atan2f(x - pos.x, z - pos.z) - atan2f(front.x, front.z)) * kRadToDeg;
    while (error > 180.0f) error -= 360.0f;
    while (error < -180.0f) error += 360.0f;
    KeySet keys;
    if (error > 0.1f) keys.push_back(DIK_D);
    if (error < -0.1f) keys.push_back(DIK_A);
    if (fabsf(error) < 2.0f) keys.push_back(DIK_W);
    return keys;
}

std::string SceneTrail(const std::vector<int>& scenes) {
    std::string trail;
    for (int scene : scenes) trail += (trail.empty() ? "" : ">") + std::string(SceneName(scene));
    return trail;
}
