// The task dialog of the operator messages: the caption as title, an icon, the main
// instruction in large type, the content, one OK button (the default) and a footer under a
// line. A timer calls back every 100 ms with the time since the dialog opened; when the
// callback says so, the dialog presses OK itself, so that an unattended machine is never left
// waiting on a message.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <cstdint>
#include <functional>

#include "core/base/dialogs.h"

class QPushButton;
class QTimer;

namespace ks::gui {

class TaskDialog : public QDialog {
    Q_OBJECT

  public:
    using OnTimer = std::function<bool(std::int64_t elapsedMs)>;

    TaskDialog(const TaskDialogRequest& request, OnTimer onTimer, QWidget* parent);

    // Shows the dialog modally; the identifier of the button that closed it (OK).
    std::int32_t Run();

  private:
    OnTimer m_onTimer;
    QPushButton* m_ok = nullptr;
    QTimer* m_timer;
    QElapsedTimer m_elapsed;
};

}  // namespace ks::gui
