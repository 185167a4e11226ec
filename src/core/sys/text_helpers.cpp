#include "core/sys/text_helpers.h"

#include <algorithm>
#include <cstddef>

#include "core/sys/text_guard.h"
#include "platform/cp1252.h"

namespace ks {
namespace {

using text_guard::Caller;
using text_guard::Run;
using text_guard::ThrowInvalidCall;

// Bytes above this code (and control characters) are blanked in record text.
constexpr unsigned char kLastPrintable = 250;

}  // namespace

std::string Calibre(std::string_view text, std::string_view fill, std::int32_t width,
                    ErrorHandler* errors) {
    std::string result;
    Run(
        errors, [] { return Caller("Calibre"); },
        [&] {
            if (width < 0) {
                ThrowInvalidCall();
            }
            const char fillChar = IsBlank(fill) ? ' ' : fill.front();
            const auto w = static_cast<std::size_t>(width);
            result = std::string(text.substr(0, w));
            result.append(w - result.size(), fillChar);
        });
    return result;
}

std::string ClearChaine(std::string_view text, ErrorHandler* errors) {
    std::string result;
    Run(
        errors, [] { return Caller("ClearChaine"); },
        [&] {
            static const std::string kKept = "éèàçûôâëù"_cp;
            result = std::string(text);
            for (char& c : result) {
                const auto code = static_cast<unsigned char>(c);
                if ((code < 32 || code > kLastPrintable) && kKept.find(c) == std::string::npos) {
                    c = ' ';
                }
            }
        });
    return result;
}

std::string RemplaceChaine(std::string_view text, std::string_view replacement,
                           std::int32_t position, std::int32_t length, ErrorHandler* errors) {
    std::string result;
    Run(
        errors, [] { return Caller("RemplaceChaine"); },
        [&] {
            if (position <= 0) {
                return;
            }
            if (length < 0) {
                ThrowInvalidCall();
            }
            result = std::string(text);
            const auto start = static_cast<std::size_t>(position - 1);
            if (start >= result.size()) {
                return;
            }
            auto count = static_cast<std::size_t>(length);
            count = std::min(count, replacement.size());
            count = std::min(count, result.size() - start);
            result.replace(start, count, replacement.substr(0, count));
        });
    return result;
}

EclateParts EclateRepFicExt(std::string_view path, ErrorHandler* errors) {
    EclateParts parts;
    Run(
        errors, [] { return Caller("EclateRepFicExt"); },
        [&] {
            parts = EclateParts{};
            const std::string trimmed = Trim(path);
            // Scanned from the end: the first "." before any "/" starts the extension; the last
            // "/" ends the folder. A dot in a folder name is therefore never an extension.
            std::size_t extensionAt = trimmed.size();
            for (std::size_t i = trimmed.size(); i-- > 0;) {
                const char c = trimmed[i];
                if (c == '/') {
                    parts.EclateDossier = trimmed.substr(0, i + 1);
                    parts.EclateNom = trimmed.substr(i + 1, extensionAt - i - 1);
                    break;
                }
                if (c == '.' && extensionAt == trimmed.size()) {
                    extensionAt = i;
                    parts.EclateExtension = trimmed.substr(i);
                }
                if (i == 0) {
                    parts.EclateNom = trimmed.substr(0, extensionAt);
                }
            }
        });
    return parts;
}

}  // namespace ks
