#include "replacement_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace scrapvolt {

namespace {

// Permissions an ordinary fopen would give a new file, under the process's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// What a save may replace: a regular file that the process may write and that has a write
// permission bit. The bit is checked too because root may write any file: a file the player
// made read-only is kept even then. Devices, pipes and directories are never replaced.
bool replaceable(const char* path, const struct stat& old) {
    return S_ISREG(old.st_mode) && (old.st_mode & 0222) != 0 && access(path, W_OK) == 0;
}

// "<name>.XXXXXX" as mkstemp fills it in: the temporary file of a save that did not finish.
bool isTemporaryOf(const char* entry, const char* name) {
    const size_t length = std::strlen(name);
    if (std::strncmp(entry, name, length) != 0 || entry[length] != '.' ||
        std::strlen(entry + length + 1) != ReplacementFile::tempSuffixLength - 1) {
        return false;
    }
    for (const char* c = entry + length + 1; *c != '\0'; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)) == 0) {
            return false;
        }
    }
    return true;
}

// Removes the regular files that earlier saves of `path` left behind when they were cut short.
void removeStaleTemporaryFiles(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        return;
    }
    const std::string directory(path, slash == path ? 1 : slash - path);
    DIR* entries = opendir(directory.c_str());
    if (entries == nullptr) {
        return;
    }
    const int fd = dirfd(entries);
    struct stat found {};
    while (const dirent* entry = readdir(entries)) {
        if (isTemporaryOf(entry->d_name, slash + 1) &&
            fstatat(fd, entry->d_name, &found, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(found.st_mode)) {
            unlinkat(fd, entry->d_name, 0);
        }
    }
    closedir(entries);
}

// Gives the new file the owner, group and permission bits of the one it replaces.
bool takeOwnerAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (fstat(fd, &now) != 0) {
        return false;
    }
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        fchown(fd, old.st_uid, old.st_gid) != 0) {
        return false;
    }
    return fchmod(fd, old.st_mode & 07777) == 0;
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
    // Something that is there but cannot be followed (a dangling link) or is not a file the
    // player lets us write is left alone, and nothing is saved.
    struct stat old {};
    const bool exists = stat(path, &old) == 0;
    if (exists ? !replaceable(path, old) : errno != ENOENT || lstat(path, &old) == 0) {
        return false;
    }
    std::memcpy(target_, path, length + 1);
    std::memcpy(temp_, path, length);
    std::memcpy(temp_ + length, ".XXXXXX", tempSuffixLength + 1);
    removeStaleTemporaryFiles(target_);
    const int fd = mkstemp(temp_);
    if (fd < 0) {
        temp_[0] = '\0';
        return false;
    }
    if (exists ? !takeOwnerAndMode(fd, old) : fchmod(fd, newFileMode()) != 0) {
        close(fd);
        abandon();
        return false;
    }
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

}  // namespace scrapvolt
