// Model registry: loading by number from the working directory, what happens
// to missing files and textures, reloading, drawing and releasing.
#include <string.h>
#include <sys/stat.h>

#include <stb/stb_image_write.h>

#include "scenery_device.h"
#include "winapi_testing.h"
#include "world3d/model.h"
#include "world3d/model_testing.h"
#include "xfile_writer.h"

namespace {

const char* const TEXT_NO_MATERIAL = "マテリアルが読み込まれてないよ";
const char* const CAPTION_ERROR = "エラー";

class ModelTest : public SceneryDeviceTest {
protected:
    void SetUp() override {
        SceneryDeviceTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        m_dir = EnterTempWorkingDirectory();
        mkdir("model", 0755);
    }
    void TearDown() override {
        for (int i = 0; i < MODEL_COUNT; i++) {
            ReleaseModel(i);
        }
        RemoveTempWorkingDirectory(m_dir);
    }

    void WriteModel(int index, const std::vector<TestQuad>& quads, const std::vector<TestMaterial>& materials) {
        WriteTextFile(GetModelFile(index), MakeXFile(quads, materials));
    }

    // A 2 x 2 opaque PNG in the working directory.
    void WritePng(const char* name) {
        const unsigned char pixels[16] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
        ASSERT_NE(stbi_write_png(name, 2, 2, 4, pixels, 8), 0);
    }

