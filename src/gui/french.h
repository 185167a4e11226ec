// The program speaks French: Qt's own texts (the standard buttons, the file and folder
// choosers) come from Qt's French translations, installed with the program's dependencies.
#pragma once

class QCoreApplication;

namespace ks::gui {

// Installs Qt's French translations in `app`; false when they could not be found, and Qt's
// texts stay English.
bool InstallQtFrench(QCoreApplication& app);

}  // namespace ks::gui
