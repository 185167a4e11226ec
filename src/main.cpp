// Builds the program's objects, wires them together and runs the event loop.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include "core/log/error_handler.h"
#include "core/log/trace_state.h"
#include "gui/qt_ports.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KS3 Diffuseur de secours"));

    ks::gui::QtClock clock;
    ks::gui::QtEventPump pump;
    ks::TraceState traceState;
    ks::ErrorHandler errors(traceState, pump);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("KS3 Diffuseur de secours"));
    auto* clockLabel = new QLabel(&window);
    window.setCentralWidget(clockLabel);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &window, [&] {
        const ks::DateTime now = clock.Now();
        clockLabel->setText(QStringLiteral("%1/%2/%3 %4:%5:%6")
                                .arg(now.day, 2, 10, QLatin1Char('0'))
                                .arg(now.month, 2, 10, QLatin1Char('0'))
                                .arg(now.year, 4, 10, QLatin1Char('0'))
                                .arg(now.hour, 2, 10, QLatin1Char('0'))
                                .arg(now.minute, 2, 10, QLatin1Char('0'))
                                .arg(now.second, 2, 10, QLatin1Char('0')));
    });
    tick.start(250);
    window.resize(480, 200);
    window.show();
    return QApplication::exec();
}
