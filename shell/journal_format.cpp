#include "journal_format.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace scrapvolt {
namespace {

// Little-endian fields and LEB128 counts into a record being built.
struct RecordBuilder {
    uint8_t bytes[2 + maxKeyChanges * 2 + 16] = {};
    size_t size = 0;

    RecordBuilder(JournalRecord type) { u8(static_cast<uint8_t>(type)); }
    void u8(uint8_t v) { bytes[size++] = v; }
    void u16(uint16_t v) { uN(v, 2); }
    void u32(uint32_t v) { uN(v, 4); }
    void u64(uint64_t v) { uN(v, 8); }
    void uN(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) {
            u8(static_cast<uint8_t>(v >> (8 * i)));
        }
    }
    void count(uint64_t v) {
        for (; v >= 0x80; v >>= 7) {
            u8(static_cast<uint8_t>(v | 0x80));
        }
        u8(static_cast<uint8_t>(v));
    }
    std::span<const uint8_t> record() const { return {bytes, size}; }
};

// The same fields read back; any read past the end marks the cursor failed.
struct Cursor {
    std::span<const uint8_t> in;
    bool failed = false;

    uint64_t uN(int n) {
        if (in.size() < static_cast<size_t>(n)) {
            failed = true;
            in = {};
            return 0;
        }
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            v |= static_cast<uint64_t>(in[static_cast<size_t>(i)]) << (8 * i);
        }
        in = in.subspan(static_cast<size_t>(n));
        return v;
    }
    uint8_t u8() { return static_cast<uint8_t>(uN(1)); }
    uint16_t u16() { return static_cast<uint16_t>(uN(2)); }
    uint32_t u32() { return static_cast<uint32_t>(uN(4)); }
    uint64_t count() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            const uint8_t b = u8();
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0) {
                return v;
            }
        }
        failed = true;  // longer than any 64-bit count
        return 0;
    }
    std::span<const uint8_t> take(size_t n) {
        if (in.size() < n) {
            failed = true;
            in = {};
            return {};
        }
        const std::span<const uint8_t> taken = in.first(n);
        in = in.subspan(n);
        return taken;
    }
};

enum StartFlags : uint8_t {
    flagHighResolution = 1,
    flagMultisample = 2,
    flagFullScreen = 4,
    flagMouseCaptured = 8,
};

}  // namespace

bool JournalEncoder::put(std::span<const uint8_t> record) {
    if (record.size() > buffer_.size() - size_) {
        return false;
    }
    std::copy(record.begin(), record.end(), buffer_.begin() + static_cast<ptrdiff_t>(size_));
    size_ += record.size();
    return true;
}

bool JournalEncoder::start(const JournalStart& s) {
    RecordBuilder r(JournalRecord::start);
    r.u8(static_cast<uint8_t>(
        (s.highResolution ? flagHighResolution : 0) | (s.multisample ? flagMultisample : 0) |
        (s.fullScreen ? flagFullScreen : 0) | (s.mouseCaptured ? flagMouseCaptured : 0)));
    r.u32(static_cast<uint32_t>(s.width));
    r.u32(static_cast<uint32_t>(s.height));
    r.u32(std::bit_cast<uint32_t>(s.gamma));
    r.u32(s.seed);
    r.u32(static_cast<uint32_t>(s.tickRate));
    return put(r.record());
}

bool JournalEncoder::event(std::span<const uint8_t> bytes) {
    if (bytes.size() > maxEventBytes) {
        return false;
    }
    RecordBuilder r(JournalRecord::event);
    r.u8(static_cast<uint8_t>(bytes.size()));
    for (uint8_t b : bytes) {
        r.u8(b);
    }
    return put(r.record());
}

bool JournalEncoder::keys(std::span<const KeyChange> changes) {
    if (changes.empty() || changes.size() > maxKeyChanges) {
        return false;
    }
    RecordBuilder r(JournalRecord::keys);
    r.u8(static_cast<uint8_t>(changes.size()));
    for (const KeyChange& c : changes) {
        r.u16(static_cast<uint16_t>((c.key & 0x7FFF) | (c.held ? 0x8000 : 0)));
    }
    return put(r.record());
}

bool JournalEncoder::mouse(uint32_t buttons, int32_t deltaX, int32_t deltaY) {
    RecordBuilder r(JournalRecord::mouse);
    r.u32(buttons);
    r.u32(static_cast<uint32_t>(deltaX));
    r.u32(static_cast<uint32_t>(deltaY));
    return put(r.record());
}

bool JournalEncoder::frame(uint64_t due) {
    RecordBuilder r(JournalRecord::frame);
    r.count(due);
    return put(r.record());
}

