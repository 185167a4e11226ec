#include "engine/genuine/genuine_file.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "engine/genuine/duplicate_chains.h"
#include "ks/engine/file_spec.h"

namespace ks::engine::genuine {
namespace {

// The control record.
constexpr std::size_t kUsageAt = 0x04;
constexpr std::size_t kPageSizeAt = 0x08;
constexpr std::size_t kOwnerAt = 0x0C;
constexpr std::size_t kOwnerLength = 8;
constexpr std::size_t kKeyCountAt = 0x14;
constexpr std::size_t kRecordLengthAt = 0x16;
constexpr std::size_t kSlotLengthAt = 0x18;
constexpr std::size_t kRecordCountAt = 0x1A;
constexpr std::size_t kPageCountAt = 0x26;
constexpr std::size_t kVersionAt = 0x4B;
constexpr std::uint8_t kVersion = 6;
constexpr std::size_t kFileFlagsAt = 0x106;
constexpr std::size_t kKeyTableAt = 0x110;
constexpr std::size_t kKeyEntrySize = 30;

// One segment's entry in the key table.
constexpr std::size_t kKeyFlagsAt = 0x08;
constexpr std::size_t kKeyLinksAt = 0x12;
constexpr std::size_t kKeyPositionAt = 0x14;
constexpr std::size_t kKeyLengthAt = 0x16;
constexpr std::size_t kKeyCollationAt = 0x1A;
constexpr std::size_t kKeyTypeAt = 0x1C;
constexpr std::uint16_t kDuplicatesFlag = 0x0001;
constexpr std::uint16_t kSegmentedFlag = 0x0010;
constexpr std::uint16_t kCollatingTableFlag = 0x0020;
constexpr std::size_t kMaxSegments = 119;

// File flags: variable-length records; preallocation, balanced indexes and the free-space
// threshold change nothing in how records are stored. Any other flag is refused.
constexpr std::uint16_t kVariableFlag = 0x0001;
constexpr std::uint16_t kHarmlessFlags = kVariableFlag | 0x0004 | 0x0020 | 0x0040 | 0x0080;

// Pages other than the control records and the allocation tables start with their own
// logical number, high byte first then the low word, around a byte telling their kind.
constexpr std::uint8_t kFreePage = 0;
constexpr std::uint8_t kCollatingPage = 'A';
constexpr std::uint8_t kDataPage = 'D';
constexpr std::uint8_t kVariablePage = 'V';
constexpr std::uint8_t kIndexPage = 0x80;  // + the key number
constexpr std::size_t kDataHeader = 6;
constexpr std::size_t kVariableHeader = 12;
constexpr std::size_t kFragmentCountAt = 10;
constexpr std::size_t kTableHeader = 8;
constexpr std::size_t kTableEntry = 4;
constexpr std::uint8_t kCollatingSignature = 0xAC;
constexpr std::size_t kCollatingNameAt = 7;
constexpr std::size_t kCollatingTableAt = 15;

constexpr std::uint32_t kNoLink = 0xFFFFFFFF;

std::uint16_t U16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t U32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(U16(bytes) |
                                      (static_cast<std::uint32_t>(U16(bytes + 2)) << 16));
}

// A 32-bit count or address as the format stores it: high word first.
std::uint32_t HighWordFirst(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(U16(bytes)) << 16) | U16(bytes + 2);
}

// A page number in a page header or an allocation table entry (byte 1 is the page's kind).
std::uint32_t PageNumber(const std::uint8_t* bytes) {
    return (static_cast<std::uint32_t>(bytes[0]) << 16) | U16(bytes + 2);
}

std::string Hex(unsigned value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int i = digits - 1; i >= 0; --i) {
        text += kDigits[(value >> (4 * i)) & 0xF];
    }
    return text;
}

std::string FlagNames(std::uint16_t flags) {
    struct Named {
        std::uint16_t flag;
        const char* name;
    };
    static constexpr Named kNames[] = {{0x0002, "blank truncation of variable parts"},
                                       {0x0008, "compressed records"},
                                       {0x0010, "a key-only file"},
                                       {0x0800, "variable-tail allocation tables"}};
    std::string text;
    for (const auto& named : kNames) {
        if ((flags & named.flag) != 0) {
            text += std::string(text.empty() ? "" : ", ") + named.name;
        }
    }
    return text.empty() ? "file flags " + Hex(flags, 4) : text;
}

