// FrmAbout, the about box: the program's icon, name and version, and a button that starts
// the desktop's system-information tool, or says that none is available.
#pragma once

#include <QDialog>
#include <QStringList>
#include <string>

namespace ks {
class Dialogs;
}

namespace ks::gui {

class AboutBox : public QDialog {
    Q_OBJECT

  public:
    // `version` is VersionApplication (Windows-1252); `caption` the main window's, the title
    // of the message shown when no system-information tool is found.
    AboutBox(const std::string& version, std::string caption, Dialogs& dialogs, QWidget* parent);

    // The system-information tools looked for in PATH, in this order.
    static QStringList SysInfoTools();

    // Starts the first tool found, without a shell; otherwise shows the message.
    void StartSysInfo();

  private:
    std::string m_caption;
    Dialogs& m_dialogs;
};

}  // namespace ks::gui
