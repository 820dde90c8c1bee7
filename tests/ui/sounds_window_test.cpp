// The built-in clips, the RIFF/WAVE loader and the playback gate of the "Sound" check box.
// Playback is observed through the back end's start counters. The fixtures switch the back
// end to its silent output, so the tests behave the same with or without a sound device and
// never make a noise.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "ui/sound/sound_backend.h"
#include "ui/sounds.h"
#include "ui/toolkit/toolkit.h"

namespace {

std::string le32(uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

std::string le16(uint16_t v) {
    return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

uint32_t readLe32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes.at(at + i));
    return v;
}

// One chunk; an odd payload gets its pad byte unless told otherwise.
std::string chunk(const std::string& tag, const std::string& payload, bool pad = true) {
    std::string out = tag + le32(static_cast<uint32_t>(payload.size())) + payload;
    if (pad && payload.size() % 2 != 0) out += '\0';
    return out;
}

std::string formatRecord(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}

std::string riff(const std::string& body) {
    return "RIFF" + le32(static_cast<uint32_t>(body.size() + 4)) + "WAVE" + body;
}

std::string monoClip(const std::string& samples) {
    return riff(chunk("fmt ", formatRecord(1, 1, 11025, 8)) + chunk("data", samples));
}

std::string embedded(const std::string& name) { return tk::resourceBytes(":/sounds/" + name); }

std::string headerLines(int channels, int bits, int align, int rate, int perSecond, int size) {
    return "WAV Header Info: NbChannels " + std::to_string(channels) + ", BitsPerSamples: " +
           std::to_string(bits) + ", NbBlockAlign " + std::to_string(align) + "\n" +
           "WAV Header Info: SamplePerSec " + std::to_string(rate) + ", nAvgBytesPerSec: " +
           std::to_string(perSecond) + ", WavSize " + std::to_string(size) + "\n";
}

// Loads a clip and returns what it wrote to standard output.
std::string loadCapturing(const std::string& bytes, int& clip) {
    testing::internal::CaptureStdout();
    clip = loadSoundClip(bytes);
    return testing::internal::GetCapturedStdout();
}

int loadQuietly(const std::string& bytes) {
    int clip = 0;
    loadCapturing(bytes, clip);
    return clip;
}

struct BuiltInClip {
    const char* name;
    size_t fileSize;
    size_t dataBytes;
};

const BuiltInClip builtInClips[] = {
    {"success.wav", 9466, 9422},
    {"error.wav", 5212, 5167},
    {"copy.wav", 1046, 906},
};

// Every test starts with the silent output on, so voices can be made and counted on any
// machine, and with nothing played.
class SoundTest : public testing::Test {
protected:
    void SetUp() override { useSilentSoundOutput(true); }
    void TearDown() override { useSilentSoundOutput(false); }
};

// A live "Sound" check box in window 0, registered as option "ton".
class SoundGateTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        if (!tk::windowIsOpen()) {
            ASSERT_TRUE(tk::openWindow(0, 0, 700, 600, u"Sounds"));
        }
        soundBox = tk::checkBoxGadget(10, 10, 120, 20, u"Sound");
        ASSERT_NE(soundBox, 0);
        savedOption = app.options["ton"];
        app.options["ton"].gadget = soundBox;
        tk::setGadgetState(soundBox, 1);
        ASSERT_EQ(tk::getGadgetState(soundBox), 1);
    }
    void TearDown() override {
        app.options["ton"] = savedOption;
        tk::freeGadget(soundBox);
        SoundTest::TearDown();
    }

    tk::Gadget soundBox = 0;
    OptionEntry savedOption;
};

// ---- The built-in clips ----------------------------------------------------------------

