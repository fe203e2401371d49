// Sprite vertices: positions, texture coordinates and colours of each draw as
// the Make*Vertices functions build them (the draws write exactly these), and
// the tension bar's width.
#include <gtest/gtest.h>

#include <math.h>

#include "app/renderer.h"
#include "ui2d/sprite.h"
#include "ui2d/texture.h"

namespace {

struct Expected {
    float x, y, u, v;
};

void ExpectQuad(const Vertex2D (&actual)[4], const Expected (&expected)[4], D3DCOLOR color) {
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(actual[i].x, expected[i].x) << "vertex " << i;
        EXPECT_FLOAT_EQ(actual[i].y, expected[i].y) << "vertex " << i;
        EXPECT_FLOAT_EQ(actual[i].u, expected[i].u) << "vertex " << i;
        EXPECT_FLOAT_EQ(actual[i].v, expected[i].v) << "vertex " << i;
        EXPECT_EQ(actual[i].z, 0.0f) << "vertex " << i;
        EXPECT_EQ(actual[i].rhw, 1.0f) << "vertex " << i;
        EXPECT_EQ(actual[i].diffuse, color) << "vertex " << i;
    }
}

void ExpectSameQuad(const Vertex2D (&a)[4], const Vertex2D (&b)[4]) {
    for (int i = 0; i < 4; i++) {
        EXPECT_FLOAT_EQ(a[i].x, b[i].x) << "vertex " << i;
        EXPECT_FLOAT_EQ(a[i].y, b[i].y) << "vertex " << i;
        EXPECT_FLOAT_EQ(a[i].u, b[i].u) << "vertex " << i;
        EXPECT_FLOAT_EQ(a[i].v, b[i].v) << "vertex " << i;
        EXPECT_EQ(a[i].diffuse, b[i].diffuse) << "vertex " << i;
    }
}

TEST(SpriteVertices, VertexLayoutMatchesTheFormat) {
    EXPECT_EQ(sizeof(Vertex2D), 28u);
    EXPECT_EQ(FVF_VERTEX_2D, 0x144u);
}

TEST(SpriteVertices, WholeBackgroundCoversTheScreenWithHalfPixelShift) {
    Vertex2D v[4];
    MakeSpriteVertices(v, TEXTURE_TITLE_HAIKEI, 0.0f, 0.0f);
    ExpectQuad(v, {{-0.5f, -0.5f, 0, 0}, {1679.5f, -0.5f, 1, 0}, {-0.5f, 899.5f, 0, 1}, {1679.5f, 899.5f, 1, 1}},
               0xFFFFFFFF);

    // A whole sprite takes its table size, wherever it is put.
    MakeSpriteVertices(v, TEXTURE_PRESS_START, 520.0f, 700.0f);
    ExpectQuad(v, {{519.5f, 699.5f, 0, 0}, {1218.5f, 699.5f, 1, 0}, {519.5f, 771.5f, 0, 1}, {1218.5f, 771.5f, 1, 1}},
               0xFFFFFFFF);
}

TEST(SpriteVertices, CutOutOfTheAlphabetShowsTheLetterB) {
    Vertex2D v[4];
    MakeSpriteCutVertices(v, TEXTURE_ALPHABET, 300.0f, 400.0f, 100, 0, 100, 100);
    const float left = 100.0f / 2600.0f;
    const float right = 200.0f / 2600.0f;
    ExpectQuad(v,
               {{299.5f, 399.5f, left, 0}, {399.5f, 399.5f, right, 0}, {299.5f, 499.5f, left, 1},
                {399.5f, 499.5f, right, 1}},
               0xFFFFFFFF);

    // The digit 7 of the red number sheet, drawn at its cell size.
    MakeSpriteCutVertices(v, TEXTURE_NUMBER_RED, 10.0f, 20.0f, 7 * 120, 0, 120, 100);
    ExpectQuad(v,
               {{9.5f, 19.5f, 840.0f / 1200.0f, 0}, {129.5f, 19.5f, 960.0f / 1200.0f, 0},
                {9.5f, 119.5f, 840.0f / 1200.0f, 1}, {129.5f, 119.5f, 960.0f / 1200.0f, 1}},
               0xFFFFFFFF);

    // A cut from the middle of a sheet in both directions.
    MakeSpriteCutVertices(v, TEXTURE_RADERGRID, 0.0f, 0.0f, 50, 25, 100, 200);
    ExpectQuad(v,
               {{-0.5f, -0.5f, 0.2f, 0.1f}, {99.5f, -0.5f, 0.6f, 0.1f}, {-0.5f, 199.5f, 0.2f, 0.9f},
                {99.5f, 199.5f, 0.6f, 0.9f}},
               0xFFFFFFFF);
}

