// A daily trace log writing into a fresh folder, driven by a fake clock, with the common
// error handler wired to it as the program wires them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base/error_handler.h"
#include "core/base/trace_state.h"
#include "core/log/trace_log.h"
#include "support/fake_clock.h"
#include "support/fake_event_pump.h"
#include "support/temp_dir.h"

namespace ks::test {

class TraceLogTest : public ::testing::Test {
  protected:
    TraceLogTest() {
        errors.SetTrace(&log);
        Configure(log);
        state.TraceFichierActif = true;
    }

    void Configure(DailyTraceLog& target) {
        target.SetDossierLog(dir.Folder());
        target.SetTexteLogNbMaxLignes([this] { return threshold; });
        TraceHeaderSources sources;
        sources.VersionApplication = [] { return std::string("2026.1207.0915"); };
        sources.ExeFolder = [] { return std::string("/opt/kestrel/"); };
        sources.ExeBaseName = [] { return std::string("KS3_Diffuseur_Secours"); };
        sources.ProductName = [] { return std::string("KS3 Diffuseur de secours"); };
        sources.ComputerName = [] { return std::string("STUDIO-B"); };
        sources.GetOSDisplayString = [] { return std::string("Debian GNU/Linux 12"); };
        target.SetHeaderSources(sources);
    }

    void Trace(std::string_view message) { log.TraceLog(-1, -1, -1, message); }

    std::string FileOf(const std::string& day) const {
        return TempDir::Read(dir.Path() / (day + ".Log"));
    }
    std::string Today() const { return FileOf("20261207"); }

    // The header block as the fake machine writes it, for the uptime given.
    static std::string Header(const std::string& uptime) {
        return "==:==:==:====:=:=:=:===========================================\r\n"
               "==:==:==:====:=:=:=:System started since " +
               uptime +
               "\r\n"
               "==:==:==:====:=:=:=:App.Version: 2026.1207.0915\r\n"
               "==:==:==:====:=:=:=:App.ExeName: /opt/kestrel/KS3_Diffuseur_Secours.exe\r\n"
               "==:==:==:====:=:=:=:App.ProductName: KS3 Diffuseur de secours\r\n"
               "==:==:==:====:=:=:=:Computer.Name: STUDIO-B\r\n"
               "==:==:==:====:=:=:=:ActiveTheme: WinClassic\r\n"
               "==:==:==:====:=:=:=:Operating System: Debian GNU/Linux 12\r\n"
               "==:==:==:====:=:=:=:===========================================\r\n";
    }

    // The lines of a file, each of which must end with CR LF.
    static std::vector<std::string> Lines(const std::string& bytes) {
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < bytes.size()) {
            const std::size_t end = bytes.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "last line not ended by CR LF";
                lines.push_back(bytes.substr(start));
                break;
            }
            lines.push_back(bytes.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    static std::size_t Count(const std::string& bytes, const std::string& part) {
        std::size_t count = 0;
        for (std::size_t at = bytes.find(part); at != std::string::npos;
             at = bytes.find(part, at + 1)) {
            ++count;
        }
        return count;
    }

    TempDir dir;
    FakeClock clock;  // 7 December 2026 09:05:07.042, tick 1,000,000
    FakeEventPump pump;
    TraceState state;
    ErrorHandler errors{state, pump};
    std::string threshold = "10";
    DailyTraceLog log{state, errors, clock};
};

}  // namespace ks::test