TEST(BuiltInClips, AreCompleteRiffWaveFilesOfTheirSize) {
    for (const auto& clip : builtInClips) {
        SCOPED_TRACE(clip.name);
        const std::string bytes = embedded(clip.name);
        ASSERT_EQ(bytes.size(), clip.fileSize);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(readLe32(bytes, 4), clip.fileSize - 8);
        EXPECT_EQ(bytes.substr(8, 4), "WAVE");
        // The 16-byte format chunk comes first, then the samples.
        EXPECT_EQ(bytes.substr(12, 4), "fmt ");
        EXPECT_EQ(readLe32(bytes, 16), 16u);
        WaveInfo info;
        ASSERT_TRUE(parseWave(bytes, info));
        EXPECT_EQ(info.formatTag, 1);
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(info.samplesPerSecond, 11025u);
        EXPECT_EQ(info.avgBytesPerSecond, 11025u);
        EXPECT_EQ(info.blockAlign, 1);
        EXPECT_EQ(info.bitsPerSample, 8);
        EXPECT_EQ(info.dataOffset, 44u);
        EXPECT_EQ(info.dataLength, clip.dataBytes);
    }
}

TEST(BuiltInClips, ErrorClipEndsWithThePadByteOfItsOddData) {
    const std::string bytes = embedded("error.wav");
    WaveInfo info;
    ASSERT_TRUE(parseWave(bytes, info));
    ASSERT_EQ(info.dataLength % 2, 1u);
    EXPECT_EQ(info.dataOffset + info.dataLength + 1, bytes.size());
    EXPECT_EQ(bytes.back(), '\0');
}

TEST(BuiltInClips, CopyClipCarriesAnInfoListAfterItsSamples) {
    const std::string bytes = embedded("copy.wav");
    WaveInfo info;
    ASSERT_TRUE(parseWave(bytes, info));
    const size_t list = info.dataOffset + info.dataLength;
    ASSERT_EQ(bytes.size() - list, 96u);
    EXPECT_EQ(bytes.substr(list, 4), "LIST");
    EXPECT_EQ(readLe32(bytes, list + 4), 88u);
    EXPECT_EQ(bytes.substr(list + 8, 4), "INFO");
    EXPECT_NE(bytes.find("replace-in-files", list), std::string::npos);
}

TEST(BuiltInClips, AreAudibleFadedAndUnclipped) {
    for (const auto& clip : builtInClips) {
        SCOPED_TRACE(clip.name);
        const std::string bytes = embedded(clip.name);
        WaveInfo info;
        ASSERT_TRUE(parseWave(bytes, info));
        int low = 255, high = 0;
        for (size_t i = info.dataOffset; i < info.dataOffset + info.dataLength; ++i) {
            const int sample = static_cast<uint8_t>(bytes[i]);
            low = std::min(low, sample);
            high = std::max(high, sample);
        }
        EXPECT_GT(high - 128, 30);  // clearly audible
        EXPECT_GT(128 - low, 30);
        EXPECT_LT(high, 240);       // well short of full scale
        EXPECT_GT(low, 15);
        // Starting and ending at the silent level, with no step to click on.
        const int first = static_cast<uint8_t>(bytes[info.dataOffset]);
        const int last = static_cast<uint8_t>(bytes[info.dataOffset + info.dataLength - 1]);
        EXPECT_NEAR(first, 128, 2);
        EXPECT_NEAR(last, 128, 2);
    }
}

// ---- Loading clips ---------------------------------------------------------------------

TEST_F(SoundTest, LoadingEachBuiltInClipWritesItsTwoHeaderLines) {
    for (const auto& clip : builtInClips) {
        SCOPED_TRACE(clip.name);
        int number = 0;
        const std::string out = loadCapturing(embedded(clip.name), number);
        EXPECT_EQ(out, headerLines(1, 8, 1, 11025, 11025, static_cast<int>(clip.dataBytes)));
        EXPECT_NE(number, 0);
    }
}

