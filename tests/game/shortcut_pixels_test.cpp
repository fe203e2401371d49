// The drawing layer's pixel-preserving shortcuts against real frames of the
// game: each scene's frame drawn from the same game state, shortcuts on (the
// last of four frames in a row, with the unchanged first draws copied back)
// and off, read back and compared byte for byte; and 2-D draws that are not
// one texel to one pixel (off the pixel grid, scaled) left to the filtering
// the game asked for.
#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "app/main.h"
#include "app/renderer.h"
#include "app/scene.h"
#include "app/scene_testing.h"
#include "ci_skip.h"
#include "d3d9_testing.h"
#include "device/keyboard.h"
#include "game/player.h"
#include "game/player_testing.h"
#include "harness.h"
#include "shared_game.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"

namespace {

const int kWidth = SCREEN_WIDTH, kHeight = SCREEN_HEIGHT;

class ShortcutPixelsTest : public SharedGameTest<GameHarness::kPixels> {
protected:
    static void TearDownTestSuite() {
        D3D9Testing_AllowDrawShortcuts(true);
        SharedGameTest::TearDownTestSuite();
    }
    void TearDown() override {
        D3D9Testing_AllowDrawShortcuts(true);
        D3D9Testing_SkipRasterization(false);
    }

    // The current frame's contents (no Update in between), drawn as `draw`
    // does it, with shortcuts on or off, read back before Present.
    template <typename DrawFn>
    static std::vector<uint32_t> Capture(bool shortcuts, DrawFn draw) {
        LPDIRECT3DDEVICE9 device = GetDevice();
        D3D9Testing_AllowDrawShortcuts(shortcuts);
        std::vector<uint32_t> pixels((size_t)kWidth * kHeight);
        ClearFrame(device);
        device->BeginScene();
        draw();
        EXPECT_TRUE(WinapiTest_ReadBackBuffer(device, 0, 0, kWidth, kHeight, pixels.data()));
        device->EndScene();
        device->Present(NULL, NULL, NULL, NULL);
        D3D9Testing_AllowDrawShortcuts(true);
        return pixels;
    }

    static uint64_t Sampled() { return D3D9Testing_ShortcutDrawCount(D3D9TESTING_SAMPLED_COPY); }

    static uint64_t Taken() {
        return D3D9Testing_ShortcutDrawCount(D3D9TESTING_NEAREST) + D3D9Testing_ShortcutDrawCount(D3D9TESTING_NO_BLEND);
    }

    // Both pictures of the current frame; returns how many draws took a
    // shortcut (`noBlend`: how many left blending off; `kept`: how often the
    // frame's first draws were copied back). With shortcuts on the frame is
    // drawn four times in a row, so that unchanged first draws are kept and
    // the last picture has them copied back.
    static uint64_t ExpectSameFrame(const char* what, uint64_t* noBlend = nullptr, uint64_t* kept = nullptr) {
        const uint64_t before = Taken();
        const uint64_t beforeNoBlend = D3D9Testing_ShortcutDrawCount(D3D9TESTING_NO_BLEND);
        const uint64_t beforeKept = D3D9Testing_ShortcutDrawCount(D3D9TESTING_PREFIX_KEPT);
        std::vector<uint32_t> on;
        for (int i = 0; i < 4; i++) on = Capture(true, DrawFrameContents);
        const uint64_t taken = Taken() - before;
        if (noBlend) *noBlend = D3D9Testing_ShortcutDrawCount(D3D9TESTING_NO_BLEND) - beforeNoBlend;
        if (kept) *kept = D3D9Testing_ShortcutDrawCount(D3D9TESTING_PREFIX_KEPT) - beforeKept;
        const std::vector<uint32_t> off = Capture(false, DrawFrameContents);
        EXPECT_EQ(Taken() - before, taken) << what << ": a shortcut taken while off";
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < on.size(); i++) {
            if (on[i] != off[i] && differing++ == 0) first = i;
        }
        EXPECT_EQ(differing, 0u) << what << ": first difference at (" << first % kWidth << ", " << first / kWidth
                                 << "): 0x" << std::hex << on[first] << " against 0x" << off[first];
        return taken;
    }

    // The frames between the compared ones run the game whole, but leave
    // the rasterizing out: only the compared frames are drawn.
    static void Frames(int n, const KeySet& keys) {
        D3D9Testing_SkipRasterization(true);
        s_harness.Frames(n, keys);
        D3D9Testing_SkipRasterization(false);
    }
    static bool InFight() { return GetScene() == SCENE_GAME2 && GetHookFlag(); }
    // A good pull (Down and the side against the fish) or nothing held.
    static void FightFrame(bool pull) {
        const BYTE side = GetFishTurned() ? DIK_RIGHT : DIK_LEFT;
        Frames(1, pull ? KeySet{DIK_DOWN, side} : KeySet{});
    }
};

