#include "core/log/trace_header.h"

#include "core/sys/folder_ops.h"
#include "core/sys/text_helpers.h"

namespace ks {
namespace {

constexpr std::string_view kLead = "==:==:==:====:=:=:=:";
constexpr std::string_view kFrame =
    "==:==:==:====:=:=:=:===========================================";
constexpr std::string_view kEnd = "\r\n";

void AddLine(std::string& block, std::string_view label, std::string_view value) {
    block += kLead;
    block += label;
    block += value;
    block += kEnd;
}

}  // namespace

std::string ThemeName(std::string_view themeActive) {
    return Val(themeActive) == 0.0 ? "WinClassic" : "WinXP";
}

std::string TraceHeaderBlock(const TraceHeaderValues& values) {
    std::string block;
    block += kFrame;
    block += kEnd;
    AddLine(block, "System started since ", values.uptime);
    AddLine(block, "App.Version: ", values.version);
    AddLine(block, "App.ExeName: ", CheckRep(values.exeFolder) + values.exeBaseName + ".exe");
    AddLine(block, "App.ProductName: ", values.productName);
    AddLine(block, "Computer.Name: ", values.computerName);
    AddLine(block, "ActiveTheme: ", ThemeName(values.themeActive));
    AddLine(block, "Operating System: ", values.osDisplay);
    block += kFrame;
    block += kEnd;
    return block;
}

}  // namespace ks