TEST_F(SoundTest, LoadSoundsFillsTheThreeClipsInOrder) {
    app.successSound = app.errorSound = app.copySound = 0;
    testing::internal::CaptureStdout();
    loadSounds();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, headerLines(1, 8, 1, 11025, 11025, 9422) +
                       headerLines(1, 8, 1, 11025, 11025, 5167) +
                       headerLines(1, 8, 1, 11025, 11025, 906));
    EXPECT_NE(app.successSound, 0);
    EXPECT_NE(app.errorSound, 0);
    EXPECT_NE(app.copySound, 0);
    EXPECT_NE(app.successSound, app.errorSound);
    EXPECT_NE(app.errorSound, app.copySound);
    EXPECT_NE(app.successSound, app.copySound);
}

TEST_F(SoundTest, BrokenFilesLoadAsNoClipAndWriteNothing) {
    const std::string good = embedded("success.wav");
    ASSERT_EQ(good.size(), 9466u);
    std::string notRiff = good;
    notRiff.replace(0, 4, "RIFX");
    std::string dataPastEnd = good;
    dataPastEnd.replace(40, 4, le32(0xFFFFFFFFu));
    std::string fmtPastEnd = good;
    fmtPastEnd.replace(16, 4, le32(0x7FFFFFF0u));
    const std::string formatOnly = riff(chunk("fmt ", formatRecord(1, 1, 11025, 8)));
    const std::string skippedChunkPastEnd =
        riff(chunk("fmt ", formatRecord(1, 1, 11025, 8)) + "JUNK" + le32(0xFFFFFFF0u) + "xx");
    const std::string shortFormat = riff(chunk("fmt ", std::string(14, '\1')) +
                                         chunk("data", std::string(100, '\x80')));
    const std::string dataBeforeFormat = riff(chunk("data", std::string(100, '\x80')) +
                                              chunk("fmt ", formatRecord(1, 1, 11025, 8)));

    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"only the RIFF tag", "RIFF"},
        {"only the RIFF header", good.substr(0, 12)},
        {"cut inside the format chunk", good.substr(0, 30)},
        {"cut inside the data chunk header", good.substr(0, 40)},
        {"cut inside the samples", good.substr(0, 5000)},
        {"last sample missing", good.substr(0, good.size() - 1)},
        {"not starting with RIFF", notRiff},
        {"plain text", std::string("just some text, long enough to walk through")},
        {"no data chunk", formatOnly},
        {"data length past the end", dataPastEnd},
        {"format length past the end", fmtPastEnd},
        {"skipped chunk length past the end", skippedChunkPastEnd},
        {"format record shorter than 16 bytes", shortFormat},
        {"data chunk before the format chunk", dataBeforeFormat},
    };
    const int voicesBefore = voiceCount();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WaveInfo info;
        EXPECT_FALSE(parseWave(c.bytes, info));
        int number = -1;
        EXPECT_EQ(loadCapturing(c.bytes, number), "");
        EXPECT_EQ(number, 0);
    }
    EXPECT_EQ(voiceCount(), voicesBefore);
}

TEST(ParseWave, WalksPastOtherChunksAndTheirPadBytes) {
    const std::string samples(301, '\x90');
    // An odd-length chunk before the format and one between format and data.
    const std::string bytes = riff(chunk("LIST", "INFOabc") + chunk("fmt ", formatRecord(1, 2, 22050, 16)) +
                                   chunk("fact", std::string(5, 'x')) + chunk("data", samples) +
                                   chunk("LIST", "INFO"));
    WaveInfo info;
    ASSERT_TRUE(parseWave(bytes, info));
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplesPerSecond, 22050u);
    EXPECT_EQ(info.avgBytesPerSecond, 88200u);
    EXPECT_EQ(info.blockAlign, 4);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.dataLength, samples.size());
    EXPECT_EQ(bytes.substr(info.dataOffset, info.dataLength), samples);
}

TEST(ParseWave, WalksPastOddChunksWrittenWithoutAPadByte) {
    const std::string samples(64, '\x70');
    const std::string bytes = riff(chunk("JUNK", "abc", false) +
                                   chunk("fmt ", formatRecord(1, 1, 11025, 8)) +
                                   chunk("note", "odd", false) + chunk("data", samples));
    WaveInfo info;
    ASSERT_TRUE(parseWave(bytes, info));
    EXPECT_EQ(info.samplesPerSecond, 11025u);
    EXPECT_EQ(bytes.substr(info.dataOffset, info.dataLength), samples);
}