// One walk through the game: the title, stage one, stage two's cut-in, the
// fight with the tension gauge and with the break warning, the result.
TEST_F(ShortcutPixelsTest, EverySceneDrawsTheSameWithAndWithoutShortcuts) {
    Frames(60, {});
    ASSERT_EQ(GetScene(), SCENE_TITLE);
    // The title's background is opaque: drawn without blending.
    uint64_t noBlend = 0, kept = 0;
    ExpectSameFrame("title", &noBlend, &kept);
    EXPECT_GT(noBlend, 0u);
    EXPECT_EQ(kept, 1u);  // the fourth picture: its draws copied back

    SetNextScene(SCENE_GAME1);
    Frames(30, {});
    ASSERT_EQ(GetScene(), SCENE_GAME1);
    // The sky and the field are meshes of opaque textures whose alpha the
    // stage passes on: drawn without blending in each of the four pictures.
    // Its scenery, boat and fish are meshes drawn the same four times: the
    // fourth picture has them copied back.
    ExpectSameFrame("stage one", &noBlend, &kept);
    EXPECT_GE(noBlend, 8u);
    EXPECT_EQ(kept, 1u);

    SetNextScene(SCENE_GAME2);
    Frames(1, {});
    Frames(201, {DIK_UP});
    for (int i = 0; i < 3000 && GetNibbleCount() < 3; i++) Frames(1, {});
    Frames(1, {DIK_SPACE});
    Frames(1, {});
    ASSERT_TRUE(InFight());
    ASSERT_LE(GetHookTimer(), 60);
    // The cut-in and the break warning are full-screen pictures from larger
    // textures, read from the sampled copy once drawn the same way twice: in
    // the third and fourth pictures at least (the first may follow the
    // skipped frames with other states set).
    uint64_t sampled = Sampled();
    ExpectSameFrame("cut-in", nullptr, &kept);
    EXPECT_GE(Sampled() - sampled, 2u);
    EXPECT_EQ(kept, 1u);

    // Runs of pulls cut short before the reel power wears the fish down.
    for (int i = 0; i < 4000 && InFight() && GetTension() < 100; i++) FightFrame(i % 16 != 15);
    ASSERT_TRUE(InFight());
    // The camera has not moved since the cut-in, whose pictures left the
    // scenery kept: all four pictures have it copied back (the frames in
    // between were not drawn).
    ExpectSameFrame("fight with the tension gauge", nullptr, &kept);
    EXPECT_EQ(kept, 4u);
    for (int i = 0; i < 4000 && InFight() && GetTension() < 170; i++) FightFrame(i % 16 != 15);
    ASSERT_TRUE(InFight());
    ASSERT_GE(GetTension(), 160);
    sampled = Sampled();
    ExpectSameFrame("break warning", nullptr, &kept);
    EXPECT_GE(Sampled() - sampled, 2u);
    EXPECT_EQ(kept, 4u);

    SetNextScene(SCENE_RESULT);
    Frames(30, {});
    ASSERT_EQ(GetScene(), SCENE_RESULT);
    ExpectSameFrame("result", nullptr, &kept);
    EXPECT_EQ(kept, 1u);
}

// Sprites a quarter pixel off the grid, scaled by 1.5, or turned are filtered
// as asked (nearest sampling would change their pixels); the bubble, which has
// see-through texels, is blended; the screen fill at alpha 255 is not.
TEST_F(ShortcutPixelsTest, OnlyDrawsThatKeepTheirPixelsTakeAShortcut) {
    const uint64_t nearest = D3D9Testing_ShortcutDrawCount(D3D9TESTING_NEAREST);
    const uint64_t noBlend = D3D9Testing_ShortcutDrawCount(D3D9TESTING_NO_BLEND);
    auto draw = [] {
        DrawSprite(TEXTURE_AWA, 10.25f, 20.0f);
        DrawSprite(TEXTURE_AWA, 40.0f, 300.5f);
        DrawSpriteRotate(TEXTURE_AWA, 300.0f, 100.0f, 0, 0, 200, 100, 0.0f, 0.0f, 1.5f, 1.5f, 0.0f);
        DrawSpriteRotate(TEXTURE_AWA, 600.0f, 400.0f, 0, 0, 200, 100, 100.0f, 50.0f, 1.0f, 1.0f, 0.3f);
    };
    const std::vector<uint32_t> on = Capture(true, draw);
    EXPECT_EQ(D3D9Testing_ShortcutDrawCount(D3D9TESTING_NEAREST), nearest);
    EXPECT_EQ(D3D9Testing_ShortcutDrawCount(D3D9TESTING_NO_BLEND), noBlend);
    const std::vector<uint32_t> off = Capture(false, draw);
    EXPECT_TRUE(on == off);

    // Half see-through fill over an opaque one: the first skips blending, the second blends.
    auto fills = [] {
        DrawScreenFill(0xFF204060);
        DrawScreenFill(0x80C08040);
    };
    const std::vector<uint32_t> fillsOn = Capture(true, fills);
    EXPECT_EQ(D3D9Testing_ShortcutDrawCount(D3D9TESTING_NO_BLEND), noBlend + 1);
    const std::vector<uint32_t> fillsOff = Capture(false, fills);
    EXPECT_TRUE(fillsOn == fillsOff);
    // 0x80 of C08040 over 204060, worked out by hand: c = (s * 128 + d * 127) / 255
    // gives 112.3, 96.1, 79.9.
    const int want[3] = {0x70, 0x60, 0x50};
    for (int k = 0; k < 3; k++) EXPECT_NEAR((int)((fillsOn[0] >> (16 - 8 * k)) & 0xFF), want[k], 1) << k;
}

}  // namespace
