// The desktop program as main() builds it, for the tests of its windows: the main window,
// the core's composition on a program folder, the look, with the dialogs faked (answered
// from a script) or the program's own, and the clock given by the test.
#pragma once

#include <QApplication>
#include <QString>
#include <string>
#include <type_traits>

#include "core/app/loader.h"
#include "engine/record_engine.h"
#include "gui/look.h"
#include "gui/main_window.h"
#include "gui/options_window.h"
#include "gui/qt_ports.h"
#include "support/fake_dialogs.h"

namespace ks::test {

// The one application object of the test program (offscreen: set by CTest), made on first
// use and deleted after the last test, while main() still runs: deleted at exit, after the
// platform's objects, it would crash.
QApplication& App();

// The text of a control of `window` found by its name.
template <typename Widget>
QString TextOf(const QWidget& window, const char* name) {
    const auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
    return widget != nullptr ? widget->text() : QStringLiteral("<no %1>").arg(name);
}

// `DialogsT`: FakeDialogs, or the program's own QtDialogs (shown, in French).
template <typename DialogsT>
struct DesktopWith {
    DesktopWith(const std::string& folder, Clock& clock)
        : loader({engine, clock, pump, dialogs, window, folder, [] {}}) {
        window.Attach(loader, dialogs, look);
        if constexpr (std::is_same_v<DialogsT, gui::QtDialogs>) {
            dialogs.SetParent(&window);
            dialogs.SetTrace(&loader.Trace());
        }
    }

    QApplication& app = App();
    DialogsT dialogs;
    gui::QtEventPump pump;
    gui::MainWindow window;
    engine::RecordEngine engine;
    Loader loader;
    gui::Look look;
};
using Desktop = DesktopWith<FakeDialogs>;

}  // namespace ks::test
