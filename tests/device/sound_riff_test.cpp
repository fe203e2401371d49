// The wave-file reader: chunk search and reads on files of known layout, and
// the start-up messages for every kind of damaged file.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "device/sound.h"
#include "device/sound_testing.h"
#include "sound_test_files.h"
#include "winapi_testing.h"

namespace {

const DWORD CODE_RIFF = 0x46464952;
const DWORD CODE_FMT = 0x20746D66;
const DWORD CODE_DATA = 0x61746164;

struct ChunkHit {
    HRESULT hr;
    DWORD size;
    DWORD offset;
};

ChunkHit Search(const Bytes& file, DWORD code) {
    WriteBytes("SE/probe.wav", file);
    HANDLE h = CreateFileA("SE/probe.wav", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    ChunkHit hit = {E_FAIL, 0xDEAD, 0xBEEF};
    hit.hr = SearchChunk(h, code, &hit.size, &hit.offset);
    CloseHandle(h);
    return hit;
}

class SoundFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        WinapiTest_InstallMessageBoxHook(IDOK);
        WinapiTest_ClearMessageBoxes();
    }
    void TearDown() override {
        UninitSound();
        WinapiTest_RemoveMessageBoxHook();
    }
    ScratchWorkDir m_dir;
};

TEST_F(SoundFileTest, SearchFindsChunksBehindSkippedAndOddSizedOnes) {
    const Bytes fmt = PcmFormat();
    const Bytes list = {'I', 'N', 'F', 'O', 'x', 'y', 'z', 'w', 'v', 'u'};
    const Bytes odd = {1, 2, 3};
    const Bytes samples = ToneSamples(50);
    const Bytes file = RiffWave({Chunk("fmt ", fmt), Chunk("LIST", list), Chunk("JUNK", odd), Chunk("data", samples)});

    ChunkHit riff = Search(file, CODE_RIFF);
    EXPECT_EQ(riff.hr, S_OK);
    EXPECT_EQ(riff.size, 4u);
    EXPECT_EQ(riff.offset, 8u);

    ChunkHit format = Search(file, CODE_FMT);
    EXPECT_EQ(format.hr, S_OK);
    EXPECT_EQ(format.size, fmt.size());
    EXPECT_EQ(format.offset, 20u);

    // No pad byte after the 3-byte chunk: "data" follows its last byte directly.
    ChunkHit data = Search(file, CODE_DATA);
    const DWORD expected = 20 + (DWORD)fmt.size() + 8 + (DWORD)list.size() + 8 + (DWORD)odd.size() + 8;
    EXPECT_EQ(data.hr, S_OK);
    EXPECT_EQ(data.size, samples.size());
    EXPECT_EQ(data.offset, expected);

    // Reading the found chunk gives back exactly its bytes; reading past the
    // end of the file is an error rather than a partly filled buffer.
    HANDLE h = CreateFileA("SE/probe.wav", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    Bytes got(samples.size());
    EXPECT_EQ(ReadChunk(h, got.data(), (DWORD)got.size(), data.offset), S_OK);
    EXPECT_EQ(got, samples);
    Bytes tooMuch(samples.size() + 1);
    EXPECT_TRUE(FAILED(ReadChunk(h, tooMuch.data(), (DWORD)tooMuch.size(), data.offset)));
    CloseHandle(h);
}

TEST_F(SoundFileTest, SearchEndsWithNotFoundOnMissingOrUnreachableChunks) {
    // Missing chunk inside a well-formed RIFF.
    EXPECT_EQ(Search(RiffWave({Chunk("fmt ", PcmFormat())}), CODE_DATA).hr, S_FALSE);
    // The RIFF size claims more than the file holds: the end of the file ends the search.
    Bytes longRiff = RiffWave({Chunk("fmt ", PcmFormat())});
    longRiff[4] = 0xFF;
    longRiff[5] = 0xFF;
    EXPECT_EQ(Search(longRiff, CODE_DATA).hr, S_FALSE);
    // A chunk whose size runs far past the end cannot be skipped (as a signed
    // seek it would even point backwards and loop forever).
    EXPECT_EQ(Search(RiffWave({Chunk("JUNK", {1, 2, 3, 4}, 0xFFFFFFF8), Chunk("fmt ", PcmFormat())}), CODE_FMT).hr,
              S_FALSE);
    // A chunk after the end of the RIFF data (RIFF size 4 + 8 + 16 = 28 covers
    // "WAVE" and the format only) is not part of the file's chunks.
    Bytes trailing = RiffWave({Chunk("fmt ", PcmFormat())});
    ASSERT_EQ(trailing[4], 28);
    const Bytes after = Chunk("data", ToneSamples(10));
    trailing.insert(trailing.end(), after.begin(), after.end());
    EXPECT_EQ(Search(trailing, CODE_DATA).hr, S_FALSE);
    // A file whose first chunk is not RIFF: not found right after that chunk.
    EXPECT_EQ(Search(Chunk("JUNK", ValidWave()), CODE_RIFF).hr, S_FALSE);
    EXPECT_EQ(Search(Bytes(), CODE_RIFF).hr, S_FALSE);
}

TEST_F(SoundFileTest, ValidFilesLoadIntoOneVoiceEachAndAreClosed) {
    m_dir.WriteAllSounds();
    // PCM with a nonsense cbSize plays on Windows: the field is ignored for PCM.
    Bytes pcmWithExtra = PcmFormat();
    AppendU16(pcmWithExtra, 0xFFFF);
    WriteBytes(SOUND_TEST_FILES[BGM_GAME1], RiffWave({Chunk("fmt ", pcmWithExtra), Chunk("data", ToneSamples(10))}));
    EXPECT_TRUE(InitSound(NULL));
    EXPECT_TRUE(WinapiTest_MessageBoxes().empty());
    for (int i = 0; i < BGM_COUNT; i++) {
        ASSERT_NE(GetSoundVoice(i), nullptr) << i;
        XAUDIO2_VOICE_STATE state = {};
        GetSoundVoice(i)->GetState(&state);
        EXPECT_EQ(state.BuffersQueued, 1u) << "one buffer queued at load, voice " << i;
        for (int j = 0; j < i; j++) EXPECT_NE(GetSoundVoice(i), GetSoundVoice(j));
    }
    EXPECT_EQ(m_dir.OpenFilesInside(), 0);
    UninitSound();
    for (int i = 0; i < BGM_COUNT; i++) EXPECT_EQ(GetSoundVoice(i), nullptr);
    EXPECT_EQ(WinapiTest_LiveSourceVoices(), 0);
}

TEST_F(SoundFileTest, DamagedFileStopsLoadingWithTheMessageOfItsStep) {
    Bytes bigFmt = PcmFormat();
    bigFmt.resize(42, 0);
    Bytes hugeExtra = PcmFormat();
    hugeExtra[0] = 0xFE;  // WAVE_FORMAT_EXTENSIBLE, whose cbSize counts
    hugeExtra[1] = 0xFF;
    AppendU16(hugeExtra, 0xFFFF);  // cbSize far beyond the 40-byte record
    Bytes truncatedFmt = RiffWave({Chunk("fmt ", PcmFormat())});
    truncatedFmt.resize(28);
    Bytes badChannels = PcmFormat(0);

    struct Case {
        const char* what;
        Bytes file;
        const char* message;
    } cases[] = {
        {"empty file", Bytes(), "WAVEファイルのチェックに失敗！(2)"},
        {"header cut inside the form type", Bytes({'R', 'I', 'F', 'F', 6, 0, 0, 0, 'W', 'A'}),
         "WAVEファイルのチェックに失敗！(2)"},
        {"first chunk is not RIFF", Chunk("JUNK", ValidWave()), "WAVEファイルのチェックに失敗！(3)"},
        {"form type is not WAVE", Chunk("RIFF", Bytes({'A', 'V', 'I', ' '})), "WAVEファイルのチェックに失敗！(3)"},
        {"no fmt chunk", RiffWave({Chunk("data", ToneSamples(10))}), "フォーマットチェックに失敗！(1)"},
        {"fmt chunk over 40 bytes", RiffWave({Chunk("fmt ", bigFmt), Chunk("data", ToneSamples(10))}),
         "フォーマットチェックに失敗！(2)"},
        {"fmt chunk cut by the end of the file", truncatedFmt, "フォーマットチェックに失敗！(2)"},
        {"fmt extra size beyond the record", RiffWave({Chunk("fmt ", hugeExtra), Chunk("data", ToneSamples(10))}),
         "フォーマットチェックに失敗！(2)"},
        {"no data chunk", RiffWave({Chunk("fmt ", PcmFormat()), Chunk("LIST", {1, 2, 3, 4})}),
         "オーディオデータ読み込みに失敗！(1)"},
        {"data size past the end", RiffWave({Chunk("fmt ", PcmFormat()), Chunk("data", ToneSamples(10), 0x7FFFFF00)}),
         "オーディオデータ読み込みに失敗！(2)"},
        {"format no voice accepts", RiffWave({Chunk("fmt ", badChannels), Chunk("data", ToneSamples(10))}),
         "ソースボイスの生成に失敗！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_dir.WriteAllSounds();
        WriteBytes(SOUND_TEST_FILES[BGM_GAME1], c.file);
        WinapiTest_ClearMessageBoxes();

        EXPECT_FALSE(InitSound(NULL));
        const auto& boxes = WinapiTest_MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].caption, "警告！");
        EXPECT_EQ(boxes[0].flags, (UINT)MB_ICONWARNING);
        // The sound before the damaged one still has its voice; it and those after have none.
        EXPECT_NE(GetSoundVoice(BGM_TITLE), nullptr);
        for (int i = BGM_GAME1; i < BGM_COUNT; i++) EXPECT_EQ(GetSoundVoice(i), nullptr) << i;
        EXPECT_EQ(m_dir.OpenFilesInside(), 0) << "a file stayed open";
        UninitSound();
    }
}

