#include "support/genuine_writer.h"

#include <algorithm>
#include <fstream>
#include <map>

#include "core/db/structure_btr.h"
#include "engine/key_bytes.h"
#include "ks/engine/btr_codes.h"

namespace ks::test {
namespace {

using engine::FileSpec;
using engine::KeyDef;
namespace key_flag = engine::key_flag;

constexpr std::size_t kDataHeader = 6;
constexpr std::size_t kVariableHeader = 12;
constexpr std::size_t kTableHeader = 8;
constexpr std::size_t kKeyTable = 0x110;
constexpr std::size_t kKeyEntry = 30;
constexpr std::size_t kMaxFragments = 255;  // a fragment's number is one byte
constexpr char kDataKind = 'D';
constexpr char kVariableKind = 'V';
constexpr char kCollatingKind = 'A';
constexpr std::uint16_t kIndexKind = 0x80;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

void Put16(std::string& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, value & 0xFFFF);
    Put16(bytes, at + 2, value >> 16);
}

// Counts and record addresses: high word first.
void PutSwapped(std::string& bytes, std::size_t at, std::uint32_t value) {
    Put16(bytes, at, value >> 16);
    Put16(bytes, at + 2, value & 0xFFFF);
}

// A page number with the page's kind in its second byte.
void PutPage(std::string& bytes, std::size_t at, std::uint32_t page, std::uint8_t kind) {
    bytes[at] = static_cast<char>(page >> 16);
    bytes[at + 1] = static_cast<char>(kind);
    Put16(bytes, at + 2, page & 0xFFFF);
}

struct Logical {
    std::uint8_t kind;
    std::string bytes;
};

class Writer {
  public:
    Writer(const FileSpec& shape, const std::vector<std::string>& records)
        : m_shape(shape), m_records(records), m_pageSize(shape.pageSize) {
        for (std::size_t k = 0; k < shape.keys.size(); ++k) {
            if (shape.keys[k].Duplicates()) {
                m_linkedKeys.push_back(k);
            }
        }
        m_linksStart = 2U + shape.recordLength + (shape.Variable() ? 4U : 0U);
        m_slot = m_linksStart + 8U * m_linkedKeys.size();
        m_slotsPerPage = (m_pageSize - kDataHeader) / m_slot;
    }

    std::string Bytes() {
        for (const auto& key : m_shape.keys) {
            for (const auto& segment : key.segments) {
                m_lowerTable = m_lowerTable || (segment.flags & key_flag::kAlternateCollation) != 0;
            }
        }
        if (m_lowerTable) {
            AddCollatingTable();
        }
        m_firstIndex = Count() + 1;
        for (std::size_t k = 0; k < m_shape.keys.size(); ++k) {
            Add(static_cast<std::uint8_t>(kIndexKind + k));
        }
        m_firstData = Count() + 1;
        const std::size_t dataPages =
            std::max<std::size_t>(1, (m_records.size() + m_slotsPerPage - 1) / m_slotsPerPage);
        for (std::size_t p = 0; p < dataPages; ++p) {
            Add(kDataKind);
        }
        for (std::size_t i = 0; i < m_records.size(); ++i) {
            WriteSlot(i);
        }
        LinkDuplicates();
        return Assemble();
    }

  private:
    std::uint32_t Count() const { return static_cast<std::uint32_t>(m_pages.size()); }

    std::uint32_t Add(std::uint8_t kind) {
        m_pages.push_back({kind, std::string(m_pageSize, '\0')});
        const std::uint32_t logical = Count();
        PutPage(m_pages.back().bytes, 0, logical, kind);
        return logical;
    }

