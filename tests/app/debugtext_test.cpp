// Debug text formatting: the frame-rate line and the 255-character limit.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/debugtext.h"

namespace {

TEST(DebugText, FrameRateLineHasTwoDecimals) {
    DrawDebugText(8, 8, "FPS : %.2f", (double)59.98f);
    EXPECT_STREQ(GetDebugText(), "FPS : 59.98");
    DrawDebugText(8, 8, "FPS : %.2f", 0.0);
    EXPECT_STREQ(GetDebugText(), "FPS : 0.00");
    DrawDebugText(8, 8, "FPS : %.2f", 60.004);
    EXPECT_STREQ(GetDebugText(), "FPS : 60.00");
}

TEST(DebugText, LongTextIsCutAt255Characters) {
    std::string longText(300, 'x');
    longText[0] = 'a';
    longText[254] = 'b';
    longText[255] = 'c';
    DrawDebugText(0, 0, "%s", longText.c_str());
    ASSERT_EQ(strlen(GetDebugText()), 255u);
    EXPECT_EQ(GetDebugText()[0], 'a');
    EXPECT_EQ(GetDebugText()[254], 'b');

    // Exactly 255 characters fit whole.
    std::string fits(255, 'y');
    DrawDebugText(0, 0, "%s", fits.c_str());
    EXPECT_EQ(std::string(GetDebugText()), fits);
}

}  // namespace
