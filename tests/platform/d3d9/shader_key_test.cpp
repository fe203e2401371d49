// The shader key: every field of the fixed-function configuration packs into
// bits of its own and comes back unchanged.
#include <gtest/gtest.h>

#include "d3d9/d3d9_state.h"

#include <vector>

namespace {

using d3d9::kShaderKeyFieldCount;
using d3d9::kShaderKeyFields;
using d3d9::PackShaderKey;
using d3d9::ShaderConfig;
using d3d9::ShaderKeyField;
using d3d9::UnpackShaderKey;

std::vector<ShaderKeyField> Fields() {
    return std::vector<ShaderKeyField>(kShaderKeyFields, kShaderKeyFields + kShaderKeyFieldCount);
}

// The largest value a field must carry.
int Widest(const ShaderKeyField& f) {
    if (f.textureArg) return D3DTA_TEMP | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE;
    return (1 << f.bits) - 1;
}

void ExpectSame(const ShaderConfig& a, const ShaderConfig& b, const char* what) {
    for (const ShaderKeyField& f : Fields()) EXPECT_EQ(a.*f.member, b.*f.member) << f.name << " after " << what;
}

TEST(ShaderKey, EveryFieldIsListedAndTheKeyFitsSixtyFourBits) {
    // A field added to ShaderConfig without a row in the list would be lost.
    EXPECT_EQ(sizeof(ShaderConfig), kShaderKeyFieldCount * sizeof(int));
    int bits = 0;
    for (const ShaderKeyField& f : Fields()) bits += f.bits;
    EXPECT_LE(bits, 64);
}

TEST(ShaderKey, EachFieldRoundTripsAloneInBitsOfItsOwn) {
    uint64_t seen = 0;
    for (const ShaderKeyField& f : Fields()) {
        for (int value : {1, Widest(f)}) {
            ShaderConfig c;
            c.*f.member = value;
            const ShaderConfig back = UnpackShaderKey(PackShaderKey(c));
            ExpectSame(c, back, f.name);
        }
        // Its bits, against the all-default key, overlap no other field's.
        ShaderConfig zero;
        for (const ShaderKeyField& g : Fields()) zero.*g.member = 0;
        ShaderConfig wide = zero;
        wide.*f.member = Widest(f);
        const uint64_t mine = PackShaderKey(wide) ^ PackShaderKey(zero);
        EXPECT_NE(0u, mine) << f.name;
        EXPECT_EQ(0u, mine & seen) << f.name << " shares bits with an earlier field";
        seen |= mine;
    }
}

TEST(ShaderKey, TheGamesWidestConfigurationRoundTrips) {
    ShaderConfig c;
    c.rhw = 0;
    c.hasNormal = c.hasDiffuse = c.hasSpecular = c.hasTex = 1;
    c.lighting = 1;
    c.numLights = 8;    // every light the shader evaluates
    c.diffuseSrc = 1;   // COLOR1
    c.specularSrc = 2;  // COLOR2
    c.normalize = c.specularEnable = c.localViewer = c.flat = 1;
    c.remapDepth = c.flipY = 1;
    c.colorOp = D3DTOP_BLENDCURRENTALPHA;  // 16, the highest operation drawn
    c.colorArg1 = D3DTA_TEXTURE | D3DTA_COMPLEMENT;
    c.colorArg2 = D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE;
    c.alphaOp = D3DTOP_MODULATE4X;
    c.alphaArg1 = D3DTA_SPECULAR;
    c.alphaArg2 = D3DTA_TEMP | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE;
    c.sampleTexture = 1;
    c.alphaFunc = D3DCMP_GREATEREQUAL;  // 7
    ExpectSame(c, UnpackShaderKey(PackShaderKey(c)), "packing");
    // Two configurations that differ in one field get different keys.
    ShaderConfig other = c;
    other.alphaFunc = D3DCMP_GREATER;
    EXPECT_NE(PackShaderKey(c), PackShaderKey(other));
}

}  // namespace
