// The benchmark's scripted keyboard must answer the game's keyboard queries
// as the DirectInput module does for the same keys: held, went down this
// frame, went up this frame, and no key outside 0..255.
#include <gtest/gtest.h>

#include "bench/scripted_keyboard.h"
#include "device/keyboard.h"

namespace {

struct KeyFrame {
    bool press, trigger, release;
};

KeyFrame Read(int key) { return {GetKeyboardPress(key), GetKeyboardTrigger(key), GetKeyboardRelease(key)}; }

TEST(ScriptedKeyboard, DownHeldUpAndOtherKeysAsTheKeyboardModuleReportsThem) {
    ASSERT_TRUE(InitKeyboard(NULL, NULL));
    ScriptedKeyboard_ReleaseAll();
    UpdateKeyboard();

    // Nothing happens before the next read.
    ScriptedKeyboard_Set(DIK_SPACE, true);
    KeyFrame k = Read(DIK_SPACE);
    EXPECT_FALSE(k.press || k.trigger || k.release);

    UpdateKeyboard();  // went down
    k = Read(DIK_SPACE);
    EXPECT_TRUE(k.press && k.trigger && !k.release);
    EXPECT_FALSE(GetKeyboardPress(DIK_UP));

    UpdateKeyboard();  // still held
    k = Read(DIK_SPACE);
    EXPECT_TRUE(k.press && !k.trigger && !k.release);

    ScriptedKeyboard_Set(DIK_SPACE, false);
    ScriptedKeyboard_Set(DIK_DOWN, true);
    UpdateKeyboard();  // one key up, another down in the same frame
    k = Read(DIK_SPACE);
    EXPECT_TRUE(!k.press && !k.trigger && k.release);
    k = Read(DIK_DOWN);
    EXPECT_TRUE(k.press && k.trigger && !k.release);

    ScriptedKeyboard_ReleaseAll();
    UpdateKeyboard();
    k = Read(DIK_DOWN);
    EXPECT_TRUE(!k.press && !k.trigger && k.release);
    UpdateKeyboard();
    k = Read(DIK_DOWN);
    EXPECT_FALSE(k.press || k.trigger || k.release);
    UninitKeyboard();
}

TEST(ScriptedKeyboard, KeyCodesOutsideTheTableAreNoKeys) {
    ScriptedKeyboard_Set(-1, true);
    ScriptedKeyboard_Set(NUM_KEY_MAX, true);
    UpdateKeyboard();
    for (int key : {-1, NUM_KEY_MAX, 1000}) {
        EXPECT_FALSE(GetKeyboardPress(key) || GetKeyboardTrigger(key) || GetKeyboardRelease(key)) << key;
    }
}

}  // namespace
