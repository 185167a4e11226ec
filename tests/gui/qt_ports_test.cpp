// The Qt side of the ports: text crosses to the screen and back as Windows-1252, and the task
// dialog, left alone, closes itself after five seconds with its two trace lines, so that an
// unattended machine is never left waiting on a message.
#include "gui/qt_ports.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <string>

#include "core/base/error_handler.h"
#include "core/sys/dialog_msg.h"
#include "desktop.h"
#include "platform/cp1252.h"
#include "support/fake_clock.h"
#include "support/recording_trace.h"

namespace ks::gui {
namespace {

TEST(QtPorts, FrenchTextCrossesToTheScreenAndBackUnchanged) {
    test::App();
    const std::string text = "Précédent : déjà à l'œuvre"_cp;
    const QString shown = FromCp(text);
    EXPECT_EQ(shown, QString::fromUtf8("Précédent : déjà à l'œuvre"));
    EXPECT_EQ(ToCp(shown), text);
    EXPECT_EQ(ToCp(QString::fromUtf8("π")), "?") << "a character Windows-1252 cannot hold";
}

TEST(QtPorts, TheTaskDialogShowsItsTextsAndClosesItselfAfterFiveSeconds) {
    test::App();
    QtDialogs dialogs;
    QtEventPump pump;
    test::FakeClock clock;
    test::RecordingTrace trace;
    TraceState state;
    ErrorHandler errors(state, pump);
    errors.SetTrace(&trace);
    DialogMsg message(dialogs, trace, errors, clock, pump);
    message.SetCaption("Kestrel : Player de secours - 2026.1207.0915");

    QStringList shown;
    QTimer::singleShot(300, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        shown << dialog->windowTitle();
        for (const char* name : {"MainInstruction", "Content", "Footer"}) {
            shown << test::TextOf<QLabel>(*dialog, name);
        }
        clock.Advance(5001);  // five seconds pass without anyone answering
    });
    message.Dialog_Msg("Erreur de la base"_cp, "Fichier non trouvé"_cp, "Pied", 2, 450);

    EXPECT_EQ(shown, (QStringList{"Kestrel : Player de secours - 2026.1207.0915",
                                  "Erreur de la base", "Fichier non trouvé", "Pied"}));
    EXPECT_EQ(trace.Messages(),
              (std::vector<std::string>{
                  "TaskDialog: Erreur de la base ContentText: Fichier non trouvé"_cp,
                  "Dialog_Msg: Out Off Timer", "TaskDialog: ButtonClicked: Ok"}));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace ks::gui
