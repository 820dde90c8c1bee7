#pragma once
// Whole reads and writes on a file descriptor, carried on across short transfers and
// interrupted calls.

#include <string>
#include <string_view>

// A descriptor that is closed when it goes (-1: none).
class OwnedDescriptor {
public:
    explicit OwnedDescriptor(int fd = -1) : fd_(fd) {}
    ~OwnedDescriptor();
    OwnedDescriptor(const OwnedDescriptor&) = delete;
    OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
    OwnedDescriptor(OwnedDescriptor&& other) noexcept : fd_(other.release()) {}
    OwnedDescriptor& operator=(OwnedDescriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    int fd() const { return fd_; }
    // Closes the descriptor held, and holds fd instead.
    void reset(int fd = -1);
    // Hands the descriptor over: it is no longer closed here.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

// Writes every byte at the descriptor's position; false on an error.
bool writeAll(int fd, std::string_view bytes);
// Appends everything the descriptor reads from its position to its end to out; false on an
// error.
bool readAll(int fd, std::string& out);
