// The log viewer of the main window's menu: the pending trace lines are written first, so
// that the file shown is up to date; the operator picks a day's log (today's is proposed) and
// it opens in the desktop's text viewer. A name that does not exist is answered with a
// warning.
#pragma once

#include <string>
#include <string_view>

namespace ks {

class Clock;
class DailyTraceLog;
class Dialogs;
class ErrorHandler;
class FileOps;

class LogViewer {
  public:
    LogViewer(DailyTraceLog& trace, FileOps& files, Dialogs& dialogs, ErrorHandler& errors,
              Clock& clock)
        : m_trace(trace), m_files(files), m_dialogs(dialogs), m_errors(errors), m_clock(clock) {}

    // The main window's caption, the title of the warning.
    void SetCaption(std::string caption) { m_caption = std::move(caption); }

    // `folder` is the log folder (DossierLog); `fileName`, when not empty, is proposed in
    // place of today's file.
    void LectureLog(const std::string& folder, const std::string& fileName);

  private:
    DailyTraceLog& m_trace;
    FileOps& m_files;
    Dialogs& m_dialogs;
    ErrorHandler& m_errors;
    Clock& m_clock;
    std::string m_caption;
};

}  // namespace ks
