#include "journal_recorder.h"

#include <scrapvolt/shell/shell_globals.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform.h"

namespace scrapvolt {

bool JournalRecorder::open(const char* path) {
    path_ = path;
    file_ = std::fopen(path, "wb");
    uint8_t header[journalHeaderSize];
    writeJournalHeader(header);
    if (file_ == nullptr || std::fwrite(header, sizeof header, 1, file_) != 1) {
        fail();
        return false;
    }
    return true;
}

void JournalRecorder::fail() {
    std::fprintf(stderr, "Cannot write the journal %s (%s); the run goes on without it.\n", path_,
                 std::strerror(errno));
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

void JournalRecorder::flush() {
    const std::span<const uint8_t> payload = encoder_.written();
    if (file_ == nullptr || payload.empty()) {
        return;
    }
    uint8_t header[blockHeaderSize];
    writeBlockHeader(payload, header);
    if (std::fwrite(header, sizeof header, 1, file_) != 1 ||
        std::fwrite(payload.data(), payload.size(), 1, file_) != 1 || std::fflush(file_) != 0) {
        fail();
    }
    encoder_.clear();
}

// Every record fits an empty buffer, so one that is refused goes into the next block.
template <typename Write>
void JournalRecorder::put(Write write) {
    if (file_ != nullptr && !write(encoder_)) {
        flush();
        write(encoder_);
    }
}

void JournalRecorder::start(const LoopState& loop) {
    const DisplaySettings& s = loop.settings;
    const JournalStart start{s.width,       s.height,         s.fullScreen,
                             s.multisample, s.highResolution, loop.mouseCaptured,
                             s.gamma,       loop.randomSeed,  tickRate};
    put([&](JournalEncoder& e) { return e.start(start); });
}

void JournalRecorder::event(const InputEvent& polled) {
    uint8_t bytes[maxEventBytes];
    const size_t size = platform::encodeEvent(polled, bytes);
    put([&](JournalEncoder& e) { return e.event({bytes, size}); });
}

void JournalRecorder::input(const LoopState& loop) {
    // Keys that were held when the run began count as changes at its first frame.
    const std::span<const uint8_t> held = platform::keyState();
    KeyChange changes[maxKeyChanges];
    size_t count = 0;
    for (size_t key = 0; key < std::min(held.size(), sizeof keys_); ++key) {
        const uint8_t now = held[key] != 0 ? 1 : 0;
        if (now == keys_[key]) {
            continue;
        }
        keys_[key] = now;
        changes[count++] = KeyChange{static_cast<uint16_t>(key), now != 0};
        if (count == maxKeyChanges) {
            put([&](JournalEncoder& e) { return e.keys({changes, count}); });
            count = 0;
        }
    }
    if (count != 0) {
        put([&](JournalEncoder& e) { return e.keys({changes, count}); });
    }
    // The capture sets the mouse globals each frame, and the game may reset the motion between
    // frames: while captured they are recorded every frame, as the draw and ticks see them.
    if (loop.mouseCaptured || mouseButtons != mouseButtons_ || mouseDeltaX != mouseDeltaX_ ||
        mouseDeltaY != mouseDeltaY_) {
        mouseButtons_ = mouseButtons;
        mouseDeltaX_ = mouseDeltaX;
        mouseDeltaY_ = mouseDeltaY;
        put([&](JournalEncoder& e) { return e.mouse(mouseButtons_, mouseDeltaX_, mouseDeltaY_); });
    }
}

void JournalRecorder::frame(uint32_t due) {
    put([&](JournalEncoder& e) { return e.frame(due); });
}

void JournalRecorder::afterTick(LoopState& loop) {
    ++ticks_;
    if (tickRate > 0 && ticks_ % static_cast<uint64_t>(tickRate) == 0) {
        const uint64_t hash = loop.game->stateHash();
        put([&](JournalEncoder& e) { return e.hash(ticks_, hash); });
        flush();
    }
}

void JournalRecorder::end(LoopState& loop) {
    const uint64_t hash = loop.game->stateHash();
    put([&](JournalEncoder& e) { return e.end(ticks_, hash); });
    flush();
    if (file_ != nullptr && std::fclose(file_) != 0) {
        file_ = nullptr;
        fail();
    }
    file_ = nullptr;
}

}  // namespace scrapvolt
