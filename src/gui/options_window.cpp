#include "gui/options_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValidator>

#include "gui/qt_ports.h"
#include "platform/cp1252.h"

namespace ks::gui {
namespace {

constexpr std::array<const char*, kFolderFieldCount> kFolderLabels = {
    "Config (Serveur)", "Config (Local)", "Temporaire"};
constexpr int kFolderFieldWidth = 360;

// A folder name must be one Windows-1252 can hold: the program's paths are Windows-1252.
class Cp1252Validator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*position*/) const override {
        return TryUtf8ToCp1252(input.toStdString()) ? Acceptable : Invalid;
    }
};

QString Name(const char* base, int index) {
    return QString::fromLatin1(base) + QString::number(index);
}

void Fill(QComboBox& box, const ComboList& list) {
    const QSignalBlocker blocker(box);
    box.clear();
    for (const std::string& line : list.Lines()) {
        box.addItem(FromCp(line));
    }
    box.setCurrentIndex(list.ListIndex());
}

}  // namespace

OptionsWindow::OptionsWindow(BackupSettings& settings, QWidget* parent)
    : QDialog(parent),
      m_settings(settings),
      m_place(*this, "FrmSetup"),
      m_frequence(new QComboBox),
      m_secours02(new QCheckBox(QStringLiteral("Actif"))),
      m_logNbMaxLignes(new QLineEdit) {
    setObjectName(QStringLiteral("FrmSetup"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(false);

    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("SftTabsOptions"));
    tabs->addTab(BuildDataTab(), QStringLiteral("Données"));
    tabs->addTab(BuildStationsTab(), QStringLiteral("Stations"));

    auto* save = new QPushButton(QStringLiteral("Enregistrer"));
    save->setObjectName(QStringLiteral("CommandSave"));
    save->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, [this] { m_settings.SaveSettings(); });
    auto* close = new QPushButton(QStringLiteral("Fermer"));
    close->setObjectName(QStringLiteral("CommandOK"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);
}

QWidget* OptionsWindow::BuildDataTab() {
    auto* loading = new QGroupBox(QStringLiteral("Chargement"));
    loading->setObjectName(QStringLiteral("MyFrameChargement"));
    m_frequence->setObjectName(QStringLiteral("ComboDataFrequence"));
    connect(m_frequence, &QComboBox::activated, this,
            [this](int index) { m_settings.SelectFrequence(index); });
    m_logNbMaxLignes->setObjectName(QStringLiteral("TexteLogNbMaxLignes"));
    m_logNbMaxLignes->setValidator(new QIntValidator(1, 9999, m_logNbMaxLignes));
    m_logNbMaxLignes->setMaximumWidth(80);
    connect(m_logNbMaxLignes, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_settings.SetTexteLogNbMaxLignes(ToCp(text)); });
    auto* loadingGrid = new QGridLayout(loading);
    loadingGrid->addWidget(new QLabel(QStringLiteral("Fréquence")), 0, 0);
    loadingGrid->addWidget(m_frequence, 0, 1);
    loadingGrid->addWidget(new QLabel(QStringLiteral("Lignes de trace en attente")), 1, 0);
    loadingGrid->addWidget(m_logNbMaxLignes, 1, 1, Qt::AlignLeft);
    loadingGrid->setColumnStretch(1, 1);

    auto* folders = new QGroupBox(QStringLiteral("Dossier des données"));
    folders->setObjectName(QStringLiteral("MyFrameData"));
    auto* folderGrid = new QGridLayout(folders);
    for (int index = 0; index < kFolderFieldCount; ++index) {
        auto* field = new QLineEdit;
        field->setObjectName(Name("TexteDossierData", index));
        field->setMinimumWidth(kFolderFieldWidth);
        field->setValidator(new Cp1252Validator(field));
        connect(field, &QLineEdit::textEdited, this, [this, index](const QString& text) {
            m_settings.SetTexteDossierData(index, ToCp(text));
        });
        auto* browse = new QToolButton;
        browse->setObjectName(Name("CommandDossierData", index));
        browse->setText(QStringLiteral("..."));
        connect(browse, &QToolButton::clicked, this, [this, index] {
            m_settings.ParcourirDossier(index);
            m_dossiers[static_cast<std::size_t>(index)]->setText(
                FromCp(m_settings.TexteDossierData(index)));
        });
        folderGrid->addWidget(
            new QLabel(QString::fromUtf8(kFolderLabels[static_cast<std::size_t>(index)])), index,
            0);
        folderGrid->addWidget(field, index, 1);
        folderGrid->addWidget(browse, index, 2);
        m_dossiers[static_cast<std::size_t>(index)] = field;
    }
    folderGrid->setColumnStretch(1, 1);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(loading);
    layout->addWidget(folders);
    layout->addStretch();
    return page;
}

QComboBox* OptionsWindow::StationList(int index) {
    auto* list = new QComboBox;
    list->setObjectName(Name("ComboStation", index));
    connect(list, &QComboBox::activated, this,
            [this, index](int line) { m_settings.SelectStation(index, line); });
    m_stations[static_cast<std::size_t>(index)] = list;
    return list;
}

QWidget* OptionsWindow::BuildStationsTab() {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (int set = 0; set < 2; ++set) {
        auto* frame =
            new QGroupBox(set == 0 ? QStringLiteral("Secours 01") : QStringLiteral("Secours 02"));
        frame->setObjectName(set == 0 ? QStringLiteral("MyFrameStations")
                                      : QStringLiteral("MyFrameStations2"));
        auto* grid = new QGridLayout(frame);
        int row = 0;
        if (set == 1) {
            m_secours02->setObjectName(QStringLiteral("CheckSecours02"));
            connect(m_secours02, &QCheckBox::clicked, this,
                    [this](bool checked) { m_settings.SetCheckSecours02(checked ? 1 : 0); });
            grid->addWidget(m_secours02, row++, 1);
        }
        grid->addWidget(new QLabel(QStringLiteral("Station (Serveur)")), row, 0);
        grid->addWidget(StationList(set * 2), row++, 1);
        grid->addWidget(new QLabel(QStringLiteral("Station (Local)")), row, 0);
        grid->addWidget(StationList(set * 2 + 1), row, 1);
        grid->setColumnStretch(1, 1);
        layout->addWidget(frame);
    }
    layout->addStretch();
    return page;
}

void OptionsWindow::Refresh() {
    Fill(*m_frequence, m_settings.ComboDataFrequence());
    for (int index = 0; index < kFolderFieldCount; ++index) {
        m_dossiers[static_cast<std::size_t>(index)]->setText(
            FromCp(m_settings.TexteDossierData(index)));
    }
    for (int index = 0; index < kStationListCount; ++index) {
        Fill(*m_stations[static_cast<std::size_t>(index)], m_settings.ComboStation(index));
    }
    {
        const QSignalBlocker blocker(m_secours02);
        m_secours02->setEnabled(m_settings.CheckSecours02Enabled());
        m_secours02->setChecked(m_settings.CheckSecours02() != 0);
    }
    m_logNbMaxLignes->setText(FromCp(m_settings.TexteLogNbMaxLignes()));
}

// The close box and Escape hide the window: it stays loaded, its fields keep their values.
void OptionsWindow::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}

void OptionsWindow::reject() {
    hide();
}

}  // namespace ks::gui
