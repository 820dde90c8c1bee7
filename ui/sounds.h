#pragma once
// The program's built-in sound clips: loading them from their embedded RIFF/WAVE bytes
// and playing them, silenced by the "Sound" check box (option "ton") or a missing device.

#include <cstddef>
#include <cstdint>
#include <string>

// What a RIFF/WAVE file says about its samples.
struct WaveInfo {
    uint16_t formatTag = 0;  // 1 = PCM
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t avgBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    size_t dataOffset = 0;  // where the samples start in the file
    size_t dataLength = 0;  // number of sample bytes
};

// Reads the format record of the first "fmt " chunk and finds the first "data" chunk after
// it. False when the bytes do not start with "RIFF", a chunk is missing, or any chunk (or
// the format record) reaches past the end of the bytes.
bool parseWave(const std::string& bytes, WaveInfo& info);

// Loads one clip: parses it, writes its two "WAV Header Info" lines to standard output and
// makes a playback voice of its samples. The clip number, or 0 when the bytes are not a
// RIFF/WAVE file with both chunks (then nothing is written) or its samples cannot be
// played (not PCM, unsupported sample size or channel count, no samples).
int loadSoundClip(const std::string& riffBytes);

// Loads the three embedded clips into the window model's successSound, errorSound and copySound
// when the sound system is up; otherwise they stay 0.
void loadSounds();

// Plays a clip from its start, restarting it if it is still sounding. Does nothing unless
// the sound system is up, the clip was loaded and the "Sound" check box is checked.
void playSound(int clip);

// A short tone (the editors' popup menu uses 1000 Hz for 30 ms) under the same conditions.
void beepIfSoundOn(int hz, int ms);
