#include "core/sys/ini_file.h"

#include <cstddef>

#include "platform/native_path.h"

namespace ks {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Blanks around names and values. A CR left inside a line (a "CR CR LF" end, a lone CR) is a
// blank too, so that it never ends up in a value.
constexpr std::string_view kBlanks = " \t\v\r";

// Editors on Linux may put a UTF-8 byte order mark in front of a file. Windows would read
// it as part of the first line and lose the first section; here it is skipped and kept.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == kNone) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::size_t ByteOrderMarkSize(std::string_view text) {
    return text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

enum class LineKind { Blank, Comment, Section, Entry };

// One line of the text, as offsets into it.
struct Line {
    std::size_t begin = 0;  // first byte
    std::size_t end = 0;    // end of the content: its CR LF or LF excluded
    std::size_t next = 0;   // first byte of the following line (the text's size at the end)
    LineKind kind = LineKind::Blank;
    std::string_view name;       // section name or key, trimmed
    std::size_t equals = kNone;  // offset of the entry's "=", kNone when it has none

    bool HasLineEnd() const { return next > end; }
};

// Walks the lines of a text once, front to back, without copying it.
class LineScanner {
  public:
    explicit LineScanner(std::string_view text) : m_text(text), m_pos(ByteOrderMarkSize(text)) {}

    bool Next(Line& line) {
        if (m_pos >= m_text.size()) {
            return false;
        }
        line = Line{};
        line.begin = m_pos;
        const std::size_t newline = m_text.find('\n', m_pos);
        if (newline == kNone) {
            line.end = m_text.size();
            line.next = m_text.size();
        } else {
            line.next = newline + 1;
            line.end = (newline > m_pos && m_text[newline - 1] == '\r') ? newline - 1 : newline;
        }
        m_pos = line.next;
        Classify(line);
        return true;
    }

  private:
    void Classify(Line& line) const {
        const std::string_view content = m_text.substr(line.begin, line.end - line.begin);
        const std::size_t first = content.find_first_not_of(kBlanks);
        if (first == kNone) {
            line.kind = LineKind::Blank;
        } else if (content[first] == ';') {
            line.kind = LineKind::Comment;
        } else if (content[first] == '[') {
            // The name ends at the first "]", or at the end of the line when there is none.
            line.kind = LineKind::Section;
            const std::string_view rest = content.substr(first + 1);
            line.name = Trimmed(rest.substr(0, rest.find(']')));
        } else {
            line.kind = LineKind::Entry;
            const std::size_t equals = content.find('=', first);
            line.name = Trimmed(content.substr(first, equals == kNone ? kNone : equals - first));
            if (equals != kNone) {
                line.equals = line.begin + equals;
            }
        }
    }

    std::string_view m_text;
    std::size_t m_pos;
};

std::string_view ValueOf(std::string_view text, const Line& line) {
    return Trimmed(text.substr(line.equals + 1, line.end - line.equals - 1));
}

bool HoldsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != kNone;
}

bool CanStoreSection(std::string_view section) {
    return !section.empty() && !HoldsLineBreak(section) && section.find(']') == kNone;
}

}  // namespace

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
    const std::string_view sectionName = Trimmed(section);
    const std::string_view keyName = Trimmed(key);
    LineScanner scanner(m_bytes);
    Line line;
    bool inSection = false;
    while (scanner.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection) {
                return std::nullopt;  // only the first section of that name counts
            }
            inSection = EqualsNoCase(line.name, sectionName);
        } else if (inSection && line.kind == LineKind::Entry && EqualsNoCase(line.name, keyName)) {
            if (line.equals == kNone) {
                return std::nullopt;
            }
            return std::string(Unquoted(ValueOf(m_bytes, line)));
        }
    }
    return std::nullopt;
}

