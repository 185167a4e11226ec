// Frm_Main, the main window: the running clock, the last and next load with the countdown,
// the last load that succeeded and how far the local music schedule goes, the copy and
// transfer indicators, the button "Lancer l'import", the menus, and the three timers that
// drive the program. It performs the start-up (one instance per program folder, the look,
// the options window loaded hidden, its saved place) and the shutdown, after the quit
// question when the operator closes it.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

#include "core/base/load_view.h"
#include "core/sys/instance_lock.h"
#include "gui/window_place.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;

namespace ks {
class Dialogs;
class Loader;
}  // namespace ks

namespace ks::gui {

class AboutBox;
class Look;
class OptionsWindow;

// The window's design caption, the title of the message that refuses a second instance.
inline constexpr const char* kDesignCaption = "Kestrel: Player de secours";

class MainWindow : public QMainWindow, public LoadView {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;
    Q_DISABLE_COPY_MOVE(MainWindow)

    // The core this window drives, the dialogs it asks through and the program's look; given
    // once the core is built, since the core needs this window as its load view first.
    void Attach(Loader& loader, Dialogs& dialogs, Look& look);

    // The start-up. False when it was refused (another instance holds the program's folder:
    // the message has been shown) or stopped by the system meanwhile; the shutdown has run
    // and the caller ends.
    bool Form_Load();
    bool Refused() const { return m_refused; }

    // Closes the window without the quit question (the Quit item once answered, a stop asked
    // by the system); a load that is running ends first.
    void CloseByProgram();

    // The shutdown in its order, once; the event loop is then left.
    void Unload();
    bool Unloaded() const { return m_unloaded; }

    OptionsWindow& Options() { return *m_options; }
    FormWindow& Place() { return m_place; }

    // --- LoadView ----------------------------------------------------------------------------
    void ShowLastLoad(const std::string& text) override;
    void ShowNextLoad(const std::string& text) override;
    void ShowCountdown(const std::string& text) override;
    void ShowClock(const std::string& text) override;
    void ShowTimingData(int index, const std::string& text) override;
    void ShowCopy(bool visible) override;
    void SetCopyProgress(int value) override;
    void ShowCopyDetail(const std::string& text) override;
    void ShowTransfer(bool visible) override;
    void BlinkTransfer() override;
    void SetTransferTimer(bool enabled) override;
    void SetTransferCaption(const std::string& text) override;
    void SetTransferProgress(int minimum, int maximum, int value) override;
    void SetTransferItemProgress(int minimum, int maximum, int value) override;
    void SetMenuEnabled(bool enabled) override;
    void ShowLoadHealth(const std::string& lastSuccess, const std::string& schedule,
                        const std::string& lastResult, bool alarm) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    QWidget* BuildLoadPanel();
    // Says, while the folders a load needs are not set, where to set them.
    void ShowSetupHint();
    // Runs a call into the load cycle; a shutdown accepted meanwhile runs once it returns.
    void InCycle(const std::function<void()>& call);
    // The quit question, unless a load runs: then it is put when the load returns. True when
    // the program is to end now.
    bool AskToQuit();
    void Mnu01Options_Click();
    void Mnu01Quitter_Click();
    void MnuAbout_Click();

    Loader* m_loader = nullptr;
    Dialogs* m_dialogs = nullptr;
    Look* m_look = nullptr;
    std::unique_ptr<OptionsWindow> m_options;
    QPointer<AboutBox> m_about;  // deletes itself when closed
    std::optional<InstanceLock> m_instance;
    WindowPlace m_place;

    QLabel* m_clock;
    QLineEdit* m_last;
    QLineEdit* m_next;
    QLabel* m_countdown;
    QLineEdit* m_lastSuccess;
    QLabel* m_lastSuccessCaption;
    QLabel* m_lastResult;
    QLabel* m_schedule;
    QLabel* m_setupHint;
    QPushButton* m_charger;
    QLabel* m_copy;
    QProgressBar* m_copyBar;
    QLabel* m_transfer;
    QLabel* m_transferCaption;
    QProgressBar* m_transferBar;
    QProgressBar* m_transferItemBar;
    QMenu* m_fileMenu = nullptr;
    QTimer* m_timer1;
    QTimer* m_timerDonnees;
    QTimer* m_timerTransfert;

    bool m_loaded = false;          // the start-up went through
    bool m_closeByProgram = false;  // the next close asks nothing
    bool m_unloaded = false;
    bool m_refused = false;          // another instance holds the program's folder
    bool m_unloadPending = false;    // accepted during a load: runs when the load returns
    bool m_questionPending = false;  // asked during a load: put when the load returns
    int m_cycleDepth = 0;
};

}  // namespace ks::gui
