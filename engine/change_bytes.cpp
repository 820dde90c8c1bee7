#include "engine/change_bytes.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "engine/descriptor_io.h"

namespace {

// A descriptor that takes whatever is written to it: the null device, or where it cannot
// be opened a file in memory (which is emptied as it is written); -1 when neither can.
int openDiscard() {
    int fd;
    do {
        fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd >= 0 ? fd : ::memfd_create("change-bytes", MFD_CLOEXEC);
}

}  // namespace

bool contentsInMemory(TextFormat format, std::string_view charset, const std::function<void(TextFile&)>& body,
                      std::string& bytes) {
    bytes.clear();
    const OwnedDescriptor sink(openDiscard());
    if (sink.fd() < 0) return false;
    const std::unique_ptr<TextFile> file = writeToDescriptor(sink.fd(), charset);
    // The writer hands every piece to the tap before it writes it out.
    tapWrittenBytes(*file, [&](std::string_view piece) {
        bytes.append(piece);
        if (::ftruncate(sink.fd(), 0) != 0) {
            // The null device has no length: nothing is kept there anyway.
        }
    });
    writeMark(*file, format);
    body(*file);
    return closeFile(*file);
}

size_t markLength(TextFormat format) {
    switch (format) {
        case TextFormat::utf8: return 3;
        case TextFormat::utf16le: return 2;
        default: break;  // writeMark writes no other mark
    }
    return 0;
}