Collation CollationOf(const std::uint8_t* table) {
    bool upper = true;
    bool lower = true;
    for (int c = 0; c < 256; ++c) {
        const bool small = c >= 'a' && c <= 'z';
        const bool capital = c >= 'A' && c <= 'Z';
        upper = upper && table[c] == (small ? c - 'a' + 'A' : c);
        lower = lower && table[c] == (capital ? c - 'A' + 'a' : c);
    }
    return upper ? Collation::kUpper : lower ? Collation::kLower : Collation::kOther;
}

}  // namespace

bool GenuineKey::Duplicates() const {
    return !segments.empty() && (segments.front().flags & kDuplicatesFlag) != 0;
}

// Where the logical pages are, and the walk's state over the variable pages.
struct GenuineFile::Layout {
    std::uint32_t physicalPages = 0;
    std::uint32_t tableEntries = 0;        // logical pages one allocation table maps
    std::vector<std::uint32_t> physical;   // by logical page (0 unused)
    std::vector<std::uint8_t> kind;        // by logical page
    std::vector<std::uint32_t> dataPages;  // logical numbers, in order
    // The last variable page read, and the start of each of its fragments and of its free
    // space, sorted, to measure a fragment up to the next one.
    std::uint32_t variableLogical = 0;
    std::vector<std::uint8_t> variablePage;
    std::vector<std::uint16_t> fragmentStarts;
    std::vector<std::uint16_t> sortedStarts;
    std::unordered_set<std::uint64_t> fragmentsRead;
};

GenuineFile::GenuineFile(ByteSource& source, std::string name)
    : m_source(source), m_name(std::move(name)), m_layout(std::make_unique<Layout>()) {
    ReadControlRecord();
    ReadAllocationTables();
    ReadKeys();
}

GenuineFile::~GenuineFile() = default;

void GenuineFile::Refuse(std::int16_t status, const std::string& reason) const {
    throw GenuineRefusal{status, m_name + ": " + reason};
}

std::vector<std::uint8_t> GenuineFile::ReadPage(std::uint32_t physical) const {
    std::vector<std::uint8_t> page(m_shape.pageSize);
    if (physical >= m_layout->physicalPages ||
        !m_source.ReadAt(static_cast<std::uint64_t>(physical) * m_shape.pageSize, page.data(),
                         page.size())) {
        Refuse(2, "page " + std::to_string(physical) + " cannot be read");
    }
    return page;
}

void GenuineFile::ReadControlRecord() {
    const std::uint64_t size = m_source.Size();
    std::array<std::uint8_t, 16> head{};
    if (size < head.size() || !m_source.ReadAt(0, head.data(), head.size())) {
        Refuse(30, "too short to be a table file (" + std::to_string(size) + " bytes)");
    }
    if (head[0] != 'F' || head[1] != 'C') {
        Refuse(30, "does not start with \"FC\": not a table file of the 6.x format");
    }
    const std::uint16_t pageSize = U16(head.data() + kPageSizeAt);
    if (pageSize < 512 || pageSize > 4096 || pageSize % 512 != 0) {
        Refuse(2, "page size " + std::to_string(pageSize) +
                      " is not a multiple of 512 from 512 to 4096");
    }
    m_shape.pageSize = pageSize;
    if (size % pageSize != 0) {
        Refuse(2, "cut short: " + std::to_string(size) + " bytes are not a whole number of " +
                      std::to_string(pageSize) + "-byte pages");
    }
    if (size / pageSize < 4) {
        Refuse(2, "cut short: " + std::to_string(size / pageSize) +
                      " pages, fewer than the 4 every file has");
    }
    m_layout->physicalPages = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(size / pageSize, std::uint64_t{1} << 24));
    // The current control record is the copy with the higher usage count.
    std::vector<std::uint8_t> first = ReadPage(0);
    std::vector<std::uint8_t> second = ReadPage(1);
    const bool secondValid =
        second[0] == 'F' && second[1] == 'C' && U16(second.data() + kPageSizeAt) == pageSize;
    m_control = secondValid && U32(second.data() + kUsageAt) > U32(first.data() + kUsageAt)
                    ? std::move(second)
                    : std::move(first);
    const std::uint8_t* fcr = m_control.data();
    if (fcr[kVersionAt] != kVersion) {
        Refuse(30, "format version " + std::to_string(fcr[kVersionAt]) + ", not 6");
    }
    const std::uint8_t* owner = fcr + kOwnerAt;
    const auto blank = [owner](std::uint8_t fill) {
        return std::all_of(owner, owner + kOwnerLength,
                           [fill](std::uint8_t b) { return b == fill; });
    };
    if (!blank(0xFF) && !blank(0)) {
        Refuse(1, "the file is protected by an owner name");
    }
    m_shape.fileFlags = U16(fcr + kFileFlagsAt);
    if ((m_shape.fileFlags & ~kHarmlessFlags) != 0) {
        Refuse(1, FlagNames(static_cast<std::uint16_t>(m_shape.fileFlags & ~kHarmlessFlags)) +
                      ": not supported");
    }
    m_shape.variable = (m_shape.fileFlags & kVariableFlag) != 0;
    m_shape.recordLength = U16(fcr + kRecordLengthAt);
    m_shape.slotLength = U16(fcr + kSlotLengthAt);
    m_shape.recordCount = HighWordFirst(fcr + kRecordCountAt);
    m_shape.logicalPages = HighWordFirst(fcr + kPageCountAt);
    if (m_shape.recordLength == 0) {
        Refuse(2, "record length 0");
    }
    if (m_shape.slotLength > pageSize - kDataHeader) {
        Refuse(2, "record slots of " + std::to_string(m_shape.slotLength) +
                      " bytes do not fit in a page of " + std::to_string(pageSize));
    }
    if (U16(fcr + kKeyCountAt) > kMaxSegments) {
        Refuse(2, std::to_string(U16(fcr + kKeyCountAt)) + " keys, more than a file can have");
    }
}