bool JournalEncoder::hash(uint64_t tick, uint64_t hash) {
    RecordBuilder r(JournalRecord::hash);
    r.count(tick);
    r.u64(hash);
    return put(r.record());
}

bool JournalEncoder::end(uint64_t tick, uint64_t hash) {
    RecordBuilder r(JournalRecord::end);
    r.count(tick);
    r.u64(hash);
    return put(r.record());
}

// CRC-32 (IEEE 802.3, reflected, as zlib computes it), bit by bit: a block is checked once.
uint32_t crc32(std::span<const uint8_t> bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void writeJournalHeader(uint8_t (&out)[journalHeaderSize]) {
    std::memcpy(out, journalMagic, sizeof journalMagic);
    out[8] = static_cast<uint8_t>(journalVersion);
    out[9] = static_cast<uint8_t>(journalVersion >> 8);
}

void writeBlockHeader(std::span<const uint8_t> payload, uint8_t (&out)[blockHeaderSize]) {
    const uint32_t length = static_cast<uint32_t>(payload.size());
    const uint32_t crc = crc32(payload);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(length >> (8 * i));
        out[4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
}

JournalFile readJournal(std::span<const uint8_t> file) {
    JournalFile journal;
    Cursor in{file};
    if (file.size() < sizeof journalMagic ||
        std::memcmp(file.data(), journalMagic, sizeof journalMagic) != 0) {
        journal.problem = "not a journal (no journal header)";
        return journal;
    }
    in.take(sizeof journalMagic);
    const uint16_t version = in.u16();
    if (in.failed) {
        journal.problem = "not a journal (its header is cut short)";
        return journal;
    }
    if (version != journalVersion) {
        journal.problem = "journal of format version " + std::to_string(version) +
                          "; this program reads version " + std::to_string(journalVersion);
        return journal;
    }
    journal.readable = true;
    while (!in.in.empty()) {
        const size_t offset = file.size() - in.in.size();
        const uint32_t length = in.u32();
        const uint32_t crc = in.u32();
        const std::span<const uint8_t> payload = in.take(length);
        if (in.failed) {
            journal.problem =
                "damaged journal: cut short in the block at byte " + std::to_string(offset);
            return journal;
        }
        if (crc32(payload) != crc) {
            journal.problem = "damaged journal: the block at byte " + std::to_string(offset) +
                              " does not match its checksum";
            return journal;
        }
        journal.payload.insert(journal.payload.end(), payload.begin(), payload.end());
    }
    return journal;
}

bool JournalReader::next(JournalEntry& e) {
    if (in_.empty() || damaged_) {
        return false;
    }
    Cursor c{in_};
    e.type = static_cast<JournalRecord>(c.u8());
    switch (e.type) {
        case JournalRecord::start: {
            const uint8_t flags = c.u8();
            e.start.highResolution = (flags & flagHighResolution) != 0;
            e.start.multisample = (flags & flagMultisample) != 0;
            e.start.fullScreen = (flags & flagFullScreen) != 0;
            e.start.mouseCaptured = (flags & flagMouseCaptured) != 0;
            e.start.width = static_cast<int32_t>(c.u32());
            e.start.height = static_cast<int32_t>(c.u32());
            e.start.gamma = std::bit_cast<float>(c.u32());
            e.start.seed = c.u32();
            e.start.tickRate = static_cast<int32_t>(c.u32());
            c.failed = c.failed || flags > 15;
            break;
        }
        case JournalRecord::event: {
            const uint8_t size = c.u8();
            c.failed = c.failed || size > maxEventBytes;
            e.bytes = c.take(size);
            break;
        }
        case JournalRecord::keys: {
            const uint8_t count = c.u8();
            c.failed = c.failed || count == 0 || count > maxKeyChanges;
            for (size_t i = 0; i < count && !c.failed; ++i) {
                const uint16_t v = c.u16();
                keys_[i] = KeyChange{static_cast<uint16_t>(v & 0x7FFF), (v & 0x8000) != 0};
            }
            e.keys = std::span<const KeyChange>(keys_, c.failed ? 0 : count);
            break;
        }
        case JournalRecord::mouse:
            e.mouseButtons = c.u32();
            e.mouseDeltaX = static_cast<int32_t>(c.u32());
            e.mouseDeltaY = static_cast<int32_t>(c.u32());
            break;
        case JournalRecord::frame:
            e.count = c.count();
            break;
        case JournalRecord::hash:
        case JournalRecord::end:
            e.count = c.count();
            e.hash = c.uN(8);
            break;
        default:
            c.failed = true;
            break;
    }
    damaged_ = c.failed;
    in_ = c.in;
    return !damaged_;
}

}  // namespace scrapvolt
