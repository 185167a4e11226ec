// Turns SIGTERM, SIGINT and SIGHUP into a normal quit of the event loop, so that a stop by
// the system or the operator's terminal still writes the pending trace lines and settings.
#pragma once

#include <QObject>
#include <array>

class QSocketNotifier;

namespace ks::gui {

class TerminationWatcher : public QObject {
    Q_OBJECT

  public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;
    Q_DISABLE_COPY_MOVE(TerminationWatcher)

  signals:
    void TerminationRequested();

  private:
    QSocketNotifier* m_notifier = nullptr;
    std::array<int, 2> m_fds{-1, -1};  // the self-pipe: the handlers' end, the notifier's end
};

}  // namespace ks::gui