TEST(ParseWave, AcceptsAnExtendedFormatRecordAndAnOddFinalChunkWithoutPad) {
    const std::string samples(7, '\x81');
    const std::string bytes =
        riff(chunk("fmt ", formatRecord(1, 1, 8000, 8) + le16(0)) + chunk("data", samples, false));
    WaveInfo info;
    ASSERT_TRUE(parseWave(bytes, info));
    EXPECT_EQ(info.samplesPerSecond, 8000u);
    EXPECT_EQ(info.dataOffset + info.dataLength, bytes.size());
}

TEST_F(SoundTest, ClipsThatCannotBePlayedWriteTheirLinesButLoadAsNoClip) {
    const struct {
        const char* what;
        std::string bytes;
        std::string lines;
    } cases[] = {
        {"floating-point samples",
         riff(chunk("fmt ", formatRecord(3, 1, 11025, 32)) + chunk("data", std::string(40, '\0'))),
         headerLines(1, 32, 4, 11025, 44100, 40)},
        {"12-bit samples",
         riff(chunk("fmt ", formatRecord(1, 1, 11025, 12)) + chunk("data", std::string(40, '\0'))),
         headerLines(1, 12, 1, 11025, 11025, 40)},
        {"no channels",
         riff(chunk("fmt ", formatRecord(1, 0, 11025, 8)) + chunk("data", std::string(40, '\0'))),
         headerLines(0, 8, 0, 11025, 0, 40)},
        {"no samples", monoClip(""), headerLines(1, 8, 1, 11025, 11025, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int number = -1;
        EXPECT_EQ(loadCapturing(c.bytes, number), c.lines);
        EXPECT_EQ(number, 0);
    }
}

// ---- The back end ----------------------------------------------------------------------

TEST_F(SoundTest, VoicesKeepOnlyWholeSampleFrames) {
    const uint8_t pcm[5] = {0, 1, 2, 3, 4};
    EXPECT_NE(createVoice(VoiceFormat{2, 44100, 16}, pcm, 5), 0);   // one 4-byte frame
    EXPECT_EQ(createVoice(VoiceFormat{2, 44100, 16}, pcm, 3), 0);   // not one frame
    EXPECT_EQ(createVoice(VoiceFormat{1, 11025, 8}, nullptr, 5), 0);
    EXPECT_EQ(createVoice(VoiceFormat{1, 0, 8}, pcm, 5), 0);
    EXPECT_EQ(createVoice(VoiceFormat{1, 11025, 24}, pcm, 5), 0);
}

TEST_F(SoundTest, UnknownVoicesAndOutOfRangeTonesAreIgnored) {
    const int voices = voiceCount();
    const int starts = allVoiceStarts();
    playVoice(0);
    playVoice(-3);
    playVoice(voices + 100);
    playTone(10, 30);
    playTone(1000, 0);
    EXPECT_EQ(voiceStarts(0), 0);
    EXPECT_EQ(voiceStarts(voices + 100), 0);
    EXPECT_EQ(voiceCount(), voices);
    EXPECT_EQ(allVoiceStarts(), starts);
}

TEST(SoundWithoutDevice, EverythingStaysSilent) {
    useSilentSoundOutput(false);
    if (startSoundSystem()) GTEST_SKIP() << "this machine has a sound device";
    app.successSound = app.errorSound = app.copySound = 7;
    testing::internal::CaptureStdout();
    loadSounds();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(app.successSound, 0);
    EXPECT_EQ(app.errorSound, 0);
    EXPECT_EQ(app.copySound, 0);
    EXPECT_FALSE(soundSystemAvailable());

    // Even a voice that exists and a checked box give no playback.
    const uint8_t pcm[4] = {128, 200, 128, 56};
    const int voice = createVoice(VoiceFormat{1, 11025, 8}, pcm, sizeof pcm);
    ASSERT_NE(voice, 0);
    if (!tk::windowIsOpen()) {
        ASSERT_TRUE(tk::openWindow(0, 0, 700, 600, u"Sounds"));
    }
    const tk::Gadget box = tk::checkBoxGadget(10, 40, 120, 20, u"Sound");
    const OptionEntry saved = app.options["ton"];
    app.options["ton"].gadget = box;
    tk::setGadgetState(box, 1);
    const int starts = allVoiceStarts();
    playSound(voice);
    beepIfSoundOn(1000, 30);
    EXPECT_EQ(allVoiceStarts(), starts);
    app.options["ton"] = saved;
    tk::freeGadget(box);
}

// ---- Playing under the "Sound" check box ------------------------------------------------

TEST_F(SoundGateTest, ClipsPlayOnlyWhileTheSoundBoxIsChecked) {
    const int clip = loadQuietly(embedded("success.wav"));
    ASSERT_NE(clip, 0);
    playSound(clip);
    EXPECT_EQ(voiceStarts(clip), 1);

    tk::setGadgetState(soundBox, 0);
    const int starts = allVoiceStarts();
    playSound(clip);
    beepIfSoundOn(1000, 30);
    EXPECT_EQ(voiceStarts(clip), 1);
    EXPECT_EQ(allVoiceStarts(), starts);

    tk::setGadgetState(soundBox, 1);
    playSound(clip);
    EXPECT_EQ(voiceStarts(clip), 2);
}

TEST_F(SoundGateTest, TheLiveBoxDecidesNotTheStoredOption) {
    const int clip = loadQuietly(embedded("error.wav"));
    ASSERT_NE(clip, 0);
    app.options["ton"].state = 1;
    tk::setGadgetState(soundBox, 0);
    playSound(clip);
    EXPECT_EQ(voiceStarts(clip), 0);

    app.options["ton"].state = 0;
    tk::setGadgetState(soundBox, 1);
    playSound(clip);
    EXPECT_EQ(voiceStarts(clip), 1);
}

TEST_F(SoundGateTest, NoSoundBoxMeansSilence) {
    const int clip = loadQuietly(embedded("copy.wav"));
    ASSERT_NE(clip, 0);
    app.options["ton"].gadget = 0;
    playSound(clip);
    EXPECT_EQ(voiceStarts(clip), 0);
}

TEST_F(SoundGateTest, ReplayRestartsTheSameVoice) {
    const int clip = loadQuietly(embedded("success.wav"));
    ASSERT_NE(clip, 0);
    const int voices = voiceCount();
    playSound(clip);
    playSound(clip);
    EXPECT_EQ(voiceStarts(clip), 2);
    EXPECT_EQ(voiceCount(), voices);
}

TEST_F(SoundGateTest, EachClipHasAVoiceOfItsOwn) {
    const int success = loadQuietly(embedded("success.wav"));
    const int error = loadQuietly(embedded("error.wav"));
    ASSERT_NE(success, 0);
    ASSERT_NE(error, 0);
    ASSERT_NE(success, error);
    playSound(success);
    playSound(error);
    playSound(error);
    EXPECT_EQ(voiceStarts(success), 1);
    EXPECT_EQ(voiceStarts(error), 2);
}

TEST_F(SoundGateTest, UnloadedClipsAreIgnored) {
    const int starts = allVoiceStarts();
    playSound(0);
    playSound(voiceCount() + 50);
    EXPECT_EQ(allVoiceStarts(), starts);
}

TEST_F(SoundGateTest, BeepReusesOneToneVoice) {
    const int starts = allVoiceStarts();
    beepIfSoundOn(1000, 30);
    const int voices = voiceCount();
    EXPECT_EQ(allVoiceStarts(), starts + 1);
    beepIfSoundOn(1000, 30);
    EXPECT_EQ(allVoiceStarts(), starts + 2);
    EXPECT_EQ(voiceCount(), voices);
}

}  // namespace
