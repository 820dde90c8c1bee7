#include "ui/sound/sound_backend.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QByteArray>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

namespace {

struct Voice {
    QAudioFormat format;
    QByteArray samples;
    QAudioSink* sink = nullptr;   // opened on the first play with a device
    QIODevice* feed = nullptr;    // the sink's input while it plays (owned by the sink)
    QTimer* topUp = nullptr;      // hands over what the device could not take at once
    qsizetype written = 0;        // bytes of samples handed to the device since the start
    int starts = 0;
};

struct SoundSystem {
    bool deviceUp = false;
    bool silentOutput = false;
    bool cleanupRegistered = false;
    QAudioDevice device;
    std::vector<std::unique_ptr<Voice>> voices;   // voice n is voices[n - 1]
    std::map<std::pair<int, int>, int> toneVoices;  // (hz, ms) -> voice
};

// Never destroyed: the sinks belong to the application object's lifetime and are closed
// by closeSinks when it goes away, so nothing of Qt Multimedia is torn down after it.
SoundSystem& sounds() {
    static SoundSystem* instance = new SoundSystem;
    return *instance;
}

void closeSinks() {
    SoundSystem& s = sounds();
    for (auto& voice : s.voices) {
        delete voice->topUp;
        voice->topUp = nullptr;
        if (voice->sink) {
            voice->sink->stop();
            delete voice->sink;
            voice->sink = nullptr;
        }
        voice->feed = nullptr;
    }
    s.deviceUp = false;
    s.device = QAudioDevice();
    s.cleanupRegistered = false;
}

Voice* findVoice(int voice) {
    SoundSystem& s = sounds();
    if (voice < 1 || static_cast<size_t>(voice) > s.voices.size()) return nullptr;
    return s.voices[static_cast<size_t>(voice) - 1].get();
}

// Hands the device as much of the rest of the samples as it takes now.
void feedVoice(Voice& voice) {
    if (voice.feed && voice.sink->state() != QAudio::StoppedState) {
        // Offer all that is left: the device takes what fits in its queue (bytesFree()
        // reports less than that) and says how much it took.
        const qint64 taken = voice.feed->write(voice.samples.constData() + voice.written,
                                               voice.samples.size() - voice.written);
        if (taken > 0) voice.written += static_cast<qsizetype>(taken);
    }
    const bool more = voice.feed && voice.sink->state() != QAudio::StoppedState &&
                      voice.written < voice.samples.size();
    if (more && !voice.topUp->isActive()) voice.topUp->start();
    if (!more && voice.topUp->isActive()) voice.topUp->stop();
}

bool sampleFormatFor(int bitsPerSample, QAudioFormat::SampleFormat& format) {
    switch (bitsPerSample) {
        case 8: format = QAudioFormat::UInt8; return true;
        case 16: format = QAudioFormat::Int16; return true;
        case 32: format = QAudioFormat::Int32; return true;
        default: return false;
    }
}

}  // namespace

bool startSoundSystem() {
    SoundSystem& s = sounds();
    if (s.silentOutput || s.deviceUp) return true;
    // Qt Multimedia's device list lives in the application object.
    if (!QCoreApplication::instance()) return false;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return false;
    s.device = device;
    s.deviceUp = true;
    if (!s.cleanupRegistered) {
        qAddPostRoutine(closeSinks);
        s.cleanupRegistered = true;
    }
    return true;
}

bool soundSystemAvailable() {
    const SoundSystem& s = sounds();
    return s.silentOutput || s.deviceUp;
}

