// Qt implementations of the core's ports: the event loop and the dialogs (the desktop program
// reads the same system clock as the headless run).
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <functional>
#include <vector>

#include "core/base/dialogs.h"
#include "core/base/event_pump.h"

class QDialog;
class QWidget;

namespace ks {
class TraceSink;
}

namespace ks::gui {

// Runs Qt's pending events at most once per kMinGapMs (measured on a monotonic clock): often
// enough that the window redraws and answers at once during a load, seldom enough that the
// load does not spend its time in the event loop (the transfer asks after every record).
class QtEventPump : public EventPump {
  public:
    static constexpr qint64 kMinGapMs = 20;
    void DoEvents() override;

  private:
    QElapsedTimer m_sinceLast;
};

// The dialogs of the desktop program, in French. Once the system asks the program to stop,
// nobody is expected to answer: the open dialogs close and every message, open or to come,
// is answered at once by its default button and traced, as the headless run answers it.
class QtDialogs : public Dialogs {
  public:
    void SetParent(QWidget* parent) { m_parent = parent; }
    // Where the messages answered by default are traced.
    void SetTrace(TraceSink* trace) { m_trace = trace; }

    // From now on every dialog is answered by its default button (choosers are cancelled),
    // those open included.
    void AnswerByDefault();

    MsgAnswer MessageBox(MsgIcon icon, MsgButtons buttons, const std::string& title,
                         const std::string& text) override;
    std::int32_t TaskDialog(const TaskDialogRequest& request,
                            const std::function<bool(std::int64_t)>& onTimer) override;
    std::optional<std::string> ChooseFolder(const std::string& title,
                                            const std::string& initialFolder) override;
    std::optional<std::string> ChooseFile(const std::string& title,
                                          const std::string& initialFolder,
                                          const std::string& filter) override;
    bool OpenInViewer(const std::string& path) override;

  private:
    // Runs `dialog` modally by `exec`; its result code. `message`: the text of a message box,
    // traced when a stop answers it.
    int Run(QDialog& dialog, const std::function<int()>& exec,
            const std::string* message = nullptr);

    struct Open {
        QPointer<QDialog> dialog;
        const std::string* message = nullptr;
    };

    QWidget* m_parent = nullptr;
    TraceSink* m_trace = nullptr;
    bool m_byDefault = false;
    std::vector<Open> m_open;  // innermost last
};

// Windows-1252 text of the core to a QString, and back.
QString FromCp(const std::string& text);
std::string ToCp(const QString& text);

}  // namespace ks::gui
