// Shadow state: the defaults Direct3D documents, round trips and refusals.
#include "d3d9_fixture.h"

#include <string.h>

namespace d3d9test {
namespace {

class StateTest : public BothBackendsTest {};

struct StateValue {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

TEST_P(StateTest, RenderStateDefaultsAreDirect3DsOwn) {
    const StateValue defaults[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},  // auto depth buffer requested
        {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_LIGHTING, TRUE},
        {D3DRS_AMBIENT, 0},
        {D3DRS_COLORVERTEX, TRUE},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
        {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_NORMALIZENORMALS, FALSE},
        {D3DRS_LOCALVIEWER, TRUE},
        {D3DRS_ALPHATESTENABLE, FALSE},
        {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
        {D3DRS_ALPHAREF, 0},
        {D3DRS_FOGENABLE, FALSE},
        {D3DRS_ALPHABLENDENABLE, FALSE},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD},
        {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
        {D3DRS_CLIPPING, TRUE},
        {D3DRS_SCISSORTESTENABLE, FALSE},
    };
    for (const StateValue& d : defaults) {
        DWORD v = 0xDEADBEEF;
        ASSERT_EQ(D3D_OK, m_dev->GetRenderState(d.state, &v)) << "state " << d.state;
        EXPECT_EQ(d.value, v) << "state " << d.state;
    }
    ASSERT_EQ(D3D_OK, m_dev->SetRenderState(D3DRS_AMBIENT, 0xFF443355));
    DWORD v = 0;
    ASSERT_EQ(D3D_OK, m_dev->GetRenderState(D3DRS_AMBIENT, &v));
    EXPECT_EQ(0xFF443355u, v);
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->GetRenderState(D3DRS_AMBIENT, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->SetRenderState((D3DRENDERSTATETYPE)300, 1));
}

TEST_P(StateTest, StageAndSamplerDefaults) {
    struct Tss {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
    } stages[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {0, D3DTSS_COLORARG2, D3DTA_CURRENT}, {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {0, D3DTSS_ALPHAARG2, D3DTA_CURRENT},
        {0, D3DTSS_TEXCOORDINDEX, 0},         {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
        {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},  {1, D3DTSS_TEXCOORDINDEX, 1},
        {7, D3DTSS_COLOROP, D3DTOP_DISABLE},
    };
    for (const Tss& t : stages) {
        DWORD v = 0xDEADBEEF;
        ASSERT_EQ(D3D_OK, m_dev->GetTextureStageState(t.stage, t.type, &v));
        EXPECT_EQ(t.value, v) << "stage " << t.stage << " type " << t.type;
    }
    struct Samp {
        D3DSAMPLERSTATETYPE type;
        DWORD value;
    } samplers[] = {
        {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP}, {D3DSAMP_MINFILTER, D3DTEXF_POINT},
        {D3DSAMP_MAGFILTER, D3DTEXF_POINT},   {D3DSAMP_MIPFILTER, D3DTEXF_NONE},    {D3DSAMP_MAXANISOTROPY, 1},
    };
    for (DWORD s : {0u, 3u}) {
        for (const Samp& d : samplers) {
            DWORD v = 0xDEADBEEF;
            ASSERT_EQ(D3D_OK, m_dev->GetSamplerState(s, d.type, &v));
            EXPECT_EQ(d.value, v) << "sampler " << s << " type " << d.type;
        }
    }
    ASSERT_EQ(D3D_OK, m_dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR));
    DWORD v = 0;
    ASSERT_EQ(D3D_OK, m_dev->GetSamplerState(0, D3DSAMP_MINFILTER, &v));
    EXPECT_EQ((DWORD)D3DTEXF_LINEAR, v);
    ASSERT_EQ(D3D_OK, m_dev->GetSamplerState(1, D3DSAMP_MINFILTER, &v));
    EXPECT_EQ((DWORD)D3DTEXF_POINT, v);  // other samplers keep theirs
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->SetSamplerState(16, D3DSAMP_MINFILTER, D3DTEXF_LINEAR));
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->SetTexture(16, nullptr));
}

TEST_P(StateTest, TransformsStartAsIdentityAndLightsAsDirect3DsDefault) {
    D3DMATRIX identity;
    memset(&identity, 0, sizeof identity);
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION}) {
        D3DMATRIX m;
        memset(&m, 0x55, sizeof m);
        ASSERT_EQ(D3D_OK, m_dev->GetTransform(t, &m));
        EXPECT_EQ(0, memcmp(&identity, &m, sizeof m)) << "transform " << t;
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->SetTransform((D3DTRANSFORMSTATETYPE)1, &identity));

    D3DLIGHT9 light;
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->GetLight(0, &light));  // never set
    // Enabling a light nobody set makes Direct3D's default light.
    ASSERT_EQ(D3D_OK, m_dev->LightEnable(2, TRUE));
    ASSERT_EQ(D3D_OK, m_dev->GetLight(2, &light));
    EXPECT_EQ(D3DLIGHT_DIRECTIONAL, light.Type);
    EXPECT_EQ(1.0f, light.Diffuse.r);
    EXPECT_EQ(1.0f, light.Direction.z);
    light.Type = (D3DLIGHTTYPE)9;
    EXPECT_EQ(D3DERR_INVALIDCALL, m_dev->SetLight(0, &light));
}

ON_BOTH_BACKENDS(StateTest);

}  // namespace
}  // namespace d3d9test
