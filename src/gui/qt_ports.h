// Qt implementations of the core's ports: the system clock, the event loop, the dialogs.
#pragma once

#include <QElapsedTimer>

#include "core/base/clock.h"
#include "core/base/dialogs.h"
#include "core/base/event_pump.h"

class QWidget;

namespace ks::gui {

class QtClock : public Clock {
  public:
    QtClock();
    DateTime Now() const override;
    std::uint64_t TickCount64() const override;
    std::uint32_t TickCount32() const override;
    void Sleep(int milliseconds) override;
};

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

class QtDialogs : public Dialogs {
  public:
    void SetParent(QWidget* parent) { m_parent = parent; }

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
    QWidget* m_parent = nullptr;
};

// Windows-1252 text of the core to a QString, and back.
QString FromCp(const std::string& text);
std::string ToCp(const QString& text);

}  // namespace ks::gui
