// Playing the music: every start plays from the first sample, a stop keeps the
// buffer queued, and a sound plays once and falls silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/sound.h"
#include "device/sound_testing.h"
#include "sound_test_files.h"
#include "winapi_testing.h"

namespace {

const uint32_t SOUND_FRAMES = 11025;  // half a second at 22050 Hz

XAUDIO2_VOICE_STATE StateOf(int index) {
    XAUDIO2_VOICE_STATE state = {};
    GetSoundVoice(index)->GetState(&state);
    return state;
}

// Flushes take effect on the mixer's next pass, so queue counts settle a few
// milliseconds after the call.
bool SettlesToQueued(int index, UINT32 buffers) {
    for (int i = 0; i < 100; i++) {
        if (StateOf(index).BuffersQueued == buffers) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

bool WaitUntilPlayed(int index, UINT64 samples) {
    for (int i = 0; i < 400; i++) {
        if (StateOf(index).SamplesPlayed >= samples) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Samples the voice plays from now until its buffer is done (BuffersQueued 0),
// summed over the polls, so it does not matter whether the counter runs on
// from earlier starts or restarts from 0 (when a count drops, it restarted).
UINT64 PlayedUntilEnd(int index, UINT64 countNow) {
    UINT64 played = 0;
    UINT64 previous = countNow;
    for (int i = 0; i < 600; i++) {
        XAUDIO2_VOICE_STATE state = StateOf(index);
        played += state.SamplesPlayed >= previous ? state.SamplesPlayed - previous : state.SamplesPlayed;
        previous = state.SamplesPlayed;
        if (state.BuffersQueued == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return played;
}

class SoundPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override {
        WinapiTest_InstallMessageBoxHook(IDOK);
        m_dir.WriteAllSounds(SOUND_FRAMES);
        ASSERT_TRUE(InitSound(NULL));
    }
    void TearDown() override {
        UninitSound();
        WinapiTest_RemoveMessageBoxHook();
    }
    ScratchWorkDir m_dir;
};

TEST_F(SoundPlaybackTest, PlayAfterStopAllStartsAgainFromTheBeginning) {
    EXPECT_EQ(StateOf(BGM_TITLE).SamplesPlayed, 0u) << "loaded voices are not started";
    PlaySound(BGM_TITLE);
    ASSERT_TRUE(WaitUntilPlayed(BGM_TITLE, SOUND_FRAMES / 2)) << "the voice does not play";

    StopSoundAll();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    XAUDIO2_VOICE_STATE stopped = StateOf(BGM_TITLE);
    EXPECT_EQ(stopped.BuffersQueued, 1u) << "a stop keeps the buffer queued";
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(StateOf(BGM_TITLE).SamplesPlayed, stopped.SamplesPlayed) << "stopped voices do not advance";

    PlaySound(BGM_TITLE);
    XAUDIO2_VOICE_STATE restarted = StateOf(BGM_TITLE);
    EXPECT_TRUE(SettlesToQueued(BGM_TITLE, 1)) << "the old buffer is flushed, not played first";
    // Resuming would play only the second half; a restart plays it all.
    UINT64 played = PlayedUntilEnd(BGM_TITLE, restarted.SamplesPlayed);
    EXPECT_GT(played, SOUND_FRAMES * 9 / 10);
    EXPECT_LE(played, SOUND_FRAMES + 64);

    // Played once: silent at its end, nothing loops.
    XAUDIO2_VOICE_STATE done = StateOf(BGM_TITLE);
    EXPECT_EQ(done.BuffersQueued, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(StateOf(BGM_TITLE).SamplesPlayed, done.SamplesPlayed);

    // A finished sound starts again, from its first sample.
    PlaySound(BGM_TITLE);
    XAUDIO2_VOICE_STATE again = StateOf(BGM_TITLE);
    EXPECT_TRUE(SettlesToQueued(BGM_TITLE, 1));
    EXPECT_GT(PlayedUntilEnd(BGM_TITLE, again.SamplesPlayed), SOUND_FRAMES * 9 / 10);
}

TEST_F(SoundPlaybackTest, PlayWhilePlayingRestartsAndStopDropsTheBuffer) {
    PlaySound(BGM_GAME1);
    ASSERT_TRUE(WaitUntilPlayed(BGM_GAME1, SOUND_FRAMES / 2));
    PlaySound(BGM_GAME1);
    XAUDIO2_VOICE_STATE restarted = StateOf(BGM_GAME1);
    EXPECT_TRUE(SettlesToQueued(BGM_GAME1, 1));
    EXPECT_GT(PlayedUntilEnd(BGM_GAME1, restarted.SamplesPlayed), SOUND_FRAMES * 9 / 10);
    // Other voices were not touched.
    EXPECT_EQ(StateOf(BGM_TITLE).SamplesPlayed, 0u);

    PlaySound(BGM_RESULT);
    StopSound(BGM_RESULT);
    EXPECT_TRUE(SettlesToQueued(BGM_RESULT, 0)) << "a single stop drops the queued buffer";
}

}  // namespace
