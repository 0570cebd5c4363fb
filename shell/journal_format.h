#pragma once
// The journal of a run: what the shell needs to run the same ticks on the same input again, and
// a hash of the game's state every second of ticks to prove that it did.
//
// File: the magic "SVJRNL\r\n", a format version (uint16), then blocks. A block is its payload's
// length (uint32), the CRC-32 of the payload (uint32) and the payload: whole records, each a type
// byte and its fields. All numbers are little-endian; counts are unsigned LEB128. The writer
// closes a block at every hash and whenever its buffer fills, so a run cut short by a crash
// loses at most its last second.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scrapvolt {

inline constexpr char journalMagic[8] = {'S', 'V', 'J', 'R', 'N', 'L', '\r', '\n'};
inline constexpr uint16_t journalVersion = 1;
inline constexpr size_t journalHeaderSize = sizeof journalMagic + 2;
inline constexpr size_t blockHeaderSize = 8;
inline constexpr size_t maxEventBytes = 32;  // an event record's platform bytes, at most
inline constexpr size_t maxKeyChanges = 64;  // key changes in one record; more take several

enum class JournalRecord : uint8_t {
    start = 1,  // the display settings, random seed and tick rate the run started with
    event = 2,  // one polled event, in the platform's own encoding
    keys = 3,   // keys whose held state changed: uint16 each, the key, bit 15 set when held
    mouse = 4,  // the captured mouse's button mask and accumulated motion
    frame = 5,  // a frame's due ticks, before they run
    hash = 6,   // the game's state hash after a tick: the run's tick count, then uint64
    end = 7,    // the run ended in order: its tick count and the state hash at the end
};

struct JournalStart {
    int32_t width = 0;
    int32_t height = 0;
    bool fullScreen = false;
    bool multisample = false;
    bool highResolution = false;
    bool mouseCaptured = false;
    float gamma = 1.0f;
    uint32_t seed = 0;
    int32_t tickRate = 100;
};

struct KeyChange {
    uint16_t key;
    bool held;
};

// One decoded record. Only the fields of its type are meaningful; `bytes` and `keys` point into
// the journal's payload and the reader's own array.
struct JournalEntry {
    JournalRecord type = JournalRecord::end;
    JournalStart start;
    std::span<const uint8_t> bytes;  // event
    std::span<const KeyChange> keys;
    uint32_t mouseButtons = 0;
    int32_t mouseDeltaX = 0;
    int32_t mouseDeltaY = 0;
    uint64_t count = 0;  // frame: due ticks; hash and end: the tick
    uint64_t hash = 0;
};

// Appends records to a caller's fixed buffer; nothing allocates. Each append is refused (false,
// buffer unchanged) when the record does not fit in the room left.
class JournalEncoder {
  public:
    explicit JournalEncoder(std::span<uint8_t> buffer) : buffer_(buffer) {}
    bool start(const JournalStart& start);
    bool event(std::span<const uint8_t> bytes);
    bool keys(std::span<const KeyChange> changes);
    bool mouse(uint32_t buttons, int32_t deltaX, int32_t deltaY);
    bool frame(uint64_t due);
    bool hash(uint64_t tick, uint64_t hash);
    bool end(uint64_t tick, uint64_t hash);
    std::span<const uint8_t> written() const { return buffer_.first(size_); }
    void clear() { size_ = 0; }

  private:
    bool put(std::span<const uint8_t> record);
    std::span<uint8_t> buffer_;
    size_t size_ = 0;
};

// The header a journal file starts with, and the header of a block of `payload`.
void writeJournalHeader(uint8_t (&out)[journalHeaderSize]);
void writeBlockHeader(std::span<const uint8_t> payload, uint8_t (&out)[blockHeaderSize]);
uint32_t crc32(std::span<const uint8_t> bytes);

// A whole journal file checked and unpacked: the payloads of its sound blocks, in order, up to
// the first block that is cut or damaged. `problem` is empty for a sound file and otherwise says
// what is wrong; `readable` is false when not even the header is sound (nothing to replay).
struct JournalFile {
    bool readable = false;
    std::string problem;
    std::vector<uint8_t> payload;
};
JournalFile readJournal(std::span<const uint8_t> file);

// Reads the records of a payload one by one. next() is false at the end of the payload and on a
// record that does not decode; `damaged` tells the two apart.
class JournalReader {
  public:
    explicit JournalReader(std::span<const uint8_t> payload) : in_(payload) {}
    bool next(JournalEntry& entry);
    bool damaged() const { return damaged_; }

  private:
    std::span<const uint8_t> in_;
    KeyChange keys_[maxKeyChanges];
    bool damaged_ = false;
};

}  // namespace scrapvolt
