// The Qt side of the ports: text crosses to the screen and back as Windows-1252, and the task
// dialog closes itself when the core's timer callback asks, so that an unattended machine is
// never left waiting on a message.
#include "gui/qt_ports.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <string>

#include "platform/cp1252.h"

namespace ks::gui {
namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

TEST(QtPorts, FrenchTextCrossesToTheScreenAndBackUnchanged) {
    App();
    const std::string text = "Précédent : déjà à l'œuvre"_cp;
    const QString shown = FromCp(text);
    EXPECT_EQ(shown, QString::fromUtf8("Précédent : déjà à l'œuvre"));
    EXPECT_EQ(ToCp(shown), text);
    EXPECT_EQ(ToCp(QString::fromUtf8("π")), "?") << "a character Windows-1252 cannot hold";
}

TEST(QtPorts, TheTaskDialogClosesWhenTheTimerCallbackAsks) {
    App();
    QtDialogs dialogs;
    TaskDialogRequest request;
    request.windowTitle = "Kestrel: Player de secours";
    request.mainInstruction = "Erreur"_cp;
    request.content = "Détail"_cp;
    int ticks = 0;
    std::int64_t lastElapsed = -1;
    const std::int32_t button = dialogs.TaskDialog(request, [&](std::int64_t elapsed) {
        ++ticks;
        lastElapsed = elapsed;
        return ticks >= 3;
    });
    EXPECT_EQ(button, kTaskButtonOk);
    EXPECT_EQ(ticks, 3) << "the dialog closed at the callback's request, not before";
    EXPECT_GT(lastElapsed, 0);
}

}  // namespace
}  // namespace ks::gui
