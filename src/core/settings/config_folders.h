// The folders the program works in, set once at start-up from the program's folder: the
// configuration root, the settings folder, the trace log folder and the language folder.
// Every folder name ends with "/".
#pragma once

#include <string>
#include <string_view>

namespace ks {

struct ConfigFolders {
    std::string DossierConfig;    // the program's folder (or the one given by --root)
    std::string DossierSettings;  // "Config/" at start-up, the settings folder once named
    std::string DossierLog;       // the trace log folder
    std::string DossierLangue;    // the user-interface language resources

    // The four folders as start-up sets them for the program folder `programFolder`. The
    // trace log lives on drive C: on Windows; here it is the same path under the program's
    // folder.
    static ConfigFolders ForProgramFolder(std::string_view programFolder);
};

// The folder of the running executable, ending with "/" ("" when the system cannot tell, or
// when its name cannot be held in Windows-1252).
std::string ExecutableFolder();

// The name of the running executable without its folder ("" when the system cannot tell).
std::string ExecutableName();

}  // namespace ks
