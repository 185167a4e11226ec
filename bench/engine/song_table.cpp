#include "song_table.h"

#include <cstdio>

namespace ks::bench {

namespace {

constexpr std::uint16_t kModifiable = 2;
constexpr std::uint16_t kDuplicates = 1;
constexpr std::uint16_t kSegmented = 16;
constexpr std::uint16_t kCaseInsensitive = 1024;
constexpr std::uint16_t kDm = kDuplicates | kModifiable;

// Filler bytes that differ from record to record but cost nothing to make (xorshift).
void Fill(std::string& record, std::uint32_t seed, std::size_t from) {
    std::uint32_t x = seed * 2654435761U + 1U;
    for (std::size_t i = from; i < record.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        record[i] = static_cast<char>('A' + x % 26U);
    }
}

void Put(std::string& record, std::size_t position, const std::string& text) {
    record.replace(position - 1, text.size(), text);
}

void PutLe16(std::string& buffer, std::size_t offset, std::uint16_t value) {
    buffer[offset] = static_cast<char>(value & 0xFFU);
    buffer[offset + 1] = static_cast<char>(value >> 8U);
}

}  // namespace

std::string Digits(std::uint32_t n, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*u", width, n);
    return text;
}

TableSpec SongTableSpec() {
    return {900,
            2048,
            {{{1, 8, kModifiable}},
             {{9, 5, kDm}},
             {{19, 5, kDm}},
             {{64, 5, kDm}},
             {{69, 5, kDm}},
             {{24, 20, kDm | kCaseInsensitive}}}};
}

TableSpec ScheduleTableSpec() {
    return {400, 1024, {{{1, 19, kModifiable}}, {{253, 6, kDm}}}};
}

TableSpec SongExtraTableSpec() {
    return {250, 1024, {{{1, 10, kModifiable}}}};
}

TableSpec PointerTableSpec() {
    return {50, 512, {{{1, 11, kModifiable}}}};
}

std::string CreateBuffer(const TableSpec& shape) {
    std::string buffer(160, '\0');
    PutLe16(buffer, 0, shape.recordLength);
    PutLe16(buffer, 2, shape.pageSize);
    PutLe16(buffer, 4, static_cast<std::uint16_t>(shape.keys.size()));
    std::size_t offset = 16;
    for (const auto& key : shape.keys) {
        for (std::size_t s = 0; s < key.size(); ++s) {
            const bool more = s + 1 < key.size();
            PutLe16(buffer, offset, key[s].position);
            PutLe16(buffer, offset + 2, key[s].length);
            PutLe16(buffer, offset + 4,
                    static_cast<std::uint16_t>(key[s].flags | (more ? kSegmented : 0)));
            offset += 16;
        }
    }
    return buffer;
}

std::string KeyValue(const TableSpec& shape, int key, const std::string& record) {
    std::string value;
    for (const auto& segment : shape.keys[static_cast<std::size_t>(key)]) {
        std::string part = record.substr(segment.position - 1U, segment.length);
        if ((segment.flags & kCaseInsensitive) != 0) {
            for (char& c : part) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 'a' + 'A');
                }
            }
        }
        value += part;
    }
    return value;
}

std::string SongRecord(std::uint32_t n) {
    std::string record(900, ' ');
    Fill(record, n, 0);
    Put(record, 1, Digits(n, 8));
    Put(record, 9, Digits(n % 5000U, 5));
    Put(record, 19, Digits(n % 1000U, 5));
    Put(record, 64, Digits(n % 300U, 5));
    Put(record, 69, Digits(n % 77U, 5));
    // Titles in mixed case so that the folded key groups songs whose titles differ in case.
    std::string title = "Title " + Digits(n % 20000U, 5) + " of song";
    title.resize(20, ' ');
    if (n % 2U == 0) {
        title[0] = 't';
    }
    Put(record, 24, title);
    return record;
}

std::string ScheduleRecord(std::uint32_t n, std::uint32_t song) {
    std::string record(400, ' ');
    Fill(record, n + 7U, 0);
    Put(record, 1, "20240101" + Digits(n, 11));
    Put(record, 253, Digits(song % 100000U, 6));
    return record;
}

std::string SongExtraRecord(std::uint32_t n) {
    std::string record(250, ' ');
    Fill(record, n + 11U, 0);
    Put(record, 1, Digits(n, 8) + "01");
    return record;
}

std::string PointerRecord(std::uint32_t n) {
    std::string record(50, ' ');
    Fill(record, n + 13U, 0);
    Put(record, 1, Digits(n, 8) + "001");
    return record;
}

}  // namespace ks::bench
