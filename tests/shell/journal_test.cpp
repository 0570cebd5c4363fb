// The journal's bytes: each record exactly as written, read back, and refused when it cannot be.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "journal_format.h"

using namespace scrapvolt;

namespace {

std::string hex(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        text += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    }
    return text;
}

std::span<const uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// Every record type, little-endian, counts as LEB128 (127 in one byte, 128 in two), the held bit
// of a key both ways, negative mouse motion, the gamma's exact bits; then read back.
TEST(Journal, EachRecordIsWrittenExactlyAndReadsBack) {
    uint8_t buffer[256];
    JournalEncoder out(buffer);
    const JournalStart settings{800, 600, true, false, true, false, 1.15f, 0x01020304u, 60};
    const uint8_t bytes[] = {2, 1, 0, 0x11, 1};
    const KeyChange changes[] = {{273, true}, {276, false}};
    ASSERT_TRUE(out.start(settings) && out.event(bytes) && out.keys(changes) &&
                out.mouse(1, -2, 3) && out.frame(127) && out.frame(128) &&
                out.hash(300, 0x8877665544332211u) && out.end(2, 0x0102030405060708u));
    // Records between slashes, their fields apart.
    std::string expected =
        "01 05 20030000 58020000 3333933f 04030201 3c000000 / 02 05 020100 1101 / 03 02 1181 1401 /"
        "04 01000000 feffffff 03000000 / 05 7f / 05 8001 / 06 ac02 1122334455667788 /"
        "07 02 0807060504030201";
    std::erase_if(expected, [](char c) { return c == ' ' || c == '/'; });
    EXPECT_EQ(hex(out.written()), expected);

    // Each record read back and written again gives the same bytes.
    uint8_t again[256];
    JournalEncoder copy(again);
    JournalReader in(out.written());
    for (JournalEntry e; in.next(e);) {
        using enum JournalRecord;
        ASSERT_TRUE(e.type == start   ? copy.start(e.start)
                    : e.type == event ? copy.event(e.bytes)
                    : e.type == keys  ? copy.keys(e.keys)
                    : e.type == mouse ? copy.mouse(e.mouseButtons, e.mouseDeltaX, e.mouseDeltaY)
                    : e.type == frame ? copy.frame(e.count)
                    : e.type == hash  ? copy.hash(e.count, e.hash)
                                      : copy.end(e.count, e.hash));
    }
    EXPECT_FALSE(in.damaged());
    EXPECT_EQ(hex(copy.written()), hex(out.written()));
}

// A record that does not fit the room left is refused whole; so are oversized ones.
TEST(Journal, ARecordThatDoesNotFitIsRefusedWhole) {
    uint8_t buffer[11];
    JournalEncoder out(buffer);
    EXPECT_TRUE(out.frame(1));
    EXPECT_FALSE(out.hash(1, 2));  // 10 bytes into the 9 left
    EXPECT_EQ(out.written().size(), 2u);
    EXPECT_TRUE(out.frame(300) && out.frame(1) && out.written().size() == 7u);
    out.clear();
    EXPECT_TRUE(out.hash(1, 2) && out.written().size() == 10u);
    uint8_t big[maxEventBytes + 1] = {};
    KeyChange many[maxKeyChanges + 1] = {};
    uint8_t room[512];
    JournalEncoder roomy(room);
    EXPECT_FALSE(roomy.event(big) || roomy.keys(many) || roomy.keys({}));
    EXPECT_TRUE(roomy.event(std::span(big).first(maxEventBytes)) &&
                roomy.keys(std::span(many).first(maxKeyChanges)));
}

// The file: header, blocks with their length and CRC-32 (zlib's: 37defb90 for 050105), and
// what is wrong with one that is not sound. A sound prefix before damage is kept.
TEST(Journal, TheFileIsCheckedBlockByBlock) {
    uint8_t header[journalHeaderSize], block[blockHeaderSize];
    writeJournalHeader(header);
    writeBlockHeader(bytesOf("\x05\x01\x05"), block);
    EXPECT_EQ(hex(header) + " " + hex(block), "53564a524e4c0d0a0100 0300000037defb90");
    const std::string file("SVJRNL\r\n\1\0\3\0\0\0\x37\xde\xfb\x90\5\1\5", 21);  // those, 050105
    const std::string twoBlocks = file + file.substr(journalHeaderSize);
    std::string badCrc = twoBlocks;
    badCrc.back() ^= 1;
    // Bytes; readable, the problem and the sound payload's size.
    const std::tuple<std::string, std::tuple<bool, std::string, size_t>> rows[] = {
        {twoBlocks, {true, "", 6}},
        {badCrc, {true, "damaged journal: the block at byte 21 does not match its checksum", 3}},
        {"", {false, "not a journal (no journal header)", 0}},
        {"SVJRNL\r", {false, "not a journal (no journal header)", 0}},
        {"SVJRNL\n\n\1\0", {false, "not a journal (no journal header)", 0}},
        {"SVJRNL\r\n\1", {false, "not a journal (its header is cut short)", 0}},
        {std::string("SVJRNL\r\n\0\1", 10),
         {false, "journal of format version 256; this program reads version 1", 0}},
        {std::string("SVJRNL\r\n\0\0", 10),
         {false, "journal of format version 0; this program reads version 1", 0}},
        {file.substr(0, file.size() - 1),
         {true, "damaged journal: cut short in the block at byte 10", 0}},
        {file.substr(0, 13), {true, "damaged journal: cut short in the block at byte 10", 0}},
    };
    for (const auto& [bytes, read] : rows) {
        const JournalFile journal = readJournal(bytesOf(bytes));
        EXPECT_EQ(std::tuple(journal.readable, journal.problem, journal.payload.size()), read)
            << hex(bytesOf(bytes));
    }
}

// Records that cannot be what a writer wrote: an unknown type, a count past its limit, a field
// cut short, flags beyond the known ones, a count longer than 64 bits.
TEST(Journal, ARecordThatDoesNotDecodeMarksThePayloadDamaged) {
    const std::string rows[] = {
        std::string("\x00", 1),
        "\x08",
        std::string("\x02\x21", 2) + std::string(33, '\0'),
        std::string("\x03\x00", 2),
        std::string("\x03\x41", 2) + std::string(130, '\0'),
        std::string("\x03\x02\x11\x81\x14", 5),
        std::string("\x01\x10", 2) + std::string(20, '\0'),
        "\x05\x80",
        "\x05\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x01",
        "\x06\x01\x11\x22",
    };
    for (const std::string& row : rows) {
        JournalReader in(bytesOf(row));
        JournalEntry e;
        EXPECT_TRUE(!in.next(e) && in.damaged()) << hex(bytesOf(row));
    }
}

}  // namespace
