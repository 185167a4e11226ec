// Feeds arbitrary bytes to the INI reader and writer as the text of a file. Besides crashes
// and sanitizer reports, it stops on a broken promise of the writer: a stored value that does
// not read back, or an edit that touches more than the one line it changes.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/sys/ini_file.h"
#include "support/changed_lines.h"

namespace {

// Names and values close to those of the program, and a few that the writer must refuse or
// that sit on the edge of the syntax. The fuzzer picks them with the last bytes of its input,
// so that the text itself stays free for the file.
constexpr std::array<std::string_view, 10> kSections = {
    "Data",    "data",           " Folder ", "Station", "S",
    "[nested", ";not a comment", "A]B",      "",        "\xC9t\xE9"};
constexpr std::array<std::string_view, 9> kKeys = {
    "Frequency", "FREQUENCY", "Last_Timing", "k", " spaced key ", "a=b", ";k", "", "cl\xE9"};
constexpr std::array<std::string_view, 9> kValues = {
    "60", "", "  padded  ", "\"quoted\"", "'single'", "line\nbreak", "cr\ronly", "\t\v", "x=y;z"};

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\v\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

template <std::size_t N>
std::string_view Pick(FuzzedDataProvider& data, const std::array<std::string_view, N>& from) {
    return from[data.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::string_view section = Pick(data, kSections);
    const std::string_view key = Pick(data, kKeys);
    const std::string_view value = Pick(data, kValues);
    const std::string text = data.ConsumeRemainingBytesAsString();

    const ks::IniFile original(text);
    (void)original.Value(section, key);
    (void)original.Entries(section);
    (void)original.HasSection(section);

    ks::IniFile edited(text);
    const bool stored = edited.Set(section, key, value);
    if (stored != ks::IniFile::CanStore(section, key, value)) {
        __builtin_trap();
    }
    if (!stored) {
        if (edited.Bytes() != text) {
            __builtin_trap();  // a refused write changed the text
        }
        return 0;
    }
    if (edited.Value(section, key) != std::string(Unquoted(Trimmed(value)))) {
        __builtin_trap();  // the stored value does not read back
    }
    if (!ks::test::ChangesOneLineAtMost(text, edited.Bytes())) {
        __builtin_trap();  // another line of the file was touched
    }
    return 0;
}
