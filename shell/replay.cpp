#include "replay.h"

#include <scrapvolt/shell/resource_registry.h>
#include <scrapvolt/shell/shell_globals.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frame_loop.h"
#include "journal_format.h"
#include "lifecycle.h"
#include "loop_state.h"
#include "messaging.h"
#include "platform.h"
#include "shell_events.h"

namespace scrapvolt {
namespace {

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) != 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

// Plays the records after the start one, checking the hashes as the ticks produce them.
class Player final : public TickWatcher {
  public:
    Player(JournalReader& reader, bool window) : reader_(reader), window_(window) {}

    void afterTick(LoopState& loop) override {
        ++ticks_;
        if (tickRate <= 0 || ticks_ % static_cast<uint64_t>(tickRate) != 0 || differed_) {
            return;
        }
        const uint64_t hash = loop.game->stateHash();
        JournalEntry e;
        if (!reader_.next(e) || e.type != JournalRecord::hash || e.count != ticks_) {
            differ(loop, "the replay took a hash where the journal has none");
            return;
        }
        std::printf("tick %" PRIu64 " hash %016" PRIx64 "\n", ticks_, hash);
        if (hash != e.hash) {
            char why[80];
            std::snprintf(why, sizeof why, "the journal has hash %016" PRIx64, e.hash);
            differ(loop, why);
        }
    }

    // Returns when the journal or the run ends.
    void play(LoopState& loop) {
        JournalEntry e;
        const uint32_t startMs = window_ ? platform::ticks() : 0;
        double pacedMs = 0.0;
        // The journal alone says when the run ends: a quit event is followed by the frame's
        // draw and ticks and then by the end record.
        while (!differed_ && reader_.next(e)) {
            switch (e.type) {
                case JournalRecord::event:
                    if (!platform::decodeEvent(e.bytes, loop.event)) {
                        damaged_ = true;
                        return;
                    }
                    handleShellEvent(loop, loop.event);
                    if (loop.exitStatus != 0) {
                        return;
                    }
                    break;
                case JournalRecord::keys:
                    for (const KeyChange& k : e.keys) {
                        platform::holdKey(k.key, k.held);
                    }
                    break;
                case JournalRecord::mouse:
                    mouseButtons = e.mouseButtons;
                    mouseDeltaX = e.mouseDeltaX;
                    mouseDeltaY = e.mouseDeltaY;
                    break;
                case JournalRecord::frame:
                    if (window_ && platform::viewerAskedToStop()) {
                        std::fprintf(stderr, "Replay stopped by the viewer at tick %" PRIu64 ".\n",
                                     ticks_);
                        stopped_ = true;
                        return;
                    }
                    drawFrame(loop);
                    if (window_) {
                        // The recorded pace: the frame's ticks fall due at the tick rate.
                        pacedMs += static_cast<double>(e.count) * 1000.0 / tickRate;
                        const uint32_t now = platform::ticks() - startMs;
                        if (pacedMs > now) {
                            platform::delay(static_cast<uint32_t>(pacedMs - now));
                        }
                    }
                    runTicks(loop, static_cast<uint32_t>(e.count));
                    applyPendingStateOps(loop);
                    break;
                case JournalRecord::hash:
                    differ(loop, "the journal has a hash where the replay took none");
                    break;
                case JournalRecord::end:
                    ended_ = true;
                    finalHash(loop, e);
                    return;
                case JournalRecord::start:
                    damaged_ = true;
                    return;
            }
        }
        damaged_ = damaged_ || reader_.damaged();
    }

    bool differed() const { return differed_; }
    bool ended() const { return ended_; }
    bool damaged() const { return damaged_; }
    bool stopped() const { return stopped_; }
    uint64_t ticks() const { return ticks_; }

  private:
    // The state as the run ended, which the journal's end record holds.
    void finalHash(LoopState& loop, const JournalEntry& e) {
        const uint64_t hash = loop.game->stateHash();
        std::printf("end tick %" PRIu64 " hash %016" PRIx64 "\n", ticks_, hash);
        char why[80];
        if (e.count != ticks_) {
            std::snprintf(why, sizeof why, "the run ended at tick %" PRIu64, e.count);
            differ(loop, why);
        } else if (hash != e.hash) {
            std::snprintf(why, sizeof why, "the run ended with hash %016" PRIx64, e.hash);
            differ(loop, why);
        }
    }

    void differ(LoopState& loop, const char* why) {
        std::fflush(stdout);
        std::fprintf(stderr, "Replay differs at tick %" PRIu64 ": %s.\n", ticks_, why);
        differed_ = true;
        loop.quitRequested = true;
    }

    JournalReader& reader_;
    bool window_;
    uint64_t ticks_ = 0;
    bool differed_ = false;
    bool ended_ = false;
    bool damaged_ = false;
    bool stopped_ = false;
};

int unreadable(const char* path, const std::string& problem) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s.\n", path, problem.c_str());
    return replayUnreadable;
}

}  // namespace

int replayJournal(const char* path, bool window) {
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, bytes)) {
        return unreadable(path, std::string("cannot be read (") + std::strerror(errno) + ")");
    }
    const JournalFile journal = readJournal(bytes);
    if (!journal.readable) {
        return unreadable(path, journal.problem);
    }
    JournalReader reader(journal.payload);
    JournalEntry first;
    if (!reader.next(first) || first.type != JournalRecord::start) {
        return unreadable(path, journal.problem.empty()
                                    ? "damaged journal: it does not begin with the run's start"
                                    : journal.problem);
    }
    platform::startReplay(window);
    if (window && !platform::start()) {
        return unreadable(path, "cannot show the replay: SDL cannot start");
    }
    static LoopState loop;
    const JournalStart& s = first.start;
    loop.randomSeed = s.seed;
    std::srand(s.seed);
    platform::setDefaultGlAttributes();
    loop.settings =
        DisplaySettings{s.width, s.height, s.fullScreen, s.multisample, s.highResolution, s.gamma};
    tickRate = 100;
    resourceRegistry.clear();
    createGameAndRootState(loop);
    if (!openFirstMode(loop)) {
        loop.stack.discardAll();
        takeDown(loop);
        return unreadable(path, "cannot show the replay: the recorded video mode cannot be set");
    }
    loop.mouseCaptured = s.mouseCaptured;
    announceStart(loop);

    Player player(reader, window);
    loop.tickWatcher = &player;
    player.play(loop);
    loop.stack.leaveForShutdown(loop.message);
    sendToGame(loop, MSG_SHUTDOWN);
    takeDown(loop);
    std::fflush(stdout);

    if (player.differed()) {
        return replayDiffered;
    }
    if (player.stopped()) {
        return replayMatched;
    }
    if (player.damaged()) {
        return unreadable(path, "damaged journal: a record does not decode after tick " +
                                    std::to_string(player.ticks()));
    }
    if (!journal.problem.empty()) {
        return unreadable(
            path, journal.problem + " (replayed to tick " + std::to_string(player.ticks()) + ")");
    }
    if (!player.ended()) {
        return unreadable(path, "the journal ends at tick " + std::to_string(player.ticks()) +
                                    " without its end record (the run did not end in order)");
    }
    return replayMatched;
}

}  // namespace scrapvolt
