// Texture registry without a device: the getters' bounds and a load with no
// device to load with. (Loading files is tested with a device in
// sprite_render_test.cpp.)
#include <gtest/gtest.h>

#include "app/renderer.h"
#include "ui2d/texture.h"
#include "ui2d/texture_testing.h"

namespace {

TEST(TextureTable, GettersOutsideTheTableGiveNothing) {
    EXPECT_EQ(GetTextureWidth(TEXTURE_MAX), 0);
    EXPECT_EQ(GetTextureHeight(-1), 0);
    EXPECT_EQ(GetTextureWidth(-1), 0);
    EXPECT_EQ(GetTextureHeight(TEXTURE_MAX), 0);
    EXPECT_EQ(GetTexture(TEXTURE_MAX), nullptr);
    EXPECT_EQ(GetTexture(-1), nullptr);
    EXPECT_EQ(GetTexturePath(TEXTURE_MAX), nullptr);
}

TEST(TextureTable, LoadingWithoutADeviceFailsEveryRow) {
    ASSERT_EQ(GetDevice(), nullptr) << "this case needs the renderer to be down";
    EXPECT_EQ(LoadTextures(), TEXTURE_MAX);
    for (int i = 0; i < TEXTURE_MAX; i++) EXPECT_EQ(GetTexture(i), nullptr) << i;
}

}  // namespace
