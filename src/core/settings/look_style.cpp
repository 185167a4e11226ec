#include "core/settings/look_style.h"

#include <string>
#include <string_view>

#include "core/base/error_handler.h"
#include "core/settings/whole_number.h"
#include "core/sys/registry.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::string_view kCaller = "Lib_Look:InitGeneralLook";
constexpr std::string_view kLookKey = R"(Software\Velmora\Kestrel\Look)";
constexpr std::string_view kStyleValue = "Style";

}  // namespace

std::int32_t LookStyle::StyleEnregistre() {
    std::int32_t style = kDefaultLookStyle;
    m_errors.Guard(kCaller, [&] {
        std::string text;
        m_registry.Reg_GetValue(kHkeyLocalMachine, kLookKey, kStyleValue, text);
        if (Trim(text).empty()) {
            m_registry.Reg_SetValue(kHkeyLocalMachine, kLookKey, kStyleValue,
                                    std::to_string(kDefaultLookStyle));
            return;
        }
        style = ValToInt32(text);
    });
    return style;
}

bool LookStyle::EnregistreStyle(std::int32_t style) {
    bool stored = false;
    m_errors.Guard(kCaller, [&] {
        stored = m_registry.Reg_SetValue(kHkeyLocalMachine, kLookKey, kStyleValue,
                                         std::to_string(style)) == kRegOk;
    });
    return stored;
}

std::int32_t LookStyle::Resolve(std::int32_t style) {
    return style == kRecordedLookStyle ? StyleEnregistre() : style;
}

}  // namespace ks
