// A game window for the tests of this folder that need one (offscreen when no
// display is set); null where none can be made. Message boxes raised while it
// is made are answered without opening.
#include <stdlib.h>

#include "app/main.h"
#include "test_device.h"
#include "win32_testing.h"

HWND MakeTestWindow() {
    testsupport::UseHeadlessDrivers();
    RegisterGameWindowClass(NULL);  // fails harmlessly when already registered
    return CreateGameWindow(NULL);
}
