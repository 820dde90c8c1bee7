#include "engine/fingerprint.h"

#include <unistd.h>

#include <cerrno>
#include <new>

#include <xxhash.h>

struct FingerprintBuilder::State {
    State() : xxh(XXH3_createState()) {
        if (xxh == nullptr) throw std::bad_alloc();
    }
    ~State() { XXH3_freeState(xxh); }
    XXH3_state_t* xxh;
};

FingerprintBuilder::FingerprintBuilder() : state_(std::make_unique<State>()) { XXH3_128bits_reset(state_->xxh); }
FingerprintBuilder::~FingerprintBuilder() = default;

void FingerprintBuilder::add(std::string_view bytes) {
    XXH3_128bits_update(state_->xxh, bytes.data(), bytes.size());
    size_ += bytes.size();
}

Fingerprint FingerprintBuilder::result() const {
    const XXH128_hash_t hash = XXH3_128bits_digest(state_->xxh);
    return Fingerprint{size_, hash.high64, hash.low64};
}

Fingerprint fingerprintOf(std::string_view bytes) {
    const XXH128_hash_t hash = XXH3_128bits(bytes.data(), bytes.size());
    return Fingerprint{bytes.size(), hash.high64, hash.low64};
}

bool fingerprintDescriptor(int fd, Fingerprint& fingerprint) {
    // The call's own buffer: its allocation costs nothing beside reading a file.
    const std::unique_ptr<char[]> buffer(new char[1 << 18]);
    FingerprintBuilder builder;
    off_t at = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer.get(), 1 << 18, at);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        builder.add(std::string_view(buffer.get(), static_cast<size_t>(got)));
        at += got;
    }
    fingerprint = builder.result();
    return true;
}

uint64_t checksumOf(std::string_view bytes, uint64_t seed) {
    return XXH3_64bits_withSeed(bytes.data(), bytes.size(), seed);
}