void GenuineFile::ReadAllocationTables() {
    Layout& layout = *m_layout;
    const std::uint32_t pages = m_shape.logicalPages;
    if (pages > layout.physicalPages) {
        Refuse(2, "cut short: the control record counts " + std::to_string(pages) +
                      " logical pages, the file holds " + std::to_string(layout.physicalPages) +
                      " pages");
    }
    layout.tableEntries =
        static_cast<std::uint32_t>((m_shape.pageSize - kTableHeader) / kTableEntry);
    const std::uint32_t stride = layout.tableEntries + 2;
    layout.physical.assign(pages + 1U, 0);
    layout.kind.assign(pages + 1U, kFreePage);
    std::vector<bool> taken(layout.physicalPages, false);
    const std::uint16_t keyCount = U16(m_control.data() + kKeyCountAt);
    for (std::uint32_t first = 1; first <= pages; first += layout.tableEntries) {
        const std::uint64_t at =
            2 + static_cast<std::uint64_t>(first / layout.tableEntries) * stride;
        if (at + 1 >= layout.physicalPages) {
            Refuse(2, "cut short: the allocation table of logical page " + std::to_string(first) +
                          " would be at page " + std::to_string(at) + ", past the end");
        }
        const auto copyA = ReadPage(static_cast<std::uint32_t>(at));
        const auto copyB = ReadPage(static_cast<std::uint32_t>(at + 1));
        const bool validA = copyA[0] == 'P' && copyA[1] == 'P';
        const bool validB = copyB[0] == 'P' && copyB[1] == 'P';
        if (!validA && !validB) {
            Refuse(2, "no page allocation table at pages " + std::to_string(at) + " and " +
                          std::to_string(at + 1));
        }
        const auto& table =
            validB && (!validA || U32(copyB.data() + kUsageAt) > U32(copyA.data() + kUsageAt))
                ? copyB
                : copyA;
        const std::uint32_t last = std::min(pages, first + layout.tableEntries - 1);
        for (std::uint32_t logical = first; logical <= last; ++logical) {
            const std::uint8_t* entry =
                table.data() + kTableHeader + (logical - first) * kTableEntry;
            const std::uint8_t kind = entry[1];
            const std::uint32_t physical = PageNumber(entry);
            if (kind == kFreePage) {
                continue;
            }
            const std::string where = "logical page " + std::to_string(logical);
            if (kind != kCollatingPage && kind != kDataPage && kind != kVariablePage &&
                !(kind >= kIndexPage && kind < kIndexPage + keyCount)) {
                Refuse(2, where + " is of a kind this reader does not know (" + Hex(kind, 2) + ")");
            }
            if (physical >= layout.physicalPages) {
                Refuse(2, where + " is at page " + std::to_string(physical) +
                              ", outside the file (cut short?)");
            }
            if (physical < 2 || (physical - 2) % stride < 2) {
                Refuse(2, where + " is at page " + std::to_string(physical) +
                              ", which holds the file's own tables");
            }
            if (taken[physical]) {
                Refuse(2, where + " shares page " + std::to_string(physical) +
                              " with another logical page");
            }
            taken[physical] = true;
            layout.physical[logical] = physical;
            layout.kind[logical] = kind;
            if (kind == kDataPage) {
                layout.dataPages.push_back(logical);
            }
        }
    }
    const std::uint64_t capacity =
        static_cast<std::uint64_t>(layout.dataPages.size()) *
        ((m_shape.pageSize - kDataHeader) / std::max<std::uint16_t>(m_shape.slotLength, 1));
    if (m_shape.recordCount > capacity) {
        Refuse(2, "the control record counts " + std::to_string(m_shape.recordCount) +
                      " records, its " + std::to_string(layout.dataPages.size()) +
                      " data pages hold at most " + std::to_string(capacity));
    }
}

