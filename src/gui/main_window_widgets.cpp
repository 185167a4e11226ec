// The main window's widgets: the load panel, the menus and the timers, made once.
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

#include "core/app/loader.h"
#include "gui/main_window.h"
#include "gui/options_window.h"
#include "gui/program_icon.h"
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

}  // namespace ks::gui
