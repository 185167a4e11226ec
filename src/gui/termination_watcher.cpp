#include "gui/termination_watcher.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <array>
#include <csignal>

namespace ks::gui {
namespace {

// The write end of the self-pipe is the one thing a signal handler may touch; it is set once
// before the handlers are installed and only read afterwards.
int g_signalWriteFd = -1;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

void OnSignal(int /*signal*/) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(g_signalWriteFd, &byte, 1);
}

}  // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent) {
    // Not inherited by the programs the desktop starts (the text viewer); the handler never
    // blocks on a full pipe, whose bytes already ask for the quit.
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds.data()) != 0) {
        m_fds = {-1, -1};
        return;
    }
    g_signalWriteFd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        std::array<char, 16> buffer{};
        [[maybe_unused]] const auto got =
            read(static_cast<int>(m_notifier->socket()), buffer.data(), buffer.size());
        emit TerminationRequested();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

TerminationWatcher::~TerminationWatcher() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    delete m_notifier;
    g_signalWriteFd = -1;
    for (const int fd : m_fds) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

}  // namespace ks::gui
