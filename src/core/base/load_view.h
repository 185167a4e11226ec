// The load view port: what the main window shows of the loads. The core pushes values; the
// window draws them. Texts are Windows-1252.
#pragma once

#include <string>

namespace ks {

class LoadView {
  public:
    virtual ~LoadView() = default;

    virtual void ShowLastLoad(const std::string& text) = 0;   // "Précédent"
    virtual void ShowNextLoad(const std::string& text) = 0;   // "Prochain"
    virtual void ShowCountdown(const std::string& text) = 0;  // LabelCompteur
    virtual void ShowClock(const std::string& text) = 0;      // LabelTiming

    // TexteTimingData index 0 and 1 of the options window.
    virtual void ShowTimingData(int index, const std::string& text) = 0;

    virtual void ShowCopy(bool visible) = 0;      // LabelCopie
    virtual void SetCopyProgress(int value) = 0;  // ProgressBarCopie, 0 to 100
    // Beside LabelCopie, the file being copied and its bytes done ("" hides it): on a slow
    // share the bar stands still for as long as one file takes.
    virtual void ShowCopyDetail(const std::string& /*text*/) {}

    virtual void ShowTransfer(bool visible) = 0;      // LabelTransfert(0)
    virtual void BlinkTransfer() = 0;                 // LabelTransfert(0) visibility inverted
    virtual void SetTransferTimer(bool enabled) = 0;  // TimerTransfert, which blinks it
    virtual void SetTransferCaption(const std::string& text) = 0;  // LabelTransfert(1)
    virtual void SetTransferProgress(int minimum, int maximum, int value) = 0;
    virtual void SetTransferItemProgress(int minimum, int maximum, int value) = 0;

    virtual void SetMenuEnabled(bool enabled) = 0;  // Mnu01Main

    // Besides the classic display: the last load that succeeded, how far the local music
    // schedule goes and, when it failed, how the last attempt ended ("" otherwise); `alarm`
    // when the last success is older than two periods or the last attempt failed. A view that
    // does not show them keeps this.
    virtual void ShowLoadHealth(const std::string& /*lastSuccess*/, const std::string& /*schedule*/,
                                const std::string& /*lastResult*/, bool /*alarm*/) {}
};

}  // namespace ks
