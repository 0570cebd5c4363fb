#pragma once

#include <cstdint>
#include <cstdio>

#include "journal_format.h"
#include "loop_state.h"

namespace scrapvolt {

// Writes the journal of a live run as it goes (SCRAPVOLT_JOURNAL): the start, each polled event,
// the held keys and captured mouse as each frame's draw and ticks see them, each frame's due
// ticks and, once a second of ticks, the game's state hash. Records gather in a fixed buffer
// that goes out as one block at every hash and when it fills; nothing allocates per frame. A
// write that fails stops the recording with one message on standard error; the run goes on.
class JournalRecorder final : public TickWatcher {
  public:
    // Creates the file and writes its header; false, with a message, when it cannot.
    bool open(const char* path);
    void start(const LoopState& loop);
    void event(const InputEvent& polled);
    void input(const LoopState& loop);  // the held keys and the mouse, after a frame's events
    void frame(uint32_t due);
    void afterTick(LoopState& loop) override;
    // The end record, with the game's state hash as the run ends; the file is complete and
    // closed.
    void end(LoopState& loop);

  private:
    template <typename Write>
    void put(Write write);
    void flush();
    void fail();

    FILE* file_ = nullptr;
    const char* path_ = nullptr;
    uint8_t buffer_[4096];
    JournalEncoder encoder_{buffer_};
    uint8_t keys_[512] = {};  // the held keys as last recorded
    uint32_t mouseButtons_ = 0;
    int32_t mouseDeltaX_ = 0;
    int32_t mouseDeltaY_ = 0;
    uint64_t ticks_ = 0;
};

}  // namespace scrapvolt
