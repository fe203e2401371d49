// The one way a test gives up for want of its environment (a window, a GL
// device, a sound driver, a font):
//
//     if (!device) SKIP_OR_FAIL_IN_CI() << "no Direct3D device can be made here";
//
// On a developer's machine without a display the test is skipped, so the logic
// tests still run there. When the environment variable CI is set (to anything
// but "" or "0") the same line fails the test instead: CI always has a virtual
// display, GL and the dummy audio driver, and a test that skipped there would
// hide that the thing it checks never ran. Like GTEST_SKIP it returns from the
// current function, so use it in a test body, SetUp or a void helper.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

namespace tide_testing {

// True when running under CI, where no test may skip.
inline bool InCi() {
    const char* ci = getenv("CI");
    return ci && *ci && strcmp(ci, "0") != 0;
}

}  // namespace tide_testing

#define SKIP_OR_FAIL_IN_CI()                                                                                           \
    GTEST_AMBIGUOUS_ELSE_BLOCKER_                                                                                      \
    return ::testing::internal::AssertHelper(                                                                          \
               ::tide_testing::InCi() ? ::testing::TestPartResult::kFatalFailure : ::testing::TestPartResult::kSkip,   \
               __FILE__, __LINE__,                                                                                     \
               ::tide_testing::InCi() ? "would skip, but CI is set: a test may not skip in CI" : "") =                 \
               ::testing::Message()
