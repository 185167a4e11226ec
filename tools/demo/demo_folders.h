// Where the demo station lives under the program's folder: the settings files, named by the
// program's own rules, and the folders of the suite on the "server" and on the backup machine.
#pragma once

#include <string>

namespace ks {
class ConfigFiles;
struct ConfigFolders;
}  // namespace ks

namespace ks::demo {

struct DemoFolders {
    std::string DossierConfig;       // the program's folder
    std::string FichierConfigSuite;  // the suite's configuration file
    std::string FichierSettings;     // the backup settings file
    std::string ConfigServeur;       // the suite's configuration folder on the server
    std::string DataServeur;         // the server's data folder (Dossier_Data)
    std::string ConfigLocal;         // the suite's configuration folder of the backup machine
    std::string DataLocal;           // the local data folder
    std::string Intermediaire;       // where a load copies the server's files
};

// The folders of the demo under `folders.DossierConfig`. Naming the settings folder creates it
// and sets `folders.DossierSettings`, as the program's start does.
DemoFolders DemoFoldersFor(ConfigFolders& folders, ConfigFiles& files);

}  // namespace ks::demo
