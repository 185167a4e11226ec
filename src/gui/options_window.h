// FrmSetup, the options window: the load period, the three folders with their browse
// buttons, the stations of the two backup sets and the switch of the second one, and the
// trace flush threshold. Its controls edit the live backup settings (BackupSettings) at
// once; "Enregistrer" stores them, "Fermer" and the close box only hide the window, which
// stays loaded for the life of the program.
#pragma once

#include <QDialog>
#include <array>

#include "core/settings/backup_settings.h"
#include "gui/window_place.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ks::gui {

class OptionsWindow : public QDialog {
    Q_OBJECT

  public:
    OptionsWindow(BackupSettings& settings, QWidget* parent);

    // Shows every setting as the model holds it (after loading, after a browse).
    void Refresh();

    FormWindow& Place() { return m_place; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    QWidget* BuildDataTab();
    QWidget* BuildStationsTab();
    QComboBox* StationList(int index);

    BackupSettings& m_settings;
    WindowPlace m_place;
    QComboBox* m_frequence;
    std::array<QLineEdit*, kFolderFieldCount> m_dossiers{};
    std::array<QComboBox*, kStationListCount> m_stations{};
    QCheckBox* m_secours02;
    QLineEdit* m_logNbMaxLignes;
};

}  // namespace ks::gui
