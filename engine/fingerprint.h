#pragma once
// Fingerprints of file contents: the size and a 128-bit XXH3 hash of the bytes. The undo
// of a run tells by them whether a file still holds what the run wrote.

#include <cstdint>
#include <memory>
#include <string_view>

struct Fingerprint {
    uint64_t size = 0;
    uint64_t high = 0;  // the hash's upper and lower 64 bits
    uint64_t low = 0;
    bool operator==(const Fingerprint&) const = default;
};

// Hashes bytes handed over in any number of pieces.
class FingerprintBuilder {
public:
    FingerprintBuilder();
    ~FingerprintBuilder();
    FingerprintBuilder(const FingerprintBuilder&) = delete;
    FingerprintBuilder& operator=(const FingerprintBuilder&) = delete;

    void add(std::string_view bytes);
    Fingerprint result() const;

private:
    struct State;
    std::unique_ptr<State> state_;
    uint64_t size_ = 0;
};

Fingerprint fingerprintOf(std::string_view bytes);
// The fingerprint of what a descriptor reads from its start; false when it cannot be read.
bool fingerprintDescriptor(int fd, Fingerprint& fingerprint);

// The 64-bit XXH3 hash of bytes with a seed, for checksums.
uint64_t checksumOf(std::string_view bytes, uint64_t seed = 0);
