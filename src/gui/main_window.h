// The main window as far as the program goes today: the running clock and the fields of the
// load display, drawn from what the core pushes through the LoadView port.
#pragma once

#include <QMainWindow>

#include "core/ports/load_view.h"

class QLabel;
class QProgressBar;
class QTimer;

namespace ks::gui {

class MainWindow : public QMainWindow, public LoadView {
    Q_OBJECT

  public:
    explicit MainWindow(QWidget* parent = nullptr);

    void ShowLastLoad(const std::string& text) override;
    void ShowNextLoad(const std::string& text) override;
    void ShowCountdown(const std::string& text) override;
    void ShowClock(const std::string& text) override;
    void ShowTimingData(int index, const std::string& text) override;
    void ShowCopy(bool visible) override;
    void SetCopyProgress(int value) override;
    void ShowTransfer(bool visible) override;
    void BlinkTransfer() override;
    void SetTransferTimer(bool enabled) override;
    void SetTransferCaption(const std::string& text) override;
    void SetTransferProgress(int minimum, int maximum, int value) override;
    void SetTransferItemProgress(int minimum, int maximum, int value) override;
    void SetMenuEnabled(bool enabled) override;

  private:
    QLabel* m_clock;
    QLabel* m_last;
    QLabel* m_next;
    QLabel* m_countdown;
    QLabel* m_copy;
    QProgressBar* m_copyBar;
    QLabel* m_transfer;
    QLabel* m_transferCaption;
    QProgressBar* m_transferBar;
    QProgressBar* m_transferItemBar;
    QTimer* m_transferTimer;  // TimerTransfert: blinks the transfer caption
};

}  // namespace ks::gui
