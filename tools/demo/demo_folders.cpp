#include "tools/demo/demo_folders.h"

#include "core/settings/config_files.h"
#include "core/settings/config_folders.h"

namespace ks::demo {

DemoFolders DemoFoldersFor(ConfigFolders& folders, ConfigFiles& files) {
    DemoFolders demo;
    demo.DossierConfig = folders.DossierConfig;
    demo.FichierConfigSuite = files.DetermineDossierConfig(1);
    // The settings folder is named by its first naming, as the program's settings code does
    // before it reads the settings file.
    files.NomDossierSettings();
    demo.FichierSettings = files.NomFichierSettings("", ".ini");
    demo.ConfigServeur = folders.DossierConfig + "Serveur/Config/";
    demo.DataServeur = folders.DossierConfig + "Serveur/Data/";
    demo.ConfigLocal = folders.DossierConfig + "Local/Config/";
    demo.DataLocal = folders.DossierConfig + "Local/Data/";
    demo.Intermediaire = folders.DossierConfig + "Temporaire/";
    return demo;
}

}  // namespace ks::demo
