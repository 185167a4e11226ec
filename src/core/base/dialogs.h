// The dialogs port: every window the core asks the operator to answer or to look at. Texts
// are Windows-1252; the desktop implementation converts them for the screen.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ks {

enum class MsgIcon { None, Information, Question, Warning, Critical };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
// Values of the classic message box answers.
enum class MsgAnswer { Ok = 1, Cancel = 2, Retry = 4, Yes = 6, No = 7 };

struct TaskDialogRequest {
    std::string windowTitle;
    std::string mainInstruction;
    std::string content;  // empty: none
    std::string footer;   // empty: none
    std::int32_t icon = 0;
    std::int32_t width = 0;
};

// Task dialog buttons, identifiers of the classic control.
inline constexpr std::int32_t kTaskButtonOk = 1;

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A modal message box; returns the button pressed.
    virtual MsgAnswer MessageBox(MsgIcon icon, MsgButtons buttons, const std::string& title,
                                 const std::string& text) = 0;

    // A modal task dialog with one OK button. `onTimer` is called periodically with the
    // milliseconds since the dialog opened; when it returns true the dialog presses its
    // default button. Returns the identifier of the button that closed the dialog.
    virtual std::int32_t TaskDialog(const TaskDialogRequest& request,
                                    const std::function<bool(std::int64_t elapsedMs)>& onTimer) = 0;

    // A folder chooser starting at `initialFolder`; nullopt when cancelled.
    virtual std::optional<std::string> ChooseFolder(const std::string& title,
                                                    const std::string& initialFolder) = 0;

    // A file chooser in `initialFolder` limited by `filter` ("Logs|*.log": a name, "|" and
    // the patterns, matched without regard to case). When `initialFolder` names a file, that
    // file is proposed in its folder.
    virtual std::optional<std::string> ChooseFile(const std::string& title,
                                                  const std::string& initialFolder,
                                                  const std::string& filter) = 0;

    // Opens a text file in the desktop's viewer; false when it could not be started.
    virtual bool OpenInViewer(const std::string& path) = 0;
};

}  // namespace ks