const std::vector<std::uint8_t>& GenuineFile::PageOf(std::uint32_t logical, std::uint8_t kind,
                                                     std::vector<std::uint8_t>& buffer) const {
    const std::uint32_t physical = m_layout->physical[logical];
    buffer = ReadPage(physical);
    if (buffer[1] != kind || PageNumber(buffer.data()) != logical) {
        Refuse(2, "logical page " + std::to_string(logical) + " (page " + std::to_string(physical) +
                      ") does not hold the page its allocation table says");
    }
    return buffer;
}

void GenuineFile::ReadCollation(GenuineSegment& segment, std::uint16_t table, std::size_t key) {
    const Layout& layout = *m_layout;
    std::uint32_t logical = table;
    if (logical == 0) {
        // No number: the file's first table.
        for (std::uint32_t page = 1; page < layout.kind.size() && logical == 0; ++page) {
            logical = layout.kind[page] == kCollatingPage ? page : 0;
        }
    }
    if (logical == 0 || logical >= layout.kind.size() || layout.kind[logical] != kCollatingPage) {
        Refuse(2, "key " + std::to_string(key) + " uses collating table " + std::to_string(table) +
                      ", which the file does not hold");
    }
    std::vector<std::uint8_t> page;
    PageOf(logical, kCollatingPage, page);
    if (page[6] != kCollatingSignature || kCollatingTableAt + 256 > page.size()) {
        Refuse(2, "logical page " + std::to_string(logical) + " is not a collating table");
    }
    std::string name(reinterpret_cast<const char*>(page.data() + kCollatingNameAt), 8);
    name.erase(std::find(name.begin(), name.end(), '\0'), name.end());
    name.erase(name.find_last_not_of(' ') + 1);
    segment.tableName = name;
    segment.collation = CollationOf(page.data() + kCollatingTableAt);
}

void GenuineFile::ReadKeys() {
    const std::uint8_t* fcr = m_control.data();
    const std::uint16_t keyCount = U16(fcr + kKeyCountAt);
    std::size_t entry = 0;
    for (std::size_t k = 0; k < keyCount; ++k) {
        GenuineKey key;
        bool more = true;
        while (more) {
            const std::size_t at = kKeyTableAt + entry * kKeyEntrySize;
            if (at + kKeyEntrySize > m_control.size() || entry >= kMaxSegments) {
                Refuse(2, "the key definitions run past the control record");
            }
            const std::uint8_t* bytes = fcr + at;
            GenuineSegment segment;
            segment.flags = U16(bytes + kKeyFlagsAt);
            segment.type = bytes[kKeyTypeAt];
            segment.length = U16(bytes + kKeyLengthAt);
            // The stored position counts the record's 2-byte usage count.
            const std::uint16_t stored = U16(bytes + kKeyPositionAt);
            segment.position = static_cast<std::uint16_t>(stored > 1 ? stored - 1 : 0);
            const std::string where =
                "key " + std::to_string(k) + " segment " + std::to_string(key.segments.size() + 1);
            if (segment.position == 0 || segment.length == 0 ||
                segment.position + segment.length - 1U > m_shape.recordLength) {
                Refuse(2, where + " (" + std::to_string(segment.length) + " bytes at " +
                              std::to_string(segment.position) +
                              ") lies outside the fixed part of the record");
            }
            if (key.segments.empty()) {
                key.duplicateLinks = U16(bytes + kKeyLinksAt);
            }
            if ((segment.flags & kCollatingTableFlag) != 0) {
                ReadCollation(segment, U16(bytes + kKeyCollationAt), k);
            }
            more = (segment.flags & kSegmentedFlag) != 0;
            key.segments.push_back(std::move(segment));
            ++entry;
        }
        m_shape.keys.push_back(std::move(key));
    }
    // The slot: usage count, fixed part, pointer to the variable part, then 8 bytes of
    // duplicate links per key with duplicates.
    const std::size_t linksStart = 2U + m_shape.recordLength + (m_shape.variable ? 4U : 0U);
    std::vector<std::uint16_t> links;
    for (std::size_t k = 0; k < m_shape.keys.size(); ++k) {
        const GenuineKey& key = m_shape.keys[k];
        if (!key.Duplicates()) {
            continue;
        }
        if (key.duplicateLinks == 0) {
            Refuse(1, "key " + std::to_string(k) +
                          " keeps its duplicates without links in the records: their order "
                          "cannot be read");
        }
        if (key.duplicateLinks < linksStart || key.duplicateLinks + 8U > m_shape.slotLength) {
            Refuse(2, "the duplicate links of key " + std::to_string(k) + " at byte " +
                          std::to_string(key.duplicateLinks) + " lie outside the record slot");
        }
        links.push_back(key.duplicateLinks);
    }
    std::sort(links.begin(), links.end());
    for (std::size_t i = 1; i < links.size(); ++i) {
        if (links[i] < links[i - 1] + 8U) {
            Refuse(2, "the duplicate links of two keys overlap");
        }
    }
    const std::size_t expected = linksStart + 8U * links.size();
    if (m_shape.slotLength != expected) {
        Refuse(2, "record slots of " + std::to_string(m_shape.slotLength) +
                      " bytes do not fit records of " + std::to_string(m_shape.recordLength) +
                      " bytes" + (m_shape.variable ? " with a variable part" : "") + " and " +
                      std::to_string(links.size()) + " keys with duplicates (" +
                      std::to_string(expected) + " expected)");
    }
}

