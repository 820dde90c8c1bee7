#pragma once
// The sound back end: PCM voices played on the default audio output. One voice per clip;
// playing a voice that is still sounding restarts it from its first sample; several voices
// may sound at once. A voice's samples are handed to the device when it starts, so it plays
// to its end even while the caller's thread pauses. Nothing here blocks or waits for
// playback to end, and every failure (no output device, unsupported format, unknown voice)
// is silent.
//
// Voices are kept even when no output device exists: they are created, counted and
// "played" into nothing. The program itself only plays voices while the sound system is
// up, so on a machine without a device it runs silently.
//
// This header names no platform type; the implementation uses Qt Multimedia.

#include <cstddef>
#include <cstdint>

struct VoiceFormat {
    int channels = 1;
    int samplesPerSecond = 11025;
    int bitsPerSample = 8;  // 8 (unsigned) or 16 (signed, little-endian)
};

// Opens the default audio output; true when there is one. Cheap to call again: once up,
// the system stays up. Needs the application object of the widget library to exist.
bool startSoundSystem();
// Whether startSoundSystem has succeeded (or the silent output is in use).
bool soundSystemAvailable();

// A voice holding a copy of the samples; 0 when the format is not supported or there are
// no whole sample frames. Trailing bytes of an incomplete frame are dropped.
int createVoice(const VoiceFormat& format, const uint8_t* pcm, size_t bytes);
// Starts the voice from its first sample, stopping it first if it is sounding. Returns at
// once. Unknown voice numbers are ignored.
void playVoice(int voice);
// A sine tone (e.g. 1000 Hz for 30 ms) played through a voice of its own, made once per
// pitch and length. Tones outside 37..32767 Hz or 1..10000 ms are ignored.
void playTone(int hz, int ms);

// ---- Test hooks ---------------------------------------------------------------------

// How many times playback of the voice was started or restarted (also when no device or
// the silent output takes it); 0 for an unknown voice.
int voiceStarts(int voice);
// Number of voices created so far (tone voices included).
int voiceCount();
// Sum of voiceStarts over every voice.
int allVoiceStarts();
// When on, the sound system counts as up whether or not a device exists, and voices play
// into nothing (no device is opened, nothing is heard). For tests on machines without a
// sound device. Turning it off again leaves the system as a device would have it.
void useSilentSoundOutput(bool on);