std::vector<std::string> IniFile::Entries(std::string_view section) const {
    const std::string_view sectionName = Trimmed(section);
    std::vector<std::string> entries;
    LineScanner scanner(m_bytes);
    Line line;
    bool inSection = false;
    while (scanner.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection) {
                break;
            }
            inSection = EqualsNoCase(line.name, sectionName);
        } else if (inSection && line.kind == LineKind::Entry) {
            std::string entry(line.name);
            if (line.equals != kNone) {
                entry += '=';
                entry += ValueOf(m_bytes, line);
            }
            entries.push_back(std::move(entry));
        }
    }
    return entries;
}

bool IniFile::HasSection(std::string_view section) const {
    const std::string_view sectionName = Trimmed(section);
    LineScanner scanner(m_bytes);
    Line line;
    while (scanner.Next(line)) {
        if (line.kind == LineKind::Section && EqualsNoCase(line.name, sectionName)) {
            return true;
        }
    }
    return false;
}

bool IniFile::CanStore(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view keyName = Trimmed(key);
    return CanStoreSection(Trimmed(section)) && !keyName.empty() && !HoldsLineBreak(keyName) &&
           !HoldsLineBreak(value) && keyName.find('=') == kNone && keyName.front() != ';' &&
           keyName.front() != '[';
}

bool IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!CanStore(section, key, value)) {
        return false;
    }
    const std::string_view sectionName = Trimmed(section);
    const std::string_view keyName = Trimmed(key);
    LineScanner scanner(m_bytes);
    Line line;
    bool inSection = false;
    Line lastOfSection;  // the header or the last entry of the section: new keys go after it
    while (scanner.Next(line)) {
        if (line.kind == LineKind::Section) {
            if (inSection) {
                break;
            }
            if (EqualsNoCase(line.name, sectionName)) {
                inSection = true;
                lastOfSection = line;
            }
        } else if (inSection && line.kind == LineKind::Entry) {
            if (EqualsNoCase(line.name, keyName)) {
                if (line.equals == kNone) {
                    // "key" alone: the "=" and the value go right after the name.
                    const auto nameEnd =
                        static_cast<std::size_t>(line.name.data() - m_bytes.data()) +
                        line.name.size();
                    m_bytes.replace(nameEnd, line.end - nameEnd, "=" + std::string(value));
                } else {
                    std::size_t valueStart = line.equals + 1;
                    while (valueStart < line.end &&
                           (m_bytes[valueStart] == ' ' || m_bytes[valueStart] == '\t')) {
                        ++valueStart;
                    }
                    m_bytes.replace(valueStart, line.end - valueStart, value);
                }
                return true;
            }
            lastOfSection = line;
        }
    }
    std::string entry(keyName);
    entry += '=';
    entry += value;
    if (!inSection) {
        AppendSection(sectionName, entry);
    } else if (lastOfSection.HasLineEnd()) {
        m_bytes.insert(lastOfSection.next, entry + LineEnd());
    } else {  // the last line of a text without a final line end
        m_bytes.insert(lastOfSection.next, LineEnd() + entry);
    }
    return true;
}

bool IniFile::AddSection(std::string_view section) {
    const std::string_view sectionName = Trimmed(section);
    if (!CanStoreSection(sectionName)) {
        return false;
    }
    if (!HasSection(sectionName)) {
        AppendSection(sectionName, {});
    }
    return true;
}

std::string IniFile::LineEnd() const {
    const std::size_t newline = m_bytes.find('\n');
    if (newline != kNone && (newline == 0 || m_bytes[newline - 1] != '\r')) {
        return "\n";
    }
    return "\r\n";
}

void IniFile::AppendSection(std::string_view section, std::string_view entry) {
    const std::string lineEnd = LineEnd();
    if (m_bytes.size() > ByteOrderMarkSize(m_bytes) && m_bytes.back() != '\n') {
        m_bytes += lineEnd;
    }
    m_bytes += '[';
    m_bytes += section;
    m_bytes += ']';
    m_bytes += lineEnd;
    if (!entry.empty()) {
        m_bytes += entry;
        m_bytes += lineEnd;
    }
}

}  // namespace ks