void GenuineFile::ReadVariablePart(std::uint64_t slotAddress, const std::uint8_t* pointer,
                                   std::string& record) {
    Layout& layout = *m_layout;
    const std::uint16_t pageSize = m_shape.pageSize;
    const std::string where = RecordAt(slotAddress, pageSize);
    std::array<std::uint8_t, 4> next{};
    std::copy_n(pointer, next.size(), next.begin());
    while (U32(next.data()) != kNoLink) {
        const std::uint32_t logical = (static_cast<std::uint32_t>(next[0]) << 16) | next[1] |
                                      (static_cast<std::uint32_t>(next[2]) << 8);
        const std::uint8_t fragment = next[3];
        if (logical == 0 || logical >= layout.kind.size() ||
            layout.kind[logical] != kVariablePage) {
            Refuse(2, where + ": its variable part points to logical page " +
                          std::to_string(logical) +
                          (logical == 0 || logical >= layout.kind.size()
                               ? ", outside the file"
                               : ", which is not a variable page"));
        }
        if (layout.variableLogical != logical) {
            layout.variableLogical = 0;
            PageOf(logical, kVariablePage, layout.variablePage);
            const std::uint8_t* page = layout.variablePage.data();
            const std::size_t count = U16(page + kFragmentCountAt);
            const std::string pageName = "variable page " + std::to_string(logical);
            if (kVariableHeader + 2 * (count + 1) > pageSize) {
                Refuse(2, pageName + " counts " + std::to_string(count) +
                              " fragments, more than it can hold");
            }
            const std::size_t tableStart = pageSize - 2 * (count + 1);
            layout.fragmentStarts.clear();
            for (std::size_t i = 0; i <= count; ++i) {
                layout.fragmentStarts.push_back(U16(page + pageSize - 2 - 2 * i));
            }
            const std::uint16_t freeStart = layout.fragmentStarts.back();
            layout.sortedStarts = layout.fragmentStarts;
            std::sort(layout.sortedStarts.begin(), layout.sortedStarts.end());
            const bool distinct =
                std::adjacent_find(layout.sortedStarts.begin(), layout.sortedStarts.end()) ==
                layout.sortedStarts.end();
            if (freeStart > tableStart || layout.sortedStarts.front() < kVariableHeader ||
                layout.sortedStarts.back() != freeStart || !distinct) {
                Refuse(2, pageName + " has a fragment table this reader cannot trust");
            }
            layout.variableLogical = logical;
        }
        if (fragment + 1U >= layout.fragmentStarts.size()) {
            Refuse(2, where + ": its variable part points to fragment " + std::to_string(fragment) +
                          " of variable page " + std::to_string(logical) + ", which has " +
                          std::to_string(layout.fragmentStarts.size() - 1));
        }
        if (!layout.fragmentsRead.insert((std::uint64_t{logical} << 8) | fragment).second) {
            Refuse(2, where + ": fragment " + std::to_string(fragment) + " of variable page " +
                          std::to_string(logical) +
                          " is reached a second time (a cycle in the page links)");
        }
        const std::uint16_t start = layout.fragmentStarts[fragment];
        const std::uint16_t end =
            *std::upper_bound(layout.sortedStarts.begin(), layout.sortedStarts.end(), start);
        if (end - start < 4) {
            Refuse(2, where + ": fragment " + std::to_string(fragment) + " of variable page " +
                          std::to_string(logical) + " is too short to hold its link");
        }
        if (record.size() + (end - start - 4U) > kMaxRecordLength) {
            Refuse(1, where + " is longer than " + std::to_string(kMaxRecordLength) + " bytes");
        }
        const std::uint8_t* bytes = layout.variablePage.data() + start;
        record.append(reinterpret_cast<const char*>(bytes + 4), end - start - 4U);
        std::copy_n(bytes, next.size(), next.begin());
    }
}