TEST(SpriteVertices, RotateAtAngleZeroAndScaleOneEqualsTheCut) {
    struct Case {
        int texture;
        float x, y;
        int cutX, cutY, cutWidth, cutHeight;
        float pivotX, pivotY;
    };
    const Case cases[] = {
        {TEXTURE_CURSOL, 1500.0f, 120.0f, 0, 0, 25, 25, 12.5f, 12.5f},
        {TEXTURE_ALPHABET, 300.0f, 400.0f, 100, 0, 100, 100, 0.0f, 0.0f},
        {TEXTURE_NUMBER_RED, 33.25f, 7.75f, 240, 0, 120, 100, 100.0f, -20.0f},
    };
    for (const Case& c : cases) {
        Vertex2D rotated[4];
        Vertex2D cut[4];
        MakeSpriteRotateVertices(rotated, c.texture, c.x, c.y, c.cutX, c.cutY, c.cutWidth, c.cutHeight, c.pivotX,
                                 c.pivotY, 1.0f, 1.0f, 0.0f);
        MakeSpriteCutVertices(cut, c.texture, c.x, c.y, c.cutX, c.cutY, c.cutWidth, c.cutHeight);
        SCOPED_TRACE(GetTexturePath(c.texture));
        ExpectSameQuad(rotated, cut);
    }
}

TEST(SpriteVertices, QuarterTurnMovesTheCornerRightOfThePivotBelowIt) {
    // A 2 by 2 cut with the pivot at its top edge's middle: the top-right corner
    // lies one pixel right of the pivot.
    Vertex2D v[4];
    const float halfPi = 3.14159265f / 2.0f;
    MakeSpriteRotateVertices(v, TEXTURE_CURSOL, 100.0f, 200.0f, 0, 0, 2, 2, 1.0f, 0.0f, 1.0f, 1.0f, halfPi);
    // The pivot stays at (101, 200); the corner goes to (101, 201) (minus the half pixel).
    EXPECT_NEAR(v[1].x, 100.5f, 1e-4f);
    EXPECT_NEAR(v[1].y, 200.5f, 1e-4f);
    // Clockwise on screen: the top-left corner (left of the pivot) goes above it,
    // the bottom-right (right of and below the pivot) to its lower left.
    EXPECT_NEAR(v[0].x, 100.5f, 1e-4f);
    EXPECT_NEAR(v[0].y, 198.5f, 1e-4f);
    EXPECT_NEAR(v[3].x, 98.5f, 1e-4f);
    EXPECT_NEAR(v[3].y, 200.5f, 1e-4f);
    // Texture coordinates do not turn with the quad.
    EXPECT_FLOAT_EQ(v[1].u, 2.0f / 25.0f);
    EXPECT_FLOAT_EQ(v[1].v, 0.0f);
}

