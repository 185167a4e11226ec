// Which folder is the program's folder (DossierConfig) when no --root is given. A program
// built and run in place, or unpacked into a folder its operator owns, keeps everything
// beside its executable. An installed program (/opt/kestrel-diffuseur-secours/, marked by the
// file kInstalledMarker the installation puts beside it) never writes there, whoever runs it,
// root included: each user gets a folder of their own under their data folder, started from
// a copy of the installed Settings folder.
#pragma once

#include <string>
#include <string_view>

namespace ks {

// The name of the operator's program folder under the user's data folder.
inline constexpr std::string_view kUserFolderName = "kestrel-diffuseur-secours";

// The file that marks the executable's folder as an installation (its contents say why).
inline constexpr std::string_view kInstalledMarker = "INSTALLED";

// $XDG_DATA_HOME/kestrel-diffuseur-secours/, or ~/.local/share/kestrel-diffuseur-secours/
// with ~ the HOME variable or, when that is not set, the user's home in the user database;
// "" when no home is known (or a name cannot be held in Windows-1252).
std::string UserProgramFolder();

// ProgramFolderBeside(ExecutableFolder(), create).
std::string DefaultProgramFolder(bool create = true);

// `executable` (a folder, ending with "/") when it is not an installation and this process
// may write into it, else UserProgramFolder(), created on first use with a copy of
// `executable`'s Settings folder (the installed defaults: the suite's configuration file, the
// registry store) unless `create` is false (a run that only reads, as --status).
// Windows-1252, ending with "/"; "" when no folder can be found.
std::string ProgramFolderBeside(const std::string& executable, bool create);

}  // namespace ks