void GenuineFile::ForEachRecord(
    const std::function<void(std::string_view record, const Order& order)>& take) {
    const Layout& layout = *m_layout;
    const std::uint16_t pageSize = m_shape.pageSize;
    const std::size_t slotLength = m_shape.slotLength;
    const std::size_t slots = (pageSize - kDataHeader) / slotLength;
    std::vector<std::size_t> duplicateKeys;
    for (std::size_t k = 0; k < m_shape.keys.size(); ++k) {
        if (m_shape.keys[k].Duplicates()) {
            duplicateKeys.push_back(k);
        }
    }
    const std::size_t linkCount = duplicateKeys.size();

    // First pass: the live slots and their duplicate links, checked whole before any record
    // is handed on.
    LiveRecords live;
    std::vector<std::uint8_t> page;
    for (const std::uint32_t logical : layout.dataPages) {
        PageOf(logical, kDataPage, page);
        for (std::size_t s = 0; s < slots; ++s) {
            const std::size_t at = kDataHeader + s * slotLength;
            if (U16(page.data() + at) == 0) {
                continue;  // a free slot
            }
            if (live.addresses.size() == m_shape.recordCount) {
                Refuse(2, "the data pages hold more records than the " +
                              std::to_string(m_shape.recordCount) + " the control record counts");
            }
            live.addresses.push_back(std::uint64_t{logical} * pageSize + at);
            for (const std::size_t k : duplicateKeys) {
                const std::uint8_t* pair = page.data() + at + m_shape.keys[k].duplicateLinks;
                live.links.push_back(HighWordFirst(pair));
                live.links.push_back(HighWordFirst(pair + 4));
            }
        }
    }
    const std::vector<std::uint64_t>& addresses = live.addresses;
    if (addresses.size() != m_shape.recordCount) {
        Refuse(2, "the control record counts " + std::to_string(m_shape.recordCount) +
                      " records, the data pages hold " + std::to_string(addresses.size()));
    }
    const std::size_t count = addresses.size();
    const std::vector<std::int64_t> places = PlacesInChains(live, duplicateKeys, pageSize, m_name);

    // Second pass: the records, with their variable parts.
    m_layout->fragmentsRead.clear();
    m_layout->variableLogical = 0;
    Order order(m_shape.keys.size(), 0);
    std::string record;
    std::size_t index = 0;
    for (const std::uint32_t logical : layout.dataPages) {
        PageOf(logical, kDataPage, page);
        for (std::size_t s = 0; s < slots; ++s) {
            const std::size_t at = kDataHeader + s * slotLength;
            if (U16(page.data() + at) == 0) {
                continue;
            }
            if (index == count || addresses[index] != std::uint64_t{logical} * pageSize + at) {
                Refuse(2, "the file changed while it was read");
            }
            record.assign(reinterpret_cast<const char*>(page.data() + at + 2),
                          m_shape.recordLength);
            if (m_shape.variable) {
                ReadVariablePart(addresses[index], page.data() + at + 2 + m_shape.recordLength,
                                 record);
            }
            for (std::size_t d = 0; d < linkCount; ++d) {
                order[duplicateKeys[d]] = places[index * linkCount + d];
            }
            take(record, order);
            ++index;
        }
    }
    if (index != count) {
        Refuse(2, "the file changed while it was read");
    }
}

}  // namespace ks::engine::genuine
