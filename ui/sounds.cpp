#include "ui/sounds.h"

#include <cstdio>
#include <cstring>

#include "ui/window_model.h"
#include "ui/sound/sound_backend.h"
#include "ui/toolkit/toolkit.h"

namespace {

uint16_t readLe16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                 static_cast<uint8_t>(bytes[at + 1]) << 8);
}

uint32_t readLe32(const std::string& bytes, size_t at) {
    return static_cast<uint32_t>(readLe16(bytes, at)) |
           static_cast<uint32_t>(readLe16(bytes, at + 2)) << 16;
}

// A chunk tag is four printable ASCII characters.
bool looksLikeTag(const std::string& bytes, size_t at) {
    if (bytes.size() < 4 || at > bytes.size() - 4) return false;
    for (size_t i = at; i < at + 4; ++i) {
        const auto c = static_cast<uint8_t>(bytes[i]);
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

struct Chunk {
    size_t payload = 0;
    size_t length = 0;
};

// Walks the chunks from `pos` to the first one tagged `tag`, leaving `pos` after it.
// Every chunk passed on the way must lie wholly inside the bytes; a walk that runs off
// their end finds nothing.
bool findChunk(const std::string& bytes, size_t& pos, const char* tag, Chunk& found) {
    const size_t size = bytes.size();
    while (pos <= size && size - pos >= 8) {
        const size_t payload = pos + 8;
        const uint32_t length = readLe32(bytes, pos + 4);
        if (length > size - payload) return false;
        size_t next = payload + length;
        // RIFF pads an odd-length payload with a zero byte. Some writers leave the pad out;
        // then the next tag starts right after the payload instead.
        if (length % 2 != 0 && (next >= size || bytes[next] == '\0' || !looksLikeTag(bytes, next)))
            ++next;
        if (std::memcmp(bytes.data() + pos, tag, 4) == 0) {
            found.payload = payload;
            found.length = length;
            pos = next;
            return true;
        }
        pos = next;
    }
    return false;
}

bool soundIsOn() {
    if (!startSoundSystem()) return false;
    return windowModel().checked("ton");
}

}  // namespace

bool parseWave(const std::string& bytes, WaveInfo& info) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0) return false;
    size_t pos = 12;
    Chunk format;
    if (!findChunk(bytes, pos, "fmt ", format)) return false;
    // The PCM format record: tag, channels, rate, bytes per second, block align, bits.
    if (format.length < 16) return false;
    Chunk data;
    if (!findChunk(bytes, pos, "data", data)) return false;

    const size_t at = format.payload;
    info.formatTag = readLe16(bytes, at);
    info.channels = readLe16(bytes, at + 2);
    info.samplesPerSecond = readLe32(bytes, at + 4);
    info.avgBytesPerSecond = readLe32(bytes, at + 8);
    info.blockAlign = readLe16(bytes, at + 12);
    info.bitsPerSample = readLe16(bytes, at + 14);
    info.dataOffset = data.payload;
    info.dataLength = data.length;
    return true;
}

int loadSoundClip(const std::string& riffBytes) {
    WaveInfo info;
    if (!parseWave(riffBytes, info)) return 0;
    std::printf("WAV Header Info: NbChannels %d, BitsPerSamples: %d, NbBlockAlign %d\n",
                static_cast<int>(info.channels), static_cast<int>(info.bitsPerSample),
                static_cast<int>(info.blockAlign));
    std::printf("WAV Header Info: SamplePerSec %d, nAvgBytesPerSec: %d, WavSize %d\n",
                static_cast<int>(info.samplesPerSecond),
                static_cast<int>(info.avgBytesPerSecond), static_cast<int>(info.dataLength));
    std::fflush(stdout);
    if (info.formatTag != 1) return 0;  // only plain PCM can be played as it is
    VoiceFormat format;
    format.channels = info.channels;
    format.samplesPerSecond = info.samplesPerSecond > 192000
                                  ? 0
                                  : static_cast<int>(info.samplesPerSecond);
    format.bitsPerSample = info.bitsPerSample;
    const auto* samples = reinterpret_cast<const uint8_t*>(riffBytes.data() + info.dataOffset);
    return createVoice(format, samples, info.dataLength);
}

void loadSounds() {
    WindowModel& model = windowModel();
    model.successSound = 0;
    model.errorSound = 0;
    model.copySound = 0;
    if (!startSoundSystem()) return;
    model.successSound = loadSoundClip(tk::resourceBytes(":/sounds/success.wav"));
    model.errorSound = loadSoundClip(tk::resourceBytes(":/sounds/error.wav"));
    model.copySound = loadSoundClip(tk::resourceBytes(":/sounds/copy.wav"));
}

void playSound(int clip) {
    if (clip == 0 || !soundIsOn()) return;
    playVoice(clip);
}

void beepIfSoundOn(int hz, int ms) {
    if (!soundIsOn()) return;
    playTone(hz, ms);
}