int createVoice(const VoiceFormat& format, const uint8_t* pcm, size_t bytes) {
    QAudioFormat::SampleFormat sampleFormat;
    if (!pcm || !sampleFormatFor(format.bitsPerSample, sampleFormat)) return 0;
    if (format.channels < 1 || format.channels > 8) return 0;
    if (format.samplesPerSecond < 1000 || format.samplesPerSecond > 192000) return 0;
    const size_t frame = static_cast<size_t>(format.channels) * (format.bitsPerSample / 8);
    const size_t usable = bytes - bytes % frame;
    if (usable == 0 || usable > static_cast<size_t>(INT32_MAX)) return 0;

    auto voice = std::make_unique<Voice>();
    voice->format.setChannelCount(format.channels);
    voice->format.setSampleRate(format.samplesPerSecond);
    voice->format.setSampleFormat(sampleFormat);
    voice->samples = QByteArray(reinterpret_cast<const char*>(pcm), static_cast<qsizetype>(usable));

    SoundSystem& s = sounds();
    s.voices.push_back(std::move(voice));
    return static_cast<int>(s.voices.size());
}

void playVoice(int number) {
    Voice* voice = findVoice(number);
    if (!voice) return;
    ++voice->starts;
    SoundSystem& s = sounds();
    if (s.silentOutput || !s.deviceUp) return;
    if (!voice->sink) {
        voice->sink = new QAudioSink(s.device, voice->format);
        // Room for the whole clip, so that all of it reaches the device when it starts:
        // it then plays to its end even while the program's thread is busy or pausing.
        voice->sink->setBufferSize(voice->samples.size());
        voice->topUp = new QTimer;
        voice->topUp->setInterval(10);
        QObject::connect(voice->topUp, &QTimer::timeout, [voice] { feedVoice(*voice); });
    }
    // Restart from the first sample: a clip that is still sounding begins again instead
    // of overlapping a second copy of itself. Nothing here waits for the device.
    voice->sink->stop();
    voice->feed = voice->sink->start();
    voice->written = 0;
    feedVoice(*voice);
}

void playTone(int hz, int ms) {
    if (hz < 37 || hz > 32767 || ms < 1 || ms > 10000) return;
    SoundSystem& s = sounds();
    auto known = s.toneVoices.find({hz, ms});
    if (known != s.toneVoices.end()) {
        playVoice(known->second);
        return;
    }
    // 16-bit mono; the rate stays above twice the pitch so the tone is not aliased.
    const int rate = hz < 10000 ? 22050 : 96000;
    const size_t count = static_cast<size_t>(rate) * static_cast<size_t>(ms) / 1000;
    if (count == 0) return;
    // A 2 ms fade at each end (at most a quarter of the tone) keeps it from clicking.
    const double fade = std::max(1.0, std::min(rate * 0.002, count / 4.0));
    std::vector<uint8_t> pcm(count * 2);
    for (size_t i = 0; i < count; ++i) {
        double gain = 1.0;
        const double fromStart = static_cast<double>(i);
        const double fromEnd = static_cast<double>(count - 1 - i);
        if (fromStart < fade) gain *= fromStart / fade;
        if (fromEnd < fade) gain *= fromEnd / fade;
        const double value = 0.3 * gain * std::sin(2.0 * std::numbers::pi * hz * fromStart / rate);
        const auto sample = static_cast<int16_t>(std::lround(value * 32767.0));
        pcm[2 * i] = static_cast<uint8_t>(sample & 0xFF);
        pcm[2 * i + 1] = static_cast<uint8_t>((sample >> 8) & 0xFF);
    }
    const int voice = createVoice(VoiceFormat{1, rate, 16}, pcm.data(), pcm.size());
    if (voice == 0) return;
    s.toneVoices[{hz, ms}] = voice;
    playVoice(voice);
}

int voiceStarts(int voice) {
    const Voice* found = findVoice(voice);
    return found ? found->starts : 0;
}

int voiceCount() { return static_cast<int>(sounds().voices.size()); }

int allVoiceStarts() {
    int total = 0;
    for (const auto& voice : sounds().voices) total += voice->starts;
    return total;
}

void useSilentSoundOutput(bool on) {
    SoundSystem& s = sounds();
    s.silentOutput = on;
    if (on) {
        // Voices opened on a real device go quiet while the silent output is in use.
        for (auto& voice : s.voices) {
            if (voice->topUp) voice->topUp->stop();
            if (voice->sink) voice->sink->stop();
            voice->feed = nullptr;
        }
    }
}
