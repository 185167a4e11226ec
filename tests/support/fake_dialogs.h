// Dialogs for tests: every request is recorded and answered from a script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/base/dialogs.h"

namespace ks::test {

class FakeDialogs : public Dialogs {
  public:
    struct Message {
        MsgIcon icon;
        MsgButtons buttons;
        std::string title;
        std::string text;
    };

    MsgAnswer MessageBox(MsgIcon icon, MsgButtons buttons, const std::string& title,
                         const std::string& text) override {
        messages.push_back({icon, buttons, title, text});
        if (whileOpen) {
            std::exchange(whileOpen, {})();
        }
        if (answers.empty()) {
            return MsgAnswer::Ok;
        }
        const MsgAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // Without a scripted button, the dialog is left alone: the timer runs (in 100 ms steps)
    // until the callback presses the default button, as an unattended machine would see.
    std::int32_t TaskDialog(const TaskDialogRequest& request,
                            const std::function<bool(std::int64_t)>& onTimer) override {
        taskDialogs.push_back(request);
        if (!taskButtons.empty()) {
            const std::int32_t button = taskButtons.front();
            taskButtons.pop_front();
            return button;
        }
        for (std::int64_t elapsed = 100; elapsed <= 60'000; elapsed += 100) {
            if (onTimer && onTimer(elapsed)) {
                return kTaskButtonOk;
            }
        }
        return kTaskButtonOk;
    }

    std::optional<std::string> ChooseFolder(const std::string& title,
                                            const std::string& initialFolder) override {
        folderRequests.push_back(title + "|" + initialFolder);
        return folderAnswer;
    }

    std::optional<std::string> ChooseFile(const std::string& title,
                                          const std::string& initialFolder,
                                          const std::string& filter) override {
        fileRequests.push_back(title + "|" + initialFolder + "|" + filter);
        return fileAnswer;
    }

    bool OpenInViewer(const std::string& path) override {
        opened.push_back(path);
        return viewerWorks;
    }

    std::deque<MsgAnswer> answers;
    // Runs once while the next message box is open, as the events its own loop delivers.
    std::function<void()> whileOpen;
    std::deque<std::int32_t> taskButtons;
    std::optional<std::string> folderAnswer;
    std::optional<std::string> fileAnswer;
    bool viewerWorks = true;

    std::vector<Message> messages;
    std::vector<TaskDialogRequest> taskDialogs;
    std::vector<std::string> folderRequests;
    std::vector<std::string> fileRequests;
    std::vector<std::string> opened;
};

}  // namespace ks::test
