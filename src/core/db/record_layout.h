// The layouts in which the records of the table files the loader reads or writes are stored:
// one table of fields per file (position, kind, width, repeat, groups), kept as data. A
// record is the bytes of its fields at fixed positions, numbers little-endian; bytes that
// belong to no field are written as zeros; only the first record-length bytes are stored.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace ks {

enum class FieldKind : char { Text = 'T', Number = 'N' };

// `repeat` fields of `width` bytes one after the other from 1-based `position` ("9: T2x6").
struct LayoutRun {
    std::uint16_t position = 0;
    FieldKind kind = FieldKind::Text;
    std::uint16_t width = 0;
    std::uint16_t repeat = 1;
};

// `count` copies of a group of fields `length` bytes long from `position`; the positions of
// its fields count from 1 at the start of each copy ("61: 5 x {T2, T1x7, T11, N8x2} of 36").
struct LayoutGroup {
    std::uint16_t position = 0;
    std::uint16_t count = 0;
    std::uint16_t length = 0;
    std::span<const LayoutRun> fields;
};

struct RecordLayout {
    int file = 0;
    std::uint16_t recordLength = 0;
    std::span<const LayoutRun> runs;
    std::span<const LayoutGroup> groups;
};

// One field of a record once runs and groups are unrolled, cut at the record length.
struct LayoutField {
    std::uint16_t position = 0;  // 1-based
    FieldKind kind = FieldKind::Text;
    std::uint16_t width = 0;
};

// The layouts of the files that have a record buffer: 0, 9, 17, 20 to 37, 47, 48, 49, 53.
std::span<const RecordLayout> RecordLayouts();

// The layout of `file`, nullptr when the file has no record buffer.
const RecordLayout* FindRecordLayout(int file);

// Every field of the layout in position order; a field running past the record length is
// cut there and a field starting past it is left out.
std::vector<LayoutField> ExpandLayout(const RecordLayout& layout);

}  // namespace ks
