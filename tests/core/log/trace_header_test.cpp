#include "core/log/trace_header.h"

#include <gtest/gtest.h>

namespace ks {
namespace {

TEST(TraceHeaderTest, NineLinesInOrderEachEndedByCrLf) {
    TraceHeaderValues values;
    values.uptime = "3 D 4 H 5 Min 6 Sec";
    values.version = "2026.1207.0915";
    values.exeFolder = "/opt/kestrel/";
    values.exeBaseName = "KS3_Diffuseur_Secours";
    values.productName = "KS3 Diffuseur de secours";
    values.computerName = "STUDIO-B";
    values.themeActive = "";
    values.osDisplay = "Debian GNU/Linux 12 (bookworm) (build 6.1.0)";

    EXPECT_EQ(TraceHeaderBlock(values),
              "==:==:==:====:=:=:=:===========================================\r\n"
              "==:==:==:====:=:=:=:System started since 3 D 4 H 5 Min 6 Sec\r\n"
              "==:==:==:====:=:=:=:App.Version: 2026.1207.0915\r\n"
              "==:==:==:====:=:=:=:App.ExeName: /opt/kestrel/KS3_Diffuseur_Secours.exe\r\n"
              "==:==:==:====:=:=:=:App.ProductName: KS3 Diffuseur de secours\r\n"
              "==:==:==:====:=:=:=:Computer.Name: STUDIO-B\r\n"
              "==:==:==:====:=:=:=:ActiveTheme: WinClassic\r\n"
              "==:==:==:====:=:=:=:Operating System: Debian GNU/Linux 12 (bookworm) (build "
              "6.1.0)\r\n"
              "==:==:==:====:=:=:=:===========================================\r\n");
}

TEST(TraceHeaderTest, ProgramFolderGetsItsFinalSlashBeforeTheExecutableName) {
    TraceHeaderValues values;
    values.exeFolder = "/opt/kestrel";
    values.exeBaseName = "KS3_Diffuseur_Secours";
    EXPECT_NE(TraceHeaderBlock(values).find(
                  "==:==:==:====:=:=:=:App.ExeName: /opt/kestrel/KS3_Diffuseur_Secours.exe\r\n"),
              std::string::npos);
}

TEST(TraceHeaderTest, ThemeIsClassicWhenTheValueReadsAsZero) {
    EXPECT_EQ(ThemeName(""), "WinClassic");
    EXPECT_EQ(ThemeName("0"), "WinClassic");
    EXPECT_EQ(ThemeName("abc"), "WinClassic");
    EXPECT_EQ(ThemeName("1"), "WinXP");
    EXPECT_EQ(ThemeName("2"), "WinXP");
}

}  // namespace
}  // namespace ks
