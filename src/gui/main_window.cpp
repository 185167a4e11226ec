#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
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
namespace {

constexpr int kTimer1Ms = 250;
constexpr int kTimerDonneesMs = 500;
constexpr int kTimerTransfertMs = 250;
constexpr int kTimingFieldWidth = 260;

QLabel* Caption(const char* text) {
    return new QLabel(QString::fromUtf8(text));
}

QLineEdit* TimingField(const QString& name) {
    auto* field = new QLineEdit;
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setMinimumWidth(kTimingFieldWidth);
    return field;
}

// Indicators that come and go keep their room, so that nothing below them moves.
void KeepRoomWhenHidden(QWidget& widget) {
    QSizePolicy policy = widget.sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget.setSizePolicy(policy);
}

QProgressBar* Bar(const QString& name) {
    auto* bar = new QProgressBar;
    bar->setObjectName(name);
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent),
      m_place(*this, "Frm_Main"),
      m_clock(new QLabel),
      m_last(TimingField(QStringLiteral("TexteTimingData0"))),
      m_next(TimingField(QStringLiteral("TexteTimingData1"))),
      m_countdown(new QLabel(QStringLiteral("..."))),
      m_lastSuccess(TimingField(QStringLiteral("TexteDernierReussi"))),
      m_lastSuccessCaption(Caption("Dernier réussi")),
      m_lastResult(new QLabel),
      m_schedule(new QLabel),
      m_setupHint(new QLabel(QStringLiteral(
          "Le programme n'est pas encore paramétré : indiquez les dossiers et les stations "
          "dans Fichier > Options..."))),
      m_charger(new QPushButton(QStringLiteral("Lancer l'import"))),
      m_copy(new QLabel(QStringLiteral("Copie des données en cours"))),
      m_copyBar(Bar(QStringLiteral("ProgressBarCopie"))),
      m_transfer(new QLabel(QStringLiteral("Transfert des données en cours"))),
      m_transferCaption(new QLabel),
      m_transferBar(Bar(QStringLiteral("ProgressBarTransfert"))),
      m_transferItemBar(Bar(QStringLiteral("ProgressBarTransfert2"))),
      m_timer1(new QTimer(this)),
      m_timerDonnees(new QTimer(this)),
      m_timerTransfert(new QTimer(this)) {
    setObjectName(QStringLiteral("Frm_Main"));
    setWindowTitle(QString::fromUtf8(kDesignCaption));
    setWindowIcon(ProgramIcon());
    setCentralWidget(BuildLoadPanel());
    BuildMenus();

    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kTimer1Ms);
    m_timerDonnees->setObjectName(QStringLiteral("TimerDonnees"));
    m_timerDonnees->setInterval(kTimerDonneesMs);
    m_timerTransfert->setObjectName(QStringLiteral("TimerTransfert"));
    m_timerTransfert->setInterval(kTimerTransfertMs);
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::BuildLoadPanel() {
    m_clock->setObjectName(QStringLiteral("LabelTiming"));
    m_clock->setProperty("value", true);
    m_clock->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_countdown->setObjectName(QStringLiteral("LabelCompteur"));
    m_countdown->setProperty("value", true);
    m_lastResult->setObjectName(QStringLiteral("LabelDernierEssai"));
    m_lastResult->setWordWrap(true);
    m_lastResult->hide();
    m_schedule->setObjectName(QStringLiteral("LabelProgramme"));
    m_setupHint->setObjectName(QStringLiteral("LabelParametrage"));
    m_setupHint->setWordWrap(true);
    m_setupHint->setProperty("alarm", true);
    m_setupHint->hide();
    m_charger->setObjectName(QStringLiteral("CommandCharger"));
    m_charger->setToolTip(QStringLiteral("Forcer le chargement les données"));
    m_copy->setObjectName(QStringLiteral("LabelCopie"));
    KeepRoomWhenHidden(*m_copy);
    m_copy->hide();
    m_transfer->setObjectName(QStringLiteral("LabelTransfert0"));
    KeepRoomWhenHidden(*m_transfer);
    m_transfer->hide();
    m_transferCaption->setObjectName(QStringLiteral("LabelTransfert1"));
    // A long caption is cut rather than widening the window.
    m_transferCaption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_transferCaption->setMinimumWidth(1);

    auto* chargement = Caption("Chargement");
    chargement->setObjectName(QStringLiteral("Label1_0"));
    chargement->setProperty("value", true);

    auto* timing = new QGridLayout;
    timing->addWidget(chargement, 0, 0);
    timing->addWidget(m_clock, 0, 1, 1, 2);
    timing->addWidget(Caption("Précédent"), 1, 0);
    timing->addWidget(m_last, 1, 1);
    timing->addWidget(Caption("Prochain"), 2, 0);
    timing->addWidget(m_next, 2, 1);
    timing->addWidget(m_countdown, 2, 2);
    timing->addWidget(m_lastSuccessCaption, 3, 0);
    timing->addWidget(m_lastSuccess, 3, 1, 1, 2);
    timing->addWidget(m_lastResult, 4, 1, 1, 2);
    timing->addWidget(m_schedule, 5, 0, 1, 3);
    timing->addWidget(m_setupHint, 6, 0, 1, 3);
    timing->setColumnStretch(1, 1);
    timing->setColumnMinimumWidth(2, 90);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* button = new QHBoxLayout;
    button->addWidget(m_charger);
    button->addStretch();

    auto* transfer = new QHBoxLayout;
    transfer->addWidget(m_transfer);
    transfer->addSpacing(8);
    transfer->addWidget(m_transferCaption, 1);

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);
    layout->addLayout(timing);
    layout->addWidget(line);
    layout->addLayout(button);
    layout->addWidget(m_copy);
    layout->addWidget(m_copyBar);
    layout->addLayout(transfer);
    layout->addWidget(m_transferBar);
    layout->addWidget(m_transferItemBar);
    layout->addStretch();
    return central;
}

void MainWindow::BuildMenus() {
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&Fichier"));
    m_fileMenu->setObjectName(QStringLiteral("Mnu01Main"));
    QAction* options = m_fileMenu->addAction(QStringLiteral("Options..."));
    options->setObjectName(QStringLiteral("Mnu01Options"));
    connect(options, &QAction::triggered, this, &MainWindow::Mnu01Options_Click);
    QAction* log = m_fileMenu->addAction(QStringLiteral("Lecture des Logs..."));
    log->setObjectName(QStringLiteral("Mnu01Log"));
    connect(log, &QAction::triggered, this, [this] {
        if (m_loader != nullptr) {
            m_loader->LectureLog();
        }
    });
    m_fileMenu->addSeparator();
    QAction* quit = m_fileMenu->addAction(QStringLiteral("Quitter"));
    quit->setObjectName(QStringLiteral("Mnu01Quitter"));
    connect(quit, &QAction::triggered, this, &MainWindow::Mnu01Quitter_Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
    help->setObjectName(QStringLiteral("Mnu99"));
    QAction* about = help->addAction(QStringLiteral("A propos..."));
    about->setObjectName(QStringLiteral("MnuAbout"));
    connect(about, &QAction::triggered, this, &MainWindow::MnuAbout_Click);
}

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
