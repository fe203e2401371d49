// The generated assets of the run directory, through the game's own loaders:
// the game starts without an error box, every texture has its nominal size,
// every model loads with one subset per material, and every piece of music
// passes the wave reader and gets its voice.
#include <gtest/gtest.h>

#include "app/renderer.h"
#include "ci_skip.h"
#include "device/sound.h"
#include "device/sound_testing.h"
#include "harness.h"
#include "shared_game.h"
#include "ui2d/texture.h"
#include "ui2d/texture_testing.h"
#include "winapi_testing.h"
#include "world3d/model.h"
#include "world3d/model_testing.h"

namespace {

class AssetsTest : public SharedGameTest<GameHarness::kPixels> {
protected:
    static void SetUpTestSuite() {
        SharedGameTest::SetUpTestSuite();
        if (s_started) s_startupBoxes = WinapiTest_MessageBoxes();
    }

    static std::vector<WinapiMessageBoxRecord> s_startupBoxes;
};

std::vector<WinapiMessageBoxRecord> AssetsTest::s_startupBoxes;

TEST_F(AssetsTest, GameStartsWithoutAnErrorBox) {
    for (const WinapiMessageBoxRecord& box : s_startupBoxes) {
        ADD_FAILURE() << "start-up showed \"" << box.caption << "\": " << box.text;
    }
}

// D3DX rounds a texture's sides up to powers of two.
int PowerOfTwoAtLeast(int v) {
    int p = 1;
    while (p < v) p *= 2;
    return p;
}

TEST_F(AssetsTest, EveryTextureLoadsAtItsNominalSizeRoundedUpToPowersOfTwo) {
    for (int i = 0; i < TEXTURE_MAX; i++) {
        LPDIRECT3DTEXTURE9 texture = GetTexture(i);
        ASSERT_NE(texture, nullptr) << GetTexturePath(i);
        D3DSURFACE_DESC desc;
        ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK) << GetTexturePath(i);
        EXPECT_EQ((int)desc.Width, PowerOfTwoAtLeast(GetTextureWidth(i))) << GetTexturePath(i);
        EXPECT_EQ((int)desc.Height, PowerOfTwoAtLeast(GetTextureHeight(i))) << GetTexturePath(i);
    }
}

TEST_F(AssetsTest, EveryModelLoadsWithASubsetPerMaterial) {
    for (int i = 0; i < MODEL_COUNT; i++) {
        LPD3DXBUFFER materials = nullptr;
        LPD3DXMESH mesh = nullptr;
        DWORD count = 0;
        const HRESULT hr =
            D3DXLoadMeshFromXA(GetModelFile(i), D3DXMESH_MANAGED, GetDevice(), NULL, &materials, NULL, &count, &mesh);
        ASSERT_EQ(hr, D3D_OK) << GetModelFile(i);
        EXPECT_GE(count, 1u) << GetModelFile(i);
        EXPECT_GT(mesh->GetNumFaces(), 50u) << GetModelFile(i);
        DWORD subsets = 0;
        mesh->GetAttributeTable(NULL, &subsets);
        EXPECT_EQ(subsets, count) << GetModelFile(i) << ": a material without faces";
        // Every texture a material names exists where the game looks for it.
        const D3DXMATERIAL* mats = (const D3DXMATERIAL*)materials->GetBufferPointer();
        for (DWORD m = 0; m < count; m++) {
            if (!mats[m].pTextureFilename) continue;
            LPDIRECT3DTEXTURE9 texture = nullptr;
            EXPECT_EQ(D3DXCreateTextureFromFileA(GetDevice(), mats[m].pTextureFilename, &texture), D3D_OK)
                << GetModelFile(i) << " names " << mats[m].pTextureFilename;
            if (texture) texture->Release();
        }
        materials->Release();
        mesh->Release();

        // And through the registry: no box for a material texture.
        WinapiTest_ClearMessageBoxes();
        LoadModel(i);
        EXPECT_TRUE(IsModelLoaded(i)) << GetModelFile(i);
        EXPECT_EQ(GetModelMaterialCount(i), count);
        EXPECT_TRUE(WinapiTest_MessageBoxes().empty()) << GetModelFile(i);
        if (i != MODEL_TITLE) ReleaseModel(i);
    }
}

TEST_F(AssetsTest, EveryPieceOfMusicHasItsVoice) {
    for (int i = 0; i < BGM_COUNT; i++) {
        IXAudio2SourceVoice* voice = GetSoundVoice(i);
        ASSERT_NE(voice, nullptr) << "sound " << i;
        XAUDIO2_VOICE_STATE state;
        voice->GetState(&state);
        EXPECT_EQ(state.BuffersQueued, 1u) << "sound " << i;
    }
}

}  // namespace
