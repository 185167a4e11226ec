// The dialogs of the desktop program: the standard buttons and the choosers speak French (the
// quit question is drawn to screenshots/quit_question.png), the log viewer's chooser takes a
// typed name that does not exist and the viewer then says "Fichier non trouvé:", and once a
// stop has come every dialog, the open one and those to come, is answered at once by its
// default button and traced as the headless run does.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "desktop.h"
#include "gui/qt_ports.h"
#include "support/fake_clock.h"
#include "support/recording_trace.h"
#include "support/temp_dir.h"

namespace ks {
namespace {

const std::filesystem::path kScreenshots = std::filesystem::path(KS_BINARY_DIR) / "screenshots";

// Runs `action` on the modal dialog once it is shown; a dialog that never shows fails.
void WhenShown(const std::function<void(QWidget&)>& action) {
    QTimer::singleShot(100, [action] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr) << "no dialog shown";
        action(*dialog);
    });
}

// Types `name` in an open chooser once its folder is listed, as the operator would: the
// listing selects the proposed name again when it arrives.
void Type(QWidget& chooser, const char* name) {
    const auto* list = chooser.findChild<QListView*>("listView");
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([list] { return list->model()->rowCount(list->rootIndex()) > 0; }));
    QTest::qWait(50);
    auto* edit = chooser.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromLatin1(name));
}

QStringList ButtonTexts(const QWidget& dialog) {
    QStringList texts;
    for (const QAbstractButton* button :
         dialog.findChild<QDialogButtonBox*>()->findChildren<QAbstractButton*>()) {
        texts << button->text();
    }
    texts.sort();
    return texts;
}

TEST(DialogsTest, TheStandardButtonsSpeakFrench) {
    test::App();
    struct Row {
        MsgButtons buttons;
        QStringList texts;  // sorted
    };
    const Row rows[] = {
        {MsgButtons::Ok, {"OK"}},
        {MsgButtons::YesNo, {"&Non", "&Oui"}},
        {MsgButtons::OkCancel, {"Annuler", "OK"}},
        {MsgButtons::RetryCancel, {"Annuler", "Réessayer"}},
    };
    for (const Row& row : rows) {
        gui::QtDialogs dialogs;
        QStringList shown;
        WhenShown([&](QWidget& box) {
            shown = ButtonTexts(box);
            if (row.buttons == MsgButtons::YesNo) {
                std::filesystem::create_directories(kScreenshots);
                EXPECT_TRUE(box.grab().save(
                    QString::fromStdString((kScreenshots / "quit_question.png").string())));
            }
            static_cast<QDialog&>(box).reject();
        });
        dialogs.MessageBox(MsgIcon::Question, row.buttons, "Kestrel : Secours",
                           "Voulez-vous quitter le programme ?");
        EXPECT_EQ(shown, row.texts);
    }
}

TEST(DialogsTest, TheChoosersSpeakFrenchAndTheLogChooserTakesANameThatDoesNotExist) {
    test::App();
    test::TempDir folder;
    folder.Write("20261207.Log", "x");
    std::filesystem::create_directories(folder.Path() / "Data");
    struct Row {
        const char* what;
        std::function<std::optional<std::string>(gui::QtDialogs&)> choose;
        const char* typed;
        QStringList labels;  // look in, name, type, then the buttons sorted
        std::string chosen;
    };
    const Row rows[] = {
        {"the log viewer's chooser",
         [&](gui::QtDialogs& dialogs) {
             return dialogs.ChooseFile("Lecture des Logs", folder.Folder() + "20261207.Log",
                                       "Logs|*.log");
         },
         "20261299.Log",
         {"Voir dans :", "&Nom de fichier :", "Fichiers de type :", "&Ouvrir", "Annuler"},
         folder.Folder() + "20261299.Log"},
        {"the folder chooser",
         [&](gui::QtDialogs& dialogs) { return dialogs.ChooseFolder("Dossier", folder.Folder()); },
         "Data",
         {"Voir dans :", "Dossier :", "Fichiers de type :", "&Choisir", "Annuler"},
         folder.Folder() + "Data"},
    };
    for (const Row& row : rows) {
        gui::QtDialogs dialogs;
        QStringList labels;
        WhenShown([&](QWidget& chooser) {
            for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
                labels << test::TextOf<QLabel>(chooser, name);
            }
            labels << ButtonTexts(chooser);
            Type(chooser, row.typed);
            static_cast<QDialog&>(chooser).accept();
        });
        EXPECT_EQ(row.choose(dialogs), row.chosen) << row.what;
        EXPECT_EQ(labels, row.labels) << row.what << ": " << labels.join('|').toStdString();
    }
}

