#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <utility>

#include "core/app/loader.h"
#include "core/base/dialogs.h"
#include "core/settings/backup_settings.h"
#include "core/sys/text_helpers.h"
#include "gui/about_box.h"
#include "gui/look.h"
#include "gui/options_window.h"
#include "gui/program_icon.h"
#include "gui/qt_ports.h"
#include "platform/cp1252.h"

namespace ks::gui {

void MainWindow::Attach(Loader& loader, Dialogs& dialogs, Look& look) {
    m_loader = &loader;
    m_dialogs = &dialogs;
    m_look = &look;
    m_options = std::make_unique<OptionsWindow>(loader.Settings(), this);
    connect(m_timer1, &QTimer::timeout, this, [this] {
        m_loader->Timer1_Timer();
        ShowSetupHint();
    });
    connect(m_timerDonnees, &QTimer::timeout, this,
            [this] { InCycle([this] { m_loader->TimerDonnees_Timer(); }); });
    connect(m_timerTransfert, &QTimer::timeout, this, [this] { m_loader->TimerTransfert_Timer(); });
    connect(m_charger, &QPushButton::clicked, this,
            [this] { InCycle([this] { m_loader->CommandCharger_Click(); }); });
}

bool MainWindow::Form_Load() {
    m_instance.emplace(m_loader->Folders().DossierConfig);
    bool quit = false;
    switch (m_instance->Result()) {
        case InstanceLock::Outcome::HeldElsewhere:
            m_refused = true;
            m_dialogs->MessageBox(MsgIcon::Critical, MsgButtons::Ok, kDesignCaption,
                                  "Il y a une instance de ce programme qui est déjà chargée."_cp +
                                      "\r\n\r\n" + "Le programme va être arrêté."_cp);
            quit = true;
            break;
        case InstanceLock::Outcome::Unavailable:
            // The folder cannot be written; the program says so in its own reports.
            m_loader->Trace().Trace("Instance lock not available: " + m_instance->Reason());
            break;
        case InstanceLock::Outcome::Acquired:
            break;
    }
    if (!quit && m_loader->ApplicationEnFermeture()) {
        quit = true;
    }
    setWindowTitle(FromCp(m_loader->Caption()));
    if (quit) {
        Unload();
        return false;
    }
    m_look->InitGeneralLook(m_loader->StyleEnregistre());
    m_look->LookFenetre(*this);
    m_look->LookFenetre(*m_options);
    // The start-up pumps events: a stop by the system met there runs once it is over, and the
    // program then ends instead of starting its timers on a shut-down core.
    InCycle([this] { m_loader->InitGeneral(&m_options->Place()); });
    if (m_unloaded) {
        return false;
    }
    m_options->Refresh();
    m_loader->Positions().PositionFeuille(m_place, "");
    m_loader->SetFenetrePrincipaleChargee(true);
    m_loaded = true;
    m_timer1->start();
    m_timerDonnees->start();
    m_loader->Timer1_Timer();
    ShowSetupHint();
    return true;
}

void MainWindow::ShowSetupHint() {
    // Without the server's configuration folder or the intermediate folder no load can run;
    // the options window sets them.
    const BackupSettings& settings = m_loader->Settings();
    m_setupHint->setVisible(IsBlank(settings.TexteDossierData(kDossierConfigServeur)) ||
                            IsBlank(settings.TexteDossierData(kDossierTemporaire)));
}

void MainWindow::InCycle(const std::function<void()>& call) {
    ++m_cycleDepth;
    call();
    --m_cycleDepth;
    if (m_cycleDepth != 0) {
        return;
    }
    if (m_unloadPending) {
        Unload();
    } else if (std::exchange(m_questionPending, false) && AskToQuit()) {
        CloseByProgram();
    }
}

bool MainWindow::AskToQuit() {
    if (m_cycleDepth > 0) {
        // An open question would hold the load below it, tables open, until someone answers:
        // it is asked once the load has returned.
        m_questionPending = true;
        return false;
    }
    const bool quit = m_loader->QuitQuestion();
    // A stop by the system that came while the question was open stops all the same (its
    // close met this one under way and was dropped).
    return quit || std::exchange(m_closeByProgram, false);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    // The close box asks; the Quit item has asked already, a stop by the system asks nothing.
    if (!std::exchange(m_closeByProgram, false) && (m_loader == nullptr || !AskToQuit())) {
        event->ignore();
        return;
    }
    if (m_cycleDepth > 0) {
        // A load runs below this event: the shutdown waits for it to return.
        m_unloadPending = true;
        event->ignore();
        return;
    }
    Unload();
    event->accept();
}

void MainWindow::CloseByProgram() {
    m_closeByProgram = true;
    if (m_loader != nullptr) {
        // A copy from a hung share would hold the shutdown below it for good.
        m_loader->RequestStop();
    }
    close();
}

void MainWindow::Unload() {
    if (m_unloaded || m_loader == nullptr) {
        return;
    }
    m_unloaded = true;
    m_unloadPending = false;
    m_loader->Form_Unload(m_loaded ? &m_place : nullptr, m_loaded ? &m_options->Place() : nullptr);
    m_timer1->stop();
    m_timerDonnees->stop();
    m_timerTransfert->stop();
    m_options->hide();
    hide();
    QCoreApplication::quit();
}

void MainWindow::Mnu01Options_Click() {
    m_options->show();
    m_options->raise();
    m_options->activateWindow();
}

void MainWindow::Mnu01Quitter_Click() {
    if (AskToQuit()) {
        CloseByProgram();
    }
}

void MainWindow::MnuAbout_Click() {
    // One about box: asked again, the open one comes to the front.
    if (m_about.isNull()) {
        m_about =
            new AboutBox(m_loader->VersionApplication(), m_loader->Caption(), *m_dialogs, this);
        m_look->LookFenetre(*m_about);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

// --- LoadView ------------------------------------------------------------------------------

void MainWindow::ShowLastLoad(const std::string& text) {
    m_last->setText(FromCp(text));
}
void MainWindow::ShowNextLoad(const std::string& text) {
    m_next->setText(FromCp(text));
}
void MainWindow::ShowCountdown(const std::string& text) {
    m_countdown->setText(FromCp(text));
}
void MainWindow::ShowClock(const std::string& text) {
    m_clock->setText(FromCp(text));
}

// TexteTimingData: the last load beside "Précédent", the next one beside "Prochain".
void MainWindow::ShowTimingData(int index, const std::string& text) {
    if (index == 0) {
        ShowLastLoad(text);
    } else if (index == 1) {
        ShowNextLoad(text);
    }
}

void MainWindow::ShowCopy(bool visible) {
    m_copy->setVisible(visible);
}
void MainWindow::SetCopyProgress(int value) {
    m_copyBar->setValue(value);
}
void MainWindow::ShowCopyDetail(const std::string& text) {
    // During a copy the file and its bytes done follow the caption.
    const QString caption = QStringLiteral("Copie des données en cours");
    m_copy->setText(text.empty() ? caption : caption + QStringLiteral(" : ") + FromCp(text));
}
void MainWindow::ShowTransfer(bool visible) {
    m_transfer->setVisible(visible);
}
void MainWindow::BlinkTransfer() {
    m_transfer->setVisible(!m_transfer->isVisible());
}
void MainWindow::SetTransferTimer(bool enabled) {
    if (enabled) {
        m_timerTransfert->start();
    } else {
        m_timerTransfert->stop();
    }
}
void MainWindow::SetTransferCaption(const std::string& text) {
    m_transferCaption->setText(FromCp(text));
}
void MainWindow::SetTransferProgress(int minimum, int maximum, int value) {
    m_transferBar->setRange(minimum, maximum);
    m_transferBar->setValue(value);
}
void MainWindow::SetTransferItemProgress(int minimum, int maximum, int value) {
    m_transferItemBar->setRange(minimum, maximum);
    m_transferItemBar->setValue(value);
}
void MainWindow::SetMenuEnabled(bool enabled) {
    m_fileMenu->setEnabled(enabled);
    m_fileMenu->menuAction()->setEnabled(enabled);
}

void MainWindow::ShowLoadHealth(const std::string& lastSuccess, const std::string& schedule,
                                const std::string& lastResult, bool alarm) {
    m_lastSuccess->setText(FromCp(lastSuccess));
    m_schedule->setText(FromCp(schedule));
    m_lastResult->setText(QStringLiteral("Dernier essai : ") + FromCp(lastResult));
    m_lastResult->setVisible(!lastResult.empty());
    // The look colours what calls for the operator (LookFenetre's "alarm" rule).
    for (QWidget* widget :
         {static_cast<QWidget*>(m_lastSuccess), static_cast<QWidget*>(m_lastSuccessCaption),
          static_cast<QWidget*>(m_lastResult)}) {
        widget->setProperty("alarm", alarm);
        widget->style()->unpolish(widget);
        widget->style()->polish(widget);
    }
}

}  // namespace ks::gui