TEST_F(SoundFileTest, MissingFileIsReportedOnceAndEarlierSoundsKeepTheirVoices) {
    m_dir.WriteAllSounds();
    std::filesystem::remove(SOUND_TEST_FILES[BGM_GAME2]);

    EXPECT_FALSE(InitSound(NULL));
    const auto& boxes = WinapiTest_MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "サウンドデータファイルの生成に失敗！(1)");
    EXPECT_EQ(boxes[0].caption, "警告！");
    EXPECT_NE(GetSoundVoice(BGM_TITLE), nullptr);
    EXPECT_NE(GetSoundVoice(BGM_GAME1), nullptr);
    EXPECT_EQ(GetSoundVoice(BGM_GAME2), nullptr);
    EXPECT_EQ(GetSoundVoice(BGM_RESULT), nullptr);

    // Sounds without a voice are ignored by every call.
    PlaySound(BGM_GAME2);
    StopSound(BGM_RESULT);
    StopSoundAll();
    PlaySound(BGM_GAME1);
    XAUDIO2_VOICE_STATE state = {};
    for (int i = 0; i < 100; i++) {  // the flush lands on the mixer's next pass
        GetSoundVoice(BGM_GAME1)->GetState(&state);
        if (state.BuffersQueued == 1) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_EQ(state.BuffersQueued, 1u);
}

}  // namespace
