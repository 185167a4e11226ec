// Runs the demo station generator that the build made beside the tests, its standard output
// and error caught in a file of a scratch folder.
#pragma once

#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace ks::test {

using GeneratorOutcome = ProgramOutcome;

inline GeneratorOutcome RunDemoGenerator(std::vector<std::string> args, const TempDir& scratch) {
    return RunProgram(kDemoGenerator, std::move(args), scratch.Folder() + "generator.out");
}

}  // namespace ks::test
