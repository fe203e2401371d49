// Sprite vertices as the draws write them (Make*Vertices), and the tension
// bar's width.
#include <gtest/gtest.h>

#include "ui2d/sprite.h"
#include "ui2d/texture.h"

namespace {

struct XYUV {
    float x, y, u, v;
};

void ExpectQuad(const Vertex2D (&v)[4], const XYUV (&e)[4], D3DCOLOR color = 0xFFFFFFFF) {
    for (int i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(v[i].x, e[i].x);
        EXPECT_FLOAT_EQ(v[i].y, e[i].y);
        EXPECT_FLOAT_EQ(v[i].u, e[i].u);
        EXPECT_FLOAT_EQ(v[i].v, e[i].v);
        EXPECT_EQ(v[i].z, 0.0f);
        EXPECT_EQ(v[i].rhw, 1.0f);
        EXPECT_EQ(v[i].diffuse, color);
    }
}

TEST(SpriteVertices, WholeSpritesTakeTheirTableSizeWithTheHalfPixelShift) {
    Vertex2D v[4];
    MakeSpriteVertices(v, TEXTURE_TITLE_HAIKEI, 0.0f, 0.0f);
    ExpectQuad(v, {{-0.5f, -0.5f, 0, 0}, {1679.5f, -0.5f, 1, 0}, {-0.5f, 899.5f, 0, 1}, {1679.5f, 899.5f, 1, 1}});
    MakeSpriteVertices(v, TEXTURE_PRESS_START, 520.0f, 700.0f);
    ExpectQuad(v, {{519.5f, 699.5f, 0, 0}, {1218.5f, 699.5f, 1, 0}, {519.5f, 771.5f, 0, 1}, {1218.5f, 771.5f, 1, 1}});
}

TEST(SpriteVertices, CutOutsTakeTheirCellOfTheSheet) {
    Vertex2D v[4];
    MakeSpriteCutVertices(v, TEXTURE_ALPHABET, 300.0f, 400.0f, 100, 0, 100, 100);  // the letter B
    const float l = 100.0f / 2600.0f, r = 200.0f / 2600.0f;
    ExpectQuad(v, {{299.5f, 399.5f, l, 0}, {399.5f, 399.5f, r, 0}, {299.5f, 499.5f, l, 1}, {399.5f, 499.5f, r, 1}});
}

TEST(SpriteVertices, RotateAtAngleZeroAndScaleOneEqualsTheCut) {
    const float args[][9] = {{TEXTURE_CURSOL, 1500, 120, 0, 0, 25, 25, 12.5f, 12.5f},
                             {TEXTURE_NUMBER_RED, 33.25f, 7.75f, 240, 0, 120, 100, 100, -20}};
    for (const auto& a : args) {
        Vertex2D rotated[4], cut[4];
        MakeSpriteRotateVertices(rotated, (int)a[0], a[1], a[2], (int)a[3], (int)a[4], (int)a[5], (int)a[6], a[7], a[8],
                                 1.0f, 1.0f, 0.0f);
        MakeSpriteCutVertices(cut, (int)a[0], a[1], a[2], (int)a[3], (int)a[4], (int)a[5], (int)a[6]);
        ExpectQuad(rotated, {{cut[0].x, cut[0].y, cut[0].u, cut[0].v},
                             {cut[1].x, cut[1].y, cut[1].u, cut[1].v},
                             {cut[2].x, cut[2].y, cut[2].u, cut[2].v},
                             {cut[3].x, cut[3].y, cut[3].u, cut[3].v}});
    }
}

TEST(SpriteVertices, QuarterTurnIsClockwiseAboutThePivotAndScaleStretchesFromIt) {
    // A 2 by 2 cut with its pivot at the middle of the top edge, at (101, 200).
    Vertex2D v[4];
    MakeSpriteRotateVertices(v, TEXTURE_CURSOL, 100.0f, 200.0f, 0, 0, 2, 2, 1.0f, 0.0f, 1.0f, 1.0f, 1.5707964f);
    const float expected[4][2] = {{100.5f, 198.5f}, {100.5f, 200.5f}, {98.5f, 198.5f}, {98.5f, 200.5f}};
    for (int i = 0; i < 4; i++) {
        EXPECT_NEAR(v[i].x, expected[i][0], 1e-4f) << i;  // the corner right of the pivot goes below it
        EXPECT_NEAR(v[i].y, expected[i][1], 1e-4f) << i;
    }
    EXPECT_FLOAT_EQ(v[1].u, 2.0f / 25.0f);  // texture coordinates do not turn
    MakeSpriteRotateVertices(v, TEXTURE_CURSOL, 100.0f, 100.0f, 0, 0, 25, 25, 12.5f, 12.5f, 2.0f, 3.0f, 0.0f);
    EXPECT_FLOAT_EQ(v[0].x, 112.5f - 25.0f - 0.5f);
    EXPECT_FLOAT_EQ(v[3].y, 112.5f + 37.5f - 0.5f);
}

TEST(SpriteVertices, ScreenFillIsUnshiftedInItsOwnColourAndTheTintOnlyColoursSprites) {
    SetSpriteColor(0x7F102030);
    Vertex2D v[4];
    MakeScreenFillVertices(v, 0x80000000);
    ExpectQuad(v, {{0, 0, 0, 0}, {1680, 0, 1, 0}, {0, 900, 0, 1}, {1680, 900, 1, 1}}, 0x80000000);
    MakeSpriteCutVertices(v, TEXTURE_FISH, 0.0f, 0.0f, 0, 0, 25, 25);
    ExpectQuad(v, {{-0.5f, -0.5f, 0, 0}, {24.5f, -0.5f, 1, 0}, {-0.5f, 24.5f, 0, 1}, {24.5f, 24.5f, 1, 1}}, 0x7F102030);
    SetSpriteColor(0xFFFFFFFF);
}

TEST(SpriteVertices, TensionBarIsTheTensionsShareOfAThousandPixels) {
    const float tension[] = {0.0f, 0.19f, 0.3f, 99.9f, 100.0f, 159.0f, 199.0f, 200.0f};
    const int length[] = {0, 0, 1, 499, 500, 795, 995, 1000};
    for (int i = 0; i < 8; i++) EXPECT_EQ(GetTensionGaugeLength(tension[i]), length[i]) << tension[i];
}

}  // namespace
