#include "gui/system_stop.h"

#include <QGuiApplication>
#include <QSessionManager>

#include "gui/main_window.h"
#include "gui/qt_ports.h"

namespace ks::gui {

SystemStop::SystemStop(QGuiApplication& app, QtDialogs& dialogs, MainWindow& window)
    : m_dialogs(dialogs), m_window(window) {
    connect(&m_termination, &TerminationWatcher::TerminationRequested, this, &SystemStop::Stop);
    // The end of the session (the operator logs out, the machine shuts down) is answered
    // before the session manager's call returns.
    connect(
        &app, &QGuiApplication::commitDataRequest, this,
        [this](QSessionManager& /*manager*/) { Stop(); }, Qt::DirectConnection);
}

void SystemStop::Stop() {
    // The open dialogs close first, so that the shutdown does not wait behind them.
    m_dialogs.AnswerByDefault();
    m_window.CloseByProgram();
}

}  // namespace ks::gui
