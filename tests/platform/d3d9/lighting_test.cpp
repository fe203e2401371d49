// Fixed-function lighting with one directional light, as the game's model
// draws use it: material colours, the global ambient, normals and sources.
#include "d3d9_fixture.h"

#include <math.h>

namespace d3d9test {
namespace {

class LightingTest : public D3D9Test {
public:
    void SetUp() override {
        D3D9Test::SetUp();
        if (IsSkipped()) return;
        // The game's light: white, straight down, ambient 0x40 grey here.
        D3DLIGHT9 light;
        ZeroMemory(&light, sizeof light);
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
        light.Direction = {0.0f, -1.0f, 0.0f};
        m_dev->SetLight(0, &light);
        m_dev->LightEnable(0, TRUE);
        m_dev->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
        D3DMATERIAL9 mat;
        ZeroMemory(&mat, sizeof mat);
        mat.Diffuse = {0.6f, 0.4f, 0.2f, 1.0f};
        mat.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
        m_dev->SetMaterial(&mat);
        m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    // A quad over the whole screen whose every vertex has normal n.
    uint32_t DrawWithNormal(float nx, float ny, float nz) {
        ClearTo(0xFF000000);
        const NormalVertex v[4] = {
            {-2, 2, 0.5f, nx, ny, nz}, {2, 2, 0.5f, nx, ny, nz}, {-2, -2, 0.5f, nx, ny, nz}, {2, -2, 0.5f, nx, ny, nz}};
        m_dev->SetFVF(kNormalFvf);
        EXPECT_EQ(D3D_OK, m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(NormalVertex)));
        return Pixel(kWidth / 2, kHeight / 2);
    }

    // Expected colour of D * d + A * ambient(0x40) per channel, clamped.
    static uint32_t Lit(float d) {
        const float amb = 64.0f / 255.0f;
        const float D[3] = {0.6f, 0.4f, 0.2f};
        uint32_t c = 0xFF000000u;
        for (int i = 0; i < 3; ++i) {
            float v = D[i] * d + 0.5f * amb;
            v = v > 1.0f ? 1.0f : v;
            c |= (uint32_t)lrintf(v * 255.0f) << (16 - 8 * i);
        }
        return c;
    }
};

TEST_F(LightingTest, UpFacingGetsDiffusePlusAmbientSideFacingOnlyAmbient) {
    // The model registry's states.
    m_dev->SetRenderState(D3DRS_LIGHTING, TRUE);
    m_dev->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    m_dev->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL);
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, 1, 0), Lit(1.0f), 1));
    EXPECT_TRUE(ColorNear(DrawWithNormal(1, 0, 0), Lit(0.0f), 1));
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, -1, 0), Lit(0.0f), 1));
    const float s = sqrtf(0.5f);
    EXPECT_TRUE(ColorNear(DrawWithNormal(s, s, 0), Lit(s), 1));
}

TEST_F(LightingTest, NormalsAreScaledOnlyWhenAskedAndTheDotIsClamped) {
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, 0.5f, 0), Lit(0.5f), 1));
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, 2.0f, 0), Lit(1.0f), 1));
    m_dev->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, 0.5f, 0), Lit(1.0f), 1));
}

TEST_F(LightingTest, LightAndNormalsTurnWithTheViewTogether) {
    // A view rolled 90 degrees about z: the picture turns, the lighting must not.
    D3DMATRIX view;
    ZeroMemory(&view, sizeof view);
    view._12 = 1.0f;
    view._21 = -1.0f;
    view._33 = view._44 = 1.0f;
    m_dev->SetTransform(D3DTS_VIEW, &view);
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, 1, 0), Lit(1.0f), 1));
    EXPECT_TRUE(ColorNear(DrawWithNormal(1, 0, 0), Lit(0.0f), 1));
    // A world turn moves the normal but not the light.
    D3DMATRIX world;
    ZeroMemory(&world, sizeof world);
    world._12 = 1.0f;  // x goes to y
    world._21 = -1.0f;
    world._33 = world._44 = 1.0f;
    m_dev->SetTransform(D3DTS_WORLD, &world);
    EXPECT_TRUE(ColorNear(DrawWithNormal(1, 0, 0), Lit(1.0f), 1));
}

TEST_F(LightingTest, VertexColourFeedsTheMaterialOnlyWhereItExists) {
    struct V {
        float x, y, z, nx, ny, nz;
        D3DCOLOR c;
    };
    const V v[4] = {{-2, 2, 0.5f, 0, 1, 0, 0xFF00FF00},
                    {2, 2, 0.5f, 0, 1, 0, 0xFF00FF00},
                    {-2, -2, 0.5f, 0, 1, 0, 0xFF00FF00},
                    {2, -2, 0.5f, 0, 1, 0, 0xFF00FF00}};
    auto draw = [&]() {
        ClearTo(0xFF000000);
        m_dev->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE);
        EXPECT_EQ(D3D_OK, m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(V)));
        return Pixel(kWidth / 2, kHeight / 2);
    };
    // Default source COLOR1: the vertex's green replaces the material diffuse.
    EXPECT_TRUE(ColorNear(draw(), 0xFF20FF20, 1));
    m_dev->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    EXPECT_TRUE(ColorNear(draw(), Lit(1.0f), 1));
    // Without a vertex colour the COLOR1 source falls back to the material.
    m_dev->SetRenderState(D3DRS_COLORVERTEX, TRUE);
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, 1, 0), Lit(1.0f), 1));
}

TEST_F(LightingTest, LightOffOrScreenSpaceMeansTheVertexColour) {
    // Lighting stays on: screen-space vertices are never lit.
    ClearTo(0xFF000000);
    ASSERT_EQ(D3D_OK, DrawRect(0, 0, 10, 10, 0xFF123456));
    EXPECT_EQ(0xFF123456u, Pixel(5, 5));
    // Lighting off: an uncoloured vertex is opaque white.
    m_dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    EXPECT_EQ(0xFFFFFFFFu, DrawWithNormal(1, 0, 0));
    // With the light disabled only the ambient term is left.
    m_dev->SetRenderState(D3DRS_LIGHTING, TRUE);
    m_dev->LightEnable(0, FALSE);
    EXPECT_TRUE(ColorNear(DrawWithNormal(0, 1, 0), Lit(0.0f), 1));
}

}  // namespace
}  // namespace d3d9test
