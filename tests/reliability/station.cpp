#include "station.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "core/db/catalogue.h"
#include "engine/record_engine.h"
#include "support/run_as.h"
#include "support/run_program.h"
#include "support/table_reader.h"

namespace ks::test {
namespace {

namespace fs = std::filesystem;

// The station is generated for this day and loaded at this time: the load moves the hours
// from 11:00 that day to the end of the seventh day after, and purges what is older than the
// 4th.
constexpr const char* kDate = "20261207";
constexpr const char* kAt = "07/12/2026 10:00:00";
constexpr const char* kLogFolder = "Quenvi/Histo_KS3_Diffuseur_Secours/";
constexpr const char* kSettings[] = {"Settings/KS_Diffuseurs_Secours/KS_Diffuseurs_Secours.ini",
                                     "Serveur/Config/KS3_Systeme.ini",
                                     "Local/Config/KS3_Systeme.ini"};

const TempDir& Generated() {
    static const TempDir station;
    static const bool made = [] {
        const LoadRun run =
            RunBounded({kDemoGenerator, "--size", ChosenSize(), "--date", kDate, station.Folder()});
        if (run.exitCode != 0) {
            std::cerr << "ks-demo-station failed: " << run.output << "\n";
            std::abort();
        }
        return true;
    }();
    static_cast<void>(made);
    return station;
}

// The program, or a copy of it in a folder every user may enter when nobody cannot reach the
// build folder (a clone in root's home).
const std::string& ProgramForNobody() {
    static const TempDir shared;
    static const std::string program = [] {
        if (RunAsNobody({"/usr/bin/test", "-x", kCrashProgram}).exitCode == 0) {
            return kCrashProgram;
        }
        const fs::path copy = shared.Path() / "diffuseur-secours";
        fs::copy_file(kCrashProgram, copy);
        return copy.string();
    }();
    return program;
}

bool IsTableFile(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".bt6";
}

}  // namespace

std::string ChosenSize() {
    const char* size = std::getenv("KS_RELIABILITY_SIZE");
    return size != nullptr && std::string(size) == "medium" ? "medium" : "small";
}

unsigned SoakSeed() {
    const char* seed = std::getenv("KS_SOAK_SEED");
    return seed != nullptr ? static_cast<unsigned>(std::strtoul(seed, nullptr, 10)) : 0U;
}

bool Sanitized() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#else
    return false;
#endif
}

LoadRun RunBounded(const std::vector<std::string>& argv,
                   const std::vector<std::string>& environment, int boundSeconds) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        env.emplace_back(*entry);
    }
    env.insert(env.end(), environment.begin(), environment.end());

    const TempDir scratch;
    const std::string outputFile = scratch.Folder() + "output";
    LoadRun run;
    const pid_t child = StartProgram(
        argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()), outputFile, &env);
    if (child < 0) {
        run.output = "cannot start " + argv[0];
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(boundSeconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            run.hung = true;
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.signal = WTERMSIG(status);
    }
    run.output = TempDir::Read(outputFile);
    return run;
}

void PrintFigures(const Figures& figures) {
    std::cout << "figures: loads=" << figures.loads << " kills=" << figures.kills
              << " faults=" << figures.faults << " crashes=" << figures.crashes
              << " hangs=" << figures.hangs << " lost=" << figures.lost << std::endl;
}

WorkStation::WorkStation() {
    const TempDir& generated = Generated();
    fs::copy(generated.Path(), m_root.Path(), fs::copy_options::recursive);
    // The settings name the generated station's folders: they are this copy's now.
    for (const char* ini : kSettings) {
        std::string text = TempDir::Read(m_root.Path() / ini);
        for (std::size_t at = text.find(generated.Folder()); at != std::string::npos;
             at = text.find(generated.Folder(), at)) {
            text.replace(at, generated.Folder().size(), m_root.Folder());
        }
        m_root.Write(ini, text);
    }
}

std::string WorkStation::Folder(const std::string& sub) const {
    return m_root.Folder() + sub + "/";
}

