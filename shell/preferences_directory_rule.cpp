#include <cstring>

#include "preferences_directory.h"

namespace scrapvolt {

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isSet(const char* value) {
    return value != nullptr && value[0] != '\0';
}

// Builds a zero-terminated string in a fixed buffer; every append fails once it would not fit.
class DirectoryWriter {
  public:
    explicit DirectoryWriter(std::span<char> out) : out_(out) {}

    bool append(const char* text, size_t count) {
        if (count >= out_.size() - length_) {
            return false;
        }
        std::memcpy(out_.data() + length_, text, count);
        length_ += count;
        out_[length_] = '\0';
        return true;
    }
    bool append(const char* text) { return append(text, std::strlen(text)); }
    bool endDirectory() {
        return length_ > 0 && isSeparator(out_[length_ - 1]) ? true : append("/");
    }

  private:
    std::span<char> out_;
    size_t length_ = 0;
};

// Up to and including the last separator after the first character; just the first character
// when there is none.
size_t executableDirectoryLength(const char* path) {
    for (size_t i = std::strlen(path) - 1; i >= 1; --i) {
        if (isSeparator(path[i])) {
            return i + 1;
        }
    }
    return 1;
}

bool compose(const PrefsLocations& where, DirectoryWriter& out) {
    if (isSet(where.appData)) {
        return out.append(where.appData) && out.endDirectory();
    }
    if (isSet(where.xdgConfigHome) && where.xdgConfigHome[0] == '/') {
        return out.append(where.xdgConfigHome) && out.endDirectory();
    }
    if (isSet(where.home)) {
        return out.append(where.home) && out.endDirectory() && out.append(".config") &&
               out.endDirectory();
    }
    if (isSet(where.executablePath)) {
        const char* path = where.executablePath;
        return out.append(path, executableDirectoryLength(path));
    }
    return false;
}

}  // namespace

bool composePrefsDirectory(const PrefsLocations& where, std::span<char> out) {
    if (out.empty()) {
        return false;
    }
    DirectoryWriter writer(out);
    if (!compose(where, writer)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

}  // namespace scrapvolt
