#include "engine/descriptor_io.h"

#include <unistd.h>

#include <cerrno>

OwnedDescriptor::~OwnedDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

void OwnedDescriptor::reset(int fd) {
    if (fd_ >= 0 && fd_ != fd) ::close(fd_);
    fd_ = fd;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(put));
    }
    return true;
}

bool readAll(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        out.append(buffer, static_cast<size_t>(got));
    }
}