LoadRun WorkStation::Load(const std::vector<std::string>& environment, bool runAsNobody) const {
    std::vector<std::string> argv{kCrashProgram, "--root", m_root.Folder(),
                                  "--load-once", "--at",   kAt};
    if (runAsNobody) {
        argv[0] = ProgramForNobody();
        argv.insert(argv.begin(),
                    {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    }
    return RunBounded(argv, environment);
}

StationState WorkStation::LocalState() const {
    CatalogueTable catalogue;
    InitGeneralData(catalogue);
    engine::RecordEngine engine;
    StationState state;
    for (const int file : kLoadTables) {
        TableReader table(engine, Folder("Local/Data") + NomFichierBTR(catalogue, file, 0),
                          catalogue[static_cast<std::size_t>(file)].LongueurEnreg);
        state[file] = table.Opened() ? table.Records() : std::vector<std::string>{"<not open>"};
    }
    return state;
}

std::vector<std::string> WorkStation::FailedChecks(const std::string& sub) const {
    std::vector<std::string> failed;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_root.Path() / sub)) {
        if (!IsTableFile(entry.path())) {
            continue;
        }
        const LoadRun check = RunBounded({kTableTool, "check", entry.path().string()});
        if (check.exitCode != 0) {
            failed.push_back(entry.path().filename().string() + ": " + check.output);
        }
    }
    return failed;
}

std::size_t WorkStation::TraceSize(const std::string& day) const {
    std::error_code error;
    const auto size = fs::file_size(m_root.Path() / kLogFolder / (day + ".Log"), error);
    return error ? 0 : static_cast<std::size_t>(size);
}

std::vector<std::string> WorkStation::TraceMessages(std::size_t from,
                                                    const std::string& day) const {
    const std::string log = TempDir::Read(m_root.Path() / kLogFolder / (day + ".Log"));
    std::vector<std::string> messages;
    std::size_t start = std::min(from, log.size());
    for (std::size_t end = log.find("\r\n", start); end != std::string::npos;
         start = end + 2, end = log.find("\r\n", start)) {
        const std::string line = log.substr(start, end - start);
        if (line.starts_with("==:") || line.size() < 12) {
            continue;  // the header block
        }
        // "hh:mm:ss:mmm :", the slot, file and level fields, then five characters.
        std::size_t at = 12;
        for (int field = 0; field < 4 && at != std::string::npos; ++field) {
            at = line.find(':', at);
            at = at == std::string::npos ? at : at + 1;
        }
        if (at != std::string::npos && at + 5 <= line.size()) {
            messages.push_back(line.substr(at + 5));
        }
    }
    return messages;
}

void WorkStation::ResetLocal() const {
    fs::remove_all(m_root.Path() / "Local/Data");
    fs::copy(Generated().Path() / "Local/Data", m_root.Path() / "Local/Data",
             fs::copy_options::recursive);
}

const StationState& WorkStation::Expected() {
    static const StationState expected = [] {
        const WorkStation station;
        const LoadRun run = station.Load();
        if (run.exitCode != 0) {
            std::cerr << "the uninterrupted load failed: " << run.output << "\n";
            std::abort();
        }
        return station.LocalState();
    }();
    return expected;
}

bool Says(const std::vector<std::string>& trace, const std::string& start) {
    return std::any_of(trace.begin(), trace.end(),
                       [&](const std::string& line) { return line.starts_with(start); });
}

Comparison Compare(const StationState& got, const StationState& expected) {
    Comparison comparison;
    for (const auto& [file, want] : expected) {
        const auto found = got.find(file);
        std::vector<std::string> have =
            found != got.end() ? found->second : std::vector<std::string>{};
        if (have == want) {
            continue;
        }
        std::vector<std::string> wanted = want;
        std::sort(have.begin(), have.end());
        std::sort(wanted.begin(), wanted.end());
        std::vector<std::string> missing;
        std::vector<std::string> extra;
        std::set_difference(wanted.begin(), wanted.end(), have.begin(), have.end(),
                            std::back_inserter(missing));
        std::set_difference(have.begin(), have.end(), wanted.begin(), wanted.end(),
                            std::back_inserter(extra));
        comparison.missing += static_cast<long>(missing.size());
        comparison.extra += static_cast<long>(extra.size());
        if (missing.empty() && extra.empty()) {
            ++comparison.reordered;
            comparison.first = comparison.first.empty() ? "table " + std::to_string(file) +
                                                              ": the same records in another order"
                                                        : comparison.first;
        } else if (comparison.first.empty()) {
            comparison.first = "table " + std::to_string(file) + ": " +
                               std::to_string(missing.size()) + " missing, " +
                               std::to_string(extra.size()) + " extra, e.g. " +
                               (missing.empty() ? extra : missing).front().substr(0, 40);
        }
    }
    return comparison;
}

}  // namespace ks::test