TEST(DialogsTest, TheLogViewerSaysItCannotFindATypedNameThatDoesNotExist) {
    test::TempDir root;
    test::FakeClock clock;
    test::DesktopWith<gui::QtDialogs> desktop(root.Folder(), clock);
    ASSERT_TRUE(desktop.window.Form_Load());
    QString warning;
    WhenShown([&](QWidget& chooser) {
        Type(chooser, "20261299.Log");
        WhenShown([&](QWidget& box) {
            warning = static_cast<QMessageBox&>(box).text();
            static_cast<QDialog&>(box).accept();
        });
        static_cast<QDialog&>(chooser).accept();
    });
    desktop.window.findChild<QAction*>("Mnu01Log")->trigger();
    EXPECT_EQ(warning, "Fichier non trouvé:\r\n\r\n" + QString::fromStdString(root.Folder()) +
                           "Quenvi/Histo_KS3_Diffuseur_Secours/20261299.Log");
    desktop.window.Unload();
}

TEST(DialogsTest, AfterAStopEveryDialogIsAnsweredByItsDefaultTheOpenOneAndThoseToCome) {
    test::App();
    test::TempDir folder;
    struct Row {
        const char* what;
        std::function<std::string(gui::QtDialogs&)> ask;
        std::string answer;
        std::vector<std::string> traced;
    };
    const auto message = [](MsgButtons buttons) {
        return [buttons](gui::QtDialogs& dialogs) {
            return std::to_string(static_cast<int>(
                dialogs.MessageBox(MsgIcon::Warning, buttons, "Kestrel", "Dossier\r\nabsent")));
        };
    };
    const auto chooser = [](std::optional<std::string> chosen) {
        return chosen ? "chosen " + *chosen : std::string("cancelled");
    };
    const Row rows[] = {
        {"a message", message(MsgButtons::Ok), "1", {"MessageBox: Dossier absent"}},
        {"a question", message(MsgButtons::YesNo), "6", {"MessageBox: Dossier absent"}},
        {"a retry", message(MsgButtons::RetryCancel), "4", {"MessageBox: Dossier absent"}},
        {"a task dialog",
         [](gui::QtDialogs& dialogs) {
             return std::to_string(dialogs.TaskDialog({"Kestrel", "Erreur", "", "", 2, 450},
                                                      [](std::int64_t) { return false; }));
         },
         "1",
         {}},
        {"the file chooser",
         [&](gui::QtDialogs& dialogs) {
             return chooser(dialogs.ChooseFile("Lecture des Logs", folder.Folder(), "Logs|*.log"));
         },
         "cancelled",
         {}},
        {"the folder chooser",
         [&](gui::QtDialogs& dialogs) {
             return chooser(dialogs.ChooseFolder("Dossier", folder.Folder()));
         },
         "cancelled",
         {}},
    };
    for (const Row& row : rows) {
        gui::QtDialogs dialogs;
        test::RecordingTrace trace;
        dialogs.SetTrace(&trace);
        WhenShown([&](QWidget& /*dialog*/) { dialogs.AnswerByDefault(); });
        EXPECT_EQ(row.ask(dialogs), row.answer) << row.what << " open when the stop came";

        // A dialog shown now would run this timer in its loop (and be closed by it).
        bool looped = false;
        QTimer::singleShot(0, [&looped] {
            looped = true;
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                static_cast<QDialog*>(dialog)->reject();
            }
        });
        EXPECT_EQ(row.ask(dialogs), row.answer) << row.what << " after the stop";
        EXPECT_FALSE(looped) << row.what << " was shown after the stop";
        QTest::qWait(10);
        std::vector<std::string> traced = row.traced;
        traced.insert(traced.end(), row.traced.begin(), row.traced.end());
        EXPECT_EQ(trace.Messages(), traced) << row.what;
    }
}

}  // namespace
}  // namespace ks
