// A stop asked by the system (SIGTERM, SIGINT, SIGHUP) or by the end of the desktop session
// shuts the desktop program down as Quit does, without a question, whatever window is open:
// nobody is there to answer, so from then on every message is answered by its default
// button; a load under way ends first.
#pragma once

#include <QObject>

#include "gui/termination_watcher.h"

class QGuiApplication;

namespace ks::gui {

class MainWindow;
class QtDialogs;

class SystemStop : public QObject {
    Q_OBJECT

  public:
    SystemStop(QGuiApplication& app, QtDialogs& dialogs, MainWindow& window);

  private:
    void Stop();

    QtDialogs& m_dialogs;
    MainWindow& m_window;
    TerminationWatcher m_termination;
};

}  // namespace ks::gui
