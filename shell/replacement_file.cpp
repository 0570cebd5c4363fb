#include "shell/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Permissions an ordinary fopen would give a new file, under the process's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool makeParentDirectories(const char* path) {
    char prefix[LoopState::pathCapacity];
    const size_t length = std::strlen(path);
    if (length >= sizeof prefix) {
        return false;
    }
    std::memcpy(prefix, path, length + 1);
    for (size_t i = 1; i < length; ++i) {
        if (prefix[i] != '/') {
            continue;
        }
        prefix[i] = '\0';
        const bool made = mkdir(prefix, 0700) == 0 || errno == EEXIST;
        prefix[i] = '/';
        if (!made) {
            return false;
        }
    }
    return true;
}

ReplacementFile::~ReplacementFile() {
    abandon();
}

bool ReplacementFile::open(const char* path) {
    abandon();
    // A symbolic link to the file is kept: the file it points to is the one replaced.
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr && std::strlen(resolved) < sizeof target_) {
        path = resolved;
    }
    const size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof target_ || !makeParentDirectories(path)) {
        return false;
    }
    std::memcpy(target_, path, length + 1);
    std::memcpy(temp_, path, length);
    std::memcpy(temp_ + length, ".XXXXXX", tempSuffixLength + 1);
    const int fd = mkstemp(temp_);
    if (fd < 0) {
        temp_[0] = '\0';
        return false;
    }
    fchmod(fd, newFileMode());
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        close(fd);
        abandon();
        return false;
    }
    return true;
}

bool ReplacementFile::commit() {
    if (stream_ == nullptr) {
        return false;
    }
    bool written = std::fflush(stream_) == 0 && !std::ferror(stream_);
    written = written && fsync(fileno(stream_)) == 0;
    written = std::fclose(stream_) == 0 && written;
    stream_ = nullptr;
    if (!written || std::rename(temp_, target_) != 0) {
        abandon();
        return false;
    }
    temp_[0] = '\0';
    return true;
}

void ReplacementFile::abandon() {
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
    }
    if (temp_[0] != '\0') {
        unlink(temp_);
        temp_[0] = '\0';
    }
}