    void AddCollatingTable() {
        std::string& page = m_pages[Add(kCollatingKind) - 1].bytes;
        page[6] = '\xAC';
        page.replace(7, 8, std::string("LOWER\0\0\0", 8));
        for (int c = 0; c < 256; ++c) {
            page[15 + static_cast<std::size_t>(c)] =
                static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }

    std::uint32_t Address(std::size_t record) const {
        const std::uint32_t logical =
            m_firstData + static_cast<std::uint32_t>(record / m_slotsPerPage);
        return logical * m_pageSize + static_cast<std::uint32_t>(SlotOffset(record));
    }
    std::size_t SlotOffset(std::size_t record) const {
        return kDataHeader + (record % m_slotsPerPage) * m_slot;
    }
    std::string& DataPage(std::size_t record) {
        return m_pages[m_firstData - 1 + record / m_slotsPerPage].bytes;
    }

    void WriteSlot(std::size_t i) {
        const std::string& record = m_records[i];
        const std::size_t at = SlotOffset(i);
        {
            std::string& page = DataPage(i);
            Put16(page, at, 1);  // usage count
            page.replace(at + 2, m_shape.recordLength, record.substr(0, m_shape.recordLength));
            page[4] = static_cast<char>(page[4] + 1);
            page[5] = '\x80';
        }
        if (m_shape.Variable()) {
            Put32(DataPage(i), at + 2 + m_shape.recordLength, kNone);
            if (record.size() > m_shape.recordLength) {
                WriteVariablePart(record.substr(m_shape.recordLength),
                                  at + 2 + m_shape.recordLength, i);
            }
        }
    }

    // The variable part in fragments, each starting with the link to the next one. The link
    // to the first one is in the record's slot.
    void WriteVariablePart(const std::string& part, std::size_t pointerAt, std::size_t record) {
        std::uint32_t linkPage = m_firstData + static_cast<std::uint32_t>(record / m_slotsPerPage);
        std::size_t linkAt = pointerAt;
        std::size_t done = 0;
        while (done < part.size()) {
            if (m_variable == 0 || Room() < 5 || m_fragments == kMaxFragments) {
                m_variable = Add(kVariableKind);
                m_used = kVariableHeader;
                m_fragments = 0;
            }
            std::string& page = m_pages[m_variable - 1].bytes;
            const std::size_t chunk = std::min(part.size() - done, Room() - 4);
            const std::size_t at = m_used;
            Put32(page, at, kNone);
            page.replace(at + 4, chunk, part.substr(done, chunk));
            // The link: the page's number, high byte then low word, then the fragment's.
            std::string& from = m_pages[linkPage - 1].bytes;
            from[linkAt] = static_cast<char>(m_variable >> 16);
            Put16(from, linkAt + 1, m_variable & 0xFFFF);
            from[linkAt + 3] = static_cast<char>(m_fragments);
            Put16(page, m_pageSize - 2 - 2 * m_fragments, static_cast<std::uint32_t>(at));
            ++m_fragments;
            m_used += 4 + chunk;
            Put16(page, m_pageSize - 2 - 2 * m_fragments, static_cast<std::uint32_t>(m_used));
            Put16(page, 4, static_cast<std::uint32_t>(m_fragments - 1));
            Put32(page, 6, kNone);
            Put16(page, 10, static_cast<std::uint32_t>(m_fragments));
            linkPage = m_variable;
            linkAt = at;
            done += chunk;
        }
    }

    // Free bytes of the current variable page once a fragment and its table entry are added.
    std::size_t Room() const {
        const std::size_t table = 2 * (m_fragments + 2);
        return m_pageSize > m_used + table ? m_pageSize - m_used - table : 0;
    }

    // Each key with duplicates chains the records of one value in the order they were given.
    void LinkDuplicates() {
        for (std::size_t d = 0; d < m_linkedKeys.size(); ++d) {
            const KeyDef& key = m_shape.keys[m_linkedKeys[d]];
            std::map<std::string, std::size_t> last;
            for (std::size_t i = 0; i < m_records.size(); ++i) {
                const std::string value =
                    engine::FoldKey(key, engine::KeyOfRecord(key, m_records[i]));
                const std::size_t links = SlotOffset(i) + m_linksStart + 8 * d;
                PutSwapped(DataPage(i), links, kNone);
                PutSwapped(DataPage(i), links + 4, kNone);
                const auto found = last.find(value);
                if (found != last.end()) {
                    const std::size_t previous = found->second;
                    PutSwapped(DataPage(i), links, Address(previous));
                    PutSwapped(DataPage(previous), SlotOffset(previous) + m_linksStart + 8 * d + 4,
                               Address(i));
                }
                last[value] = i;
            }
            m_distinct.push_back(static_cast<std::uint32_t>(last.size()));
        }
    }

    std::string ControlRecord(std::uint32_t usage, std::uint32_t records) const {
        std::string fcr(m_pageSize, '\0');
        fcr[0] = 'F';
        fcr[1] = 'C';
        Put32(fcr, 0x04, usage);
        Put16(fcr, 0x08, m_pageSize);
        fcr.replace(0x0C, 8, 8, '\xFF');  // no owner name
        Put16(fcr, 0x14, static_cast<std::uint32_t>(m_shape.keys.size()));
        Put16(fcr, 0x16, m_shape.recordLength);
        Put16(fcr, 0x18, static_cast<std::uint32_t>(m_slot));
        PutSwapped(fcr, 0x1A, records);
        Put16(fcr, 0x22, 0xFFFF);
        Put16(fcr, 0x24, 1);
        PutSwapped(fcr, 0x26, Count());
        if (m_shape.Variable()) {
            Put32(fcr, 0x38, kNone);
        }
        if (m_lowerTable) {
            fcr.replace(0x3C, 8, std::string("LOWER\0\0\0", 8));
        }
        fcr[0x4B] = 6;
        if (!m_linkedKeys.empty()) {
            Put16(fcr, 0x72, static_cast<std::uint32_t>(m_linksStart));
        }
        Put16(fcr, 0x74, static_cast<std::uint32_t>(m_linkedKeys.size()));
        fcr[0x76] = static_cast<char>(m_shape.keys.size());
        fcr[0x77] = static_cast<char>(m_shape.SegmentCount());
        Put32(fcr, 0x9C, kNone);
        if (m_shape.Variable()) {
            Put16(fcr, 0x106, engine::file_flag::kVariableLength);
            Put16(fcr, 0x108, m_pageSize / 20U);  // free space kept on variable pages
        }
        Put32(fcr, 0x10C, 1);
        std::size_t entry = kKeyTable;
        for (std::size_t k = 0; k < m_shape.keys.size(); ++k) {
            const KeyDef& key = m_shape.keys[k];
            const auto linked = std::find(m_linkedKeys.begin(), m_linkedKeys.end(), k);
            for (std::size_t s = 0; s < key.segments.size(); ++s, entry += kKeyEntry) {
                const auto& segment = key.segments[s];
                std::uint16_t flags = segment.flags;
                if ((flags & key_flag::kAlternateCollation) != 0) {
                    Put16(fcr, entry + 0x1A, 1);  // the file's collating table
                }
                if (s == 0) {
                    const auto index = static_cast<std::uint32_t>(m_firstIndex + k);
                    PutPage(fcr, entry, index, static_cast<std::uint8_t>(kIndexKind + k));
                    const std::size_t entrySize = key.Length() + (key.Duplicates() ? 12 : 8);
                    PutSwapped(
                        fcr, entry + 4,
                        linked == m_linkedKeys.end()
                            ? records
                            : m_distinct[static_cast<std::size_t>(linked - m_linkedKeys.begin())]);
                    Put16(fcr, entry + 0x0A, static_cast<std::uint32_t>(key.Length()));
                    Put16(fcr, entry + 0x0C, static_cast<std::uint32_t>(entrySize));
                    Put16(fcr, entry + 0x0E,
                          static_cast<std::uint32_t>((m_pageSize - 12) / entrySize));
                    Put16(fcr, entry + 0x10,
                          static_cast<std::uint32_t>((m_pageSize - 12) / entrySize / 2));
                    if (linked != m_linkedKeys.end()) {
                        Put16(fcr, entry + 0x12,
                              static_cast<std::uint32_t>(
                                  m_linksStart +
                                  8 * static_cast<std::size_t>(linked - m_linkedKeys.begin())));
                    }
                    fcr[entry + 0x18] = static_cast<char>(0x80 + k);
                }
                Put16(fcr, entry + 0x08, flags);
                Put16(fcr, entry + 0x14, segment.position + 1U);  // counts the usage count
                Put16(fcr, entry + 0x16, segment.length);
                fcr[entry + 0x1C] = static_cast<char>(segment.type);
            }
        }
        return fcr;
    }

    std::string AllocationTable(std::uint32_t number, std::uint32_t usage,
                                const std::vector<std::uint32_t>& physical, std::uint32_t first,
                                std::uint32_t entries) const {
        std::string table(m_pageSize, '\0');
        table[0] = 'P';
        table[1] = 'P';
        Put16(table, 2, number);
        Put32(table, 4, usage);
        for (std::uint32_t i = 0; i < entries && usage > 1; ++i) {
            const std::uint32_t logical = first + i;
            if (logical > Count()) {
                break;
            }
            PutPage(table, kTableHeader + 4 * i, physical[logical], m_pages[logical - 1].kind);
        }
        return table;
    }

    // Physical pages: the control records, the allocation tables at their fixed places, the
    // logical pages in order around them.
    std::string Assemble() const {
        const std::uint32_t entries = static_cast<std::uint32_t>((m_pageSize - kTableHeader) / 4);
        const std::uint32_t stride = entries + 2;
        const std::uint32_t tables = (Count() + entries - 1) / entries;
        std::vector<std::uint32_t> physical(Count() + 1U, 0);
        std::uint32_t next = 4;
        for (std::uint32_t logical = 1; logical <= Count(); ++logical) {
            while ((next - 2) % stride < 2) {
                ++next;
            }
            physical[logical] = next++;
        }
        const std::uint32_t total = std::max(next, 2 + (tables - 1) * stride + 2);
        std::string file(static_cast<std::size_t>(total) * m_pageSize, '\0');
        auto put = [&file, this](std::uint32_t page, const std::string& bytes) {
            file.replace(static_cast<std::size_t>(page) * m_pageSize, m_pageSize, bytes);
        };
        // The older control record still counts no record; the current one is page 1.
        put(0, ControlRecord(1, 0));
        put(1, ControlRecord(2, static_cast<std::uint32_t>(m_records.size())));
        for (std::uint32_t t = 0; t < tables; ++t) {
            put(2 + t * stride, AllocationTable(t + 1, 1, physical, t * entries + 1, entries));
            put(3 + t * stride, AllocationTable(t + 1, 2, physical, t * entries + 1, entries));
        }
        for (std::uint32_t logical = 1; logical <= Count(); ++logical) {
            put(physical[logical], m_pages[logical - 1].bytes);
        }
        return file;
    }

    const FileSpec& m_shape;
    const std::vector<std::string>& m_records;
    std::uint16_t m_pageSize;
    std::vector<std::size_t> m_linkedKeys;
    std::vector<std::uint32_t> m_distinct;
    std::size_t m_linksStart = 0;
    std::size_t m_slot = 0;
    std::size_t m_slotsPerPage = 0;
    bool m_lowerTable = false;
    std::vector<Logical> m_pages;  // logical page N at N - 1
    std::uint32_t m_firstIndex = 0;
    std::uint32_t m_firstData = 0;
    std::uint32_t m_variable = 0;  // the variable page being filled
    std::size_t m_used = 0;
    std::size_t m_fragments = 0;
};

}  // namespace

std::string GenuineFileBytes(const FileSpec& shape, const std::vector<std::string>& records) {
    return Writer(shape, records).Bytes();
}

bool WriteGenuineFile(const std::filesystem::path& path, const FileSpec& shape,
                      const std::vector<std::string>& records) {
    const std::string bytes = GenuineFileBytes(shape, records);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

FileSpec CatalogueShape(int file) {
    FileSpec shape;
    if (const auto buffer = CatalogueCreationBuffer(file)) {
        engine::ParseFileSpec(buffer->data(), buffer->size(), shape);
    }
    shape.fileFlags = 0;
    return shape;
}

}  // namespace ks::test