    std::string m_dir;
};

std::vector<TestQuad> OneQuadPerMaterial(int materials) {
    std::vector<TestQuad> quads;
    for (int m = 0; m < materials; m++) {
        TestQuad q = {m * 3.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f, m};
        quads.push_back(q);
    }
    return quads;
}

int CountBoxes(const char* text) {
    int n = 0;
    for (const WinapiMessageBoxRecord& box : WinapiTest_MessageBoxes()) {
        if (box.text == text) {
            n++;
        }
    }
    return n;
}

TEST(ModelTable, RowsNameTheGamesFilesInFamilyOrder) {
    EXPECT_STREQ(GetModelFile(MODEL_PLAYER), "model/Player.x");
    EXPECT_STREQ(GetModelFile(MODEL_TITLE), "model/title.x");
    EXPECT_STREQ(GetModelFile(MODEL_ROD), "model/sao.x");
    EXPECT_STREQ(GetModelFile(MODEL_REEL), "model/saori-ru.x");
    EXPECT_STREQ(GetModelFile(MODEL_REEL_2), "model/saori-ru2.x");
    EXPECT_STREQ(GetModelFile(MODEL_FLOAT), "model/uki.x");
    const struct {
        int first;
        const char* stem;
    } families[] = {{MODEL_TUNAMAN_1, "model/maguromananimation"},
                    {MODEL_MANTAMAN_1, "model/mantaman"},
                    {MODEL_SHARK_1, "model/sameanimation"}};
    for (const auto& family : families) {
        for (int i = 0; i < 6; i++) {
            EXPECT_EQ(std::string(GetModelFile(family.first + i)), family.stem + std::to_string(i + 1) + ".x");
        }
    }
    for (int i = 0; i < MODEL_COUNT; i++) {
        EXPECT_LT(strlen(GetModelFile(i)), (size_t)MODEL_FILE_LENGTH);
    }
    EXPECT_EQ(GetModelFile(-1), nullptr);
    EXPECT_EQ(GetModelFile(MODEL_COUNT), nullptr);
}

TEST_F(ModelTest, MissingOrBrokenFileLeavesTheSlotEmptyAndHarmless) {
    WriteTextFile(GetModelFile(MODEL_ROD), "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;");  // cut short
    const uint64_t before = WinapiTest_DrawCallCount(Device());
    for (int index : {(int)MODEL_FLOAT, (int)MODEL_ROD}) {
        SCOPED_TRACE(index);
        LoadModel(index);
        EXPECT_FALSE(IsModelLoaded(index));
        EXPECT_EQ(GetModelMesh(index), nullptr);
        EXPECT_EQ(GetModelMaterialCount(index), 0u);
        D3DXMATRIX world;
        D3DXMatrixIdentity(&world);
        DrawModel(index, world);
        ReleaseModel(index);
        ReleaseModel(index);
    }
    EXPECT_EQ(WinapiTest_DrawCallCount(Device()), before);
    EXPECT_TRUE(WinapiTest_MessageBoxes().empty());

    // Numbers outside the table are ignored.
    D3DXMATRIX world;
    D3DXMatrixIdentity(&world);
    for (int index : {-1, (int)MODEL_COUNT, MODEL_SLOT_MAX, 1000}) {
        LoadModel(index);
        EXPECT_FALSE(IsModelLoaded(index));
        DrawModel(index, world);
        ReleaseModel(index);
    }
    EXPECT_EQ(WinapiTest_DrawCallCount(Device()), before);
}

TEST_F(ModelTest, LoadingALoadedSlotReleasesWhatItHeld) {
    WriteModel(MODEL_TITLE, OneQuadPerMaterial(1), {PlainMaterial(1, 0, 0)});
    LoadModel(MODEL_TITLE);
    ASSERT_TRUE(IsModelLoaded(MODEL_TITLE));
    LPD3DXMESH first = GetModelMesh(MODEL_TITLE);
    first->AddRef();

    // The second load replaces the model with what the file holds now.
    WriteModel(MODEL_TITLE, OneQuadPerMaterial(3),
               {PlainMaterial(0, 1, 0), PlainMaterial(0, 0, 1), PlainMaterial(1, 1, 1)});
    LoadModel(MODEL_TITLE);
    ASSERT_TRUE(IsModelLoaded(MODEL_TITLE));
    EXPECT_NE(GetModelMesh(MODEL_TITLE), first);
    EXPECT_EQ(GetModelMaterialCount(MODEL_TITLE), 3u);
    EXPECT_FLOAT_EQ(GetModelMaterial(MODEL_TITLE, 0)->Diffuse.g, 1.0f);
    // Our reference is now the only one left on the first mesh.
    EXPECT_EQ(first->Release(), 0u);

    // Released, the slot is empty and a second release does nothing.
    ReleaseModel(MODEL_TITLE);
    EXPECT_FALSE(IsModelLoaded(MODEL_TITLE));
    EXPECT_EQ(GetModelMaterialCount(MODEL_TITLE), 0u);
    EXPECT_EQ(GetModelMaterial(MODEL_TITLE, 0), nullptr);
    ReleaseModel(MODEL_TITLE);
    EXPECT_FALSE(IsModelLoaded(MODEL_TITLE));
}

TEST_F(ModelTest, TexturesLoadFromTheWorkingDirectoryAndFailuresAreReportedPerMaterial) {
    WritePng("boat.png");
    TestMaterial shiny = PlainMaterial(0.25f, 0.5f, 0.75f, "boat.png");
    shiny.a = 0.5f;
    shiny.power = 12.0f;
    shiny.specular[0] = 0.1f;
    shiny.emissive[2] = 0.2f;
    WriteModel(MODEL_PLAYER, OneQuadPerMaterial(4),
               {PlainMaterial(1, 1, 1, "nowhere/missing.png"), PlainMaterial(0.5f, 0.5f, 0.5f), shiny,
                PlainMaterial(1, 0, 0, "missing-too.png")});
    LoadModel(MODEL_PLAYER);
    ASSERT_TRUE(IsModelLoaded(MODEL_PLAYER));
    ASSERT_EQ(GetModelMaterialCount(MODEL_PLAYER), 4u);

    // One box for each material whose texture would not load; none for the
    // material without a texture name.
    ASSERT_EQ(WinapiTest_MessageBoxes().size(), 2u);
    EXPECT_EQ(CountBoxes(TEXT_NO_MATERIAL), 2);
    for (const WinapiMessageBoxRecord& box : WinapiTest_MessageBoxes()) {
        EXPECT_EQ(box.caption, CAPTION_ERROR);
        EXPECT_EQ(box.flags, (UINT)MB_OK);
    }
    EXPECT_EQ(GetModelTexture(MODEL_PLAYER, 0), nullptr);
    EXPECT_EQ(GetModelTexture(MODEL_PLAYER, 1), nullptr);
    ASSERT_NE(GetModelTexture(MODEL_PLAYER, 2), nullptr);  // relative to the working directory
    EXPECT_EQ(GetModelTexture(MODEL_PLAYER, 3), nullptr);

    // The ambient colour follows the diffuse one; the rest is the file's.
    const D3DMATERIAL9* m = GetModelMaterial(MODEL_PLAYER, 2);
    ASSERT_NE(m, nullptr);
    EXPECT_FLOAT_EQ(m->Ambient.r, 0.25f);
    EXPECT_FLOAT_EQ(m->Ambient.g, 0.5f);
    EXPECT_FLOAT_EQ(m->Ambient.b, 0.75f);
    EXPECT_FLOAT_EQ(m->Ambient.a, 0.5f);
    EXPECT_FLOAT_EQ(m->Power, 12.0f);
    EXPECT_FLOAT_EQ(m->Specular.r, 0.1f);
    EXPECT_FLOAT_EQ(m->Emissive.b, 0.2f);

    // Releasing the model releases its texture.
    IDirect3DTexture9* texture = GetModelTexture(MODEL_PLAYER, 2);
    texture->AddRef();
    ReleaseModel(MODEL_PLAYER);
    EXPECT_EQ(GetModelTexture(MODEL_PLAYER, 2), nullptr);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(ModelTest, DrawRunsOneLitSubsetPerMaterialWithTheCallersMatrix) {
    WritePng("float.png");
    WriteModel(MODEL_FLOAT, OneQuadPerMaterial(3),
               {PlainMaterial(1, 0, 0), PlainMaterial(0, 1, 0, "float.png"), PlainMaterial(0, 0, 1)});
    LoadModel(MODEL_FLOAT);
    ASSERT_TRUE(IsModelLoaded(MODEL_FLOAT));

    Device()->SetRenderState(D3DRS_LIGHTING, FALSE);
    Device()->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 1.0f, 2.0f, 3.0f);

    BeginTestFrame(0xFF000000);
    WinapiTest_RecordDraws(Device(), true);
    DrawModel(MODEL_FLOAT, world);
    WinapiTest_RecordDraws(Device(), false);
    EndTestFrame();
    // One draw per subset, each with its own material's texture: only the second has one.
    const std::vector<WinapiDrawRecord> draws = WinapiTest_RecordedDraws(Device());
    ASSERT_EQ(draws.size(), 3u);
    ASSERT_NE(GetModelTexture(MODEL_FLOAT, 1), nullptr);
    EXPECT_EQ(draws[0].texture, nullptr);
    EXPECT_EQ(draws[1].texture, GetModelTexture(MODEL_FLOAT, 1));
    EXPECT_EQ(draws[2].texture, nullptr);

    DWORD lighting = FALSE, diffuseSource = 99, ambientSource = 99;
    Device()->GetRenderState(D3DRS_LIGHTING, &lighting);
    Device()->GetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, &diffuseSource);
    Device()->GetRenderState(D3DRS_AMBIENTMATERIALSOURCE, &ambientSource);
    EXPECT_EQ(lighting, (DWORD)TRUE);
    EXPECT_EQ(diffuseSource, (DWORD)D3DMCS_MATERIAL);
    EXPECT_EQ(ambientSource, (DWORD)D3DMCS_MATERIAL);
    D3DXMATRIX onDevice;
    Device()->GetTransform(D3DTS_WORLD, &onDevice);
    EXPECT_TRUE(onDevice == world);

    // The last subset drawn was the third material's, untextured.
    D3DMATERIAL9 last;
    Device()->GetMaterial(&last);
    EXPECT_FLOAT_EQ(last.Diffuse.b, 1.0f);
    EXPECT_FLOAT_EQ(last.Ambient.b, 1.0f);
    EXPECT_FLOAT_EQ(last.Diffuse.r, 0.0f);
    IDirect3DBaseTexture9* bound = reinterpret_cast<IDirect3DBaseTexture9*>(1);
    Device()->GetTexture(0, &bound);
    EXPECT_EQ(bound, nullptr);
    if (bound != nullptr && bound != reinterpret_cast<IDirect3DBaseTexture9*>(1)) {
        bound->Release();
    }
}

}  // namespace
