#include "cli/rif_input.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

#include "cli/rif_report.h"
#include "engine/descriptor_io.h"

namespace {

// A new file without a name in the temporary folder, for reading and writing: nothing is
// left behind however rif ends. -1, with why in error, when none can be made.
int unnamedFile(std::string& error) {
    const char* given = std::getenv("TMPDIR");
    const std::string folder = given != nullptr && *given != 0 ? given : "/tmp";
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    // A file system without unnamed files: a named one, removed at once.
    std::string name = folder + "/rif-input-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        ::unlink(name.c_str());
        return fd;
    }
    error = "no temporary file can be made in " + folder + " for standard input: " + std::strerror(errno);
    return -1;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

// Copies the first size bytes of the file from to out (sendfile where it can; the file's
// own offset is left alone).
bool copyFile(int from, off_t size, int out) {
    off_t offset = 0;
    while (offset < size) {
        const ssize_t sent = ::sendfile(out, from, &offset, static_cast<size_t>(size - offset));
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EINVAL || errno == ENOSYS)) break;
        if (sent <= 0) return false;
    }
    const std::unique_ptr<char[]> buffer(new char[1 << 16]);
    while (offset < size) {
        const ssize_t got = ::pread(from, buffer.get(), 1 << 16, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !writeAll(out, buffer.get(), static_cast<size_t>(got))) return false;
        offset += got;
    }
    return true;
}

// Copies what is left of standard input to standard output.
bool copyRest() {
    const std::unique_ptr<char[]> buffer(new char[1 << 16]);
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer.get(), 1 << 16);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!writeAll(STDOUT_FILENO, buffer.get(), static_cast<size_t>(got))) return false;
    }
}

void reportError(const std::string& reason) { std::cerr << "-: error: " << reason << "\n"; }

void summary(const Settings& settings, size_t replacements, int changed, int failed) {
    if (!settings.verbose) return;
    if (changed > 0) std::cerr << "-: " << replacements << "\n";
    std::cerr << changed << " files changed, " << failed << " failed, 1 searched\n";
}

}  // namespace

int filterStandardInput(const Settings& settings, const PreparedRow& row, RewriteOptions options) {
    std::string error;
    const OwnedDescriptor spool(unnamedFile(error));
    if (spool.fd() < 0) return usage(error);

    // Standard input into the spool file. Should the spool fail (no room left), the input
    // goes to standard output as it came: what was kept, then the rest.
    const size_t chunk = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[chunk]);
    off_t kept = 0;
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer.get(), chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            reportError(std::string("standard input could not be read: ") + std::strerror(errno));
            copyFile(spool.fd(), kept, STDOUT_FILENO);
            summary(settings, 0, 0, 1);
            return someFailed;
        }
        if (got == 0) break;
        if (!writeAll(spool.fd(), buffer.get(), static_cast<size_t>(got))) {
            reportError(std::string("standard input could not be kept in a temporary file: ") + std::strerror(errno) +
                        "; it was copied to standard output as it was");
            const bool copied = copyFile(spool.fd(), kept, STDOUT_FILENO) &&
                                writeAll(STDOUT_FILENO, buffer.get(), static_cast<size_t>(got)) && copyRest();
            if (!copied) reportError(std::string("standard output could not be written: ") + std::strerror(errno));
            summary(settings, 0, 0, 1);
            return someFailed;
        }
        kept += got;
    }

    // The rewrite of a file, with the new contents on standard output.
    options.output = STDOUT_FILENO;
    options.dryRun = false;
    options.keepOldText = false;
    FileRewriter rewriter(options);
    const FileOutcome outcome = rewriter.rewrite("/proc/self/fd/" + std::to_string(spool.fd()), row, {});
    if (outcome == FileOutcome::changed) {
        summary(settings, rewriter.lastReplacements(), 1, 0);
        return someChanged;
    }
    const Failure& failure = rewriter.lastFailure();
    if (outcome == FileOutcome::failed && failure.cause == FailureCause::writeFailed) {
        reportError(std::string("standard output could not be written: ") + std::strerror(failure.error));
        summary(settings, 0, 0, 1);
        return someFailed;
    }
    // Nothing was written to standard output: the input goes there as it came.
    const bool copied = copyFile(spool.fd(), kept, STDOUT_FILENO);
    if (!copied) reportError(std::string("standard output could not be written: ") + std::strerror(errno));
    if (outcome == FileOutcome::unchanged) {
        summary(settings, 0, 0, 0);
        return copied ? nothingFound : someFailed;
    }
    if (outcome == FileOutcome::unsupported) reportError("its encoding is not supported (UTF-16 BE or UTF-32)");
    else reportError(failureReason(failure));
    summary(settings, 0, 0, 1);
    return someFailed;
}