TEST(SpriteVertices, ScaleStretchesAboutThePivot) {
    Vertex2D v[4];
    MakeSpriteRotateVertices(v, TEXTURE_CURSOL, 100.0f, 100.0f, 0, 0, 25, 25, 12.5f, 12.5f, 2.0f, 3.0f, 0.0f);
    // The pivot is at (112.5, 112.5); the corners lie 25 by 37.5 pixels from it.
    EXPECT_FLOAT_EQ(v[0].x, 112.5f - 25.0f - 0.5f);
    EXPECT_FLOAT_EQ(v[0].y, 112.5f - 37.5f - 0.5f);
    EXPECT_FLOAT_EQ(v[3].x, 112.5f + 25.0f - 0.5f);
    EXPECT_FLOAT_EQ(v[3].y, 112.5f + 37.5f - 0.5f);
    EXPECT_FLOAT_EQ(v[3].u, 1.0f);
    EXPECT_FLOAT_EQ(v[3].v, 1.0f);
}

TEST(SpriteVertices, ScreenFillHasNoShiftAndCarriesItsColour) {
    Vertex2D v[4];
    MakeScreenFillVertices(v, 0x80000000);
    ExpectQuad(v, {{0, 0, 0, 0}, {1680, 0, 1, 0}, {0, 900, 0, 1}, {1680, 900, 1, 1}}, 0x80000000);
}

TEST(SpriteVertices, SpriteColourTintsTexturedDrawsOnly) {
    SetSpriteColor(0x7F102030);
    Vertex2D v[4];
    MakeSpriteVertices(v, TEXTURE_FISH, 0.0f, 0.0f);
    for (int i = 0; i < 4; i++) EXPECT_EQ(v[i].diffuse, 0x7F102030u);
    MakeSpriteCutVertices(v, TEXTURE_FISH, 0.0f, 0.0f, 0, 0, 5, 5);
    for (int i = 0; i < 4; i++) EXPECT_EQ(v[i].diffuse, 0x7F102030u);
    MakeSpriteRotateVertices(v, TEXTURE_FISH, 0.0f, 0.0f, 0, 0, 5, 5, 0, 0, 1, 1, 1.0f);
    for (int i = 0; i < 4; i++) EXPECT_EQ(v[i].diffuse, 0x7F102030u);
    MakeScreenFillVertices(v, 0xFF000000);
    for (int i = 0; i < 4; i++) EXPECT_EQ(v[i].diffuse, 0xFF000000u);
    SetSpriteColor(0xFFFFFFFF);
    MakeSpriteVertices(v, TEXTURE_FISH, 0.0f, 0.0f);
    EXPECT_EQ(v[0].diffuse, 0xFFFFFFFFu);
}

TEST(TensionGauge, BarWidthIsTheTensionsShareOfAThousandPixels) {
    EXPECT_EQ(GetTensionGaugeLength(0.0f), 0);
    EXPECT_EQ(GetTensionGaugeLength(99.9f), 499);
    EXPECT_EQ(GetTensionGaugeLength(100.0f), 500);
    EXPECT_EQ(GetTensionGaugeLength(159.0f), 795);
    EXPECT_EQ(GetTensionGaugeLength(199.0f), 995);
    EXPECT_EQ(GetTensionGaugeLength(200.0f), 1000);
    EXPECT_EQ(GetTensionGaugeLength(0.3f), 1);
    EXPECT_EQ(GetTensionGaugeLength(0.19f), 0);
}

TEST(SpriteDrawing, WithoutADeviceDrawsAreHarmless) {
    ASSERT_EQ(GetDevice(), nullptr) << "this case needs the renderer to be down";
    InitSprite();
    DrawSprite(TEXTURE_TITLE_HAIKEI, 0.0f, 0.0f);
    DrawSpriteCut(TEXTURE_ALPHABET, 0.0f, 0.0f, 100, 0, 100, 100);
    DrawSpriteRotate(TEXTURE_CURSOL, 0.0f, 0.0f, 0, 0, 25, 25, 12.5f, 12.5f, 1.0f, 1.0f, 1.0f);
    DrawScreenFill(0x80000000);
    DrawTensionGauge(100.0f);
    UninitSprite();
    SUCCEED();
}

}  // namespace
