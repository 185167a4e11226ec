#include "gui/qt_ports.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include "core/ports/console_ports.h"
#include "gui/task_dialog.h"
#include "platform/cp1252.h"

namespace ks::gui {

QString FromCp(const std::string& text) {
    return QString::fromStdString(Cp1252ToUtf8(text));
}

std::string ToCp(const QString& text) {
    return Utf8ToCp1252(text.toStdString());
}

void QtEventPump::DoEvents() {
    if (m_sinceLast.isValid() && m_sinceLast.elapsed() < kMinGapMs) {
        return;
    }
    // Started before the events run, so that a handler that pumps again is turned away.
    m_sinceLast.start();
    QApplication::processEvents();
}

namespace {

QMessageBox::Icon IconOf(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MsgButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MsgButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MsgButtons::RetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case MsgButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

MsgAnswer AnswerOf(int button) {
    switch (button) {
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Retry:
            return MsgAnswer::Retry;
        default:
            return MsgAnswer::Ok;
    }
}

// "Logs|*.log" as Qt writes it, each pattern also in upper case and capitalised, since Qt
// matches names with regard to case on Linux and the daily logs end in ".Log".
QString QtFilter(const std::string& filter) {
    const QString text = FromCp(filter);
    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    const QString name = bar < 0 ? text : text.left(bar);
    QStringList patterns;
    for (const QString& pattern : text.mid(bar + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype dot = pattern.lastIndexOf(QLatin1Char('.'));
        patterns << pattern.toLower() << pattern.toUpper();
        if (dot >= 0 && dot + 1 < pattern.size()) {
            patterns << pattern.left(dot + 1).toLower() + pattern.at(dot + 1).toUpper() +
                            pattern.mid(dot + 2).toLower();
        }
    }
    patterns.removeDuplicates();
    return name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

void QtDialogs::AnswerByDefault() {
    m_byDefault = true;
    // The open messages are traced now, before the shutdown that follows the stop closes the
    // trace file; closing a dialog only asks its loop to end, and the callers then return
    // one by one, innermost first, each with its default.
    const std::vector<Open> open = m_open;
    for (const Open& entry : open) {
        if (entry.message != nullptr && m_trace != nullptr) {
            TraceDefaultAnswer(*m_trace, *entry.message);
        }
        if (!entry.dialog.isNull()) {
            entry.dialog->done(QDialog::Rejected);
        }
    }
}

int QtDialogs::Run(QDialog& dialog, const std::function<int()>& exec, const std::string* message) {
    m_open.push_back({&dialog, message});
    const int result = exec();
    m_open.pop_back();
    return result;
}

MsgAnswer QtDialogs::MessageBox(MsgIcon icon, MsgButtons buttons, const std::string& title,
                                const std::string& text) {
    if (m_byDefault) {
        if (m_trace != nullptr) {
            TraceDefaultAnswer(*m_trace, text);
        }
        return DefaultAnswer(buttons);
    }
    QMessageBox box(IconOf(icon), FromCp(title), FromCp(text), ButtonsOf(buttons), m_parent);
    // Brought to the foreground once shown, where the operator sees it.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    const int button = Run(
        box, [&box] { return box.exec(); }, &text);
    // A stop that came meanwhile has answered it.
    return m_byDefault ? DefaultAnswer(buttons) : AnswerOf(button);
}

std::int32_t QtDialogs::TaskDialog(const TaskDialogRequest& request,
                                   const std::function<bool(std::int64_t)>& onTimer) {
    if (m_byDefault) {
        return kTaskButtonOk;
    }
    gui::TaskDialog dialog(request, onTimer, m_parent);
    return Run(dialog, [&dialog] { return dialog.Run(); });
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::string& title,
                                                   const std::string& initialFolder) {
    if (m_byDefault) {
        return std::nullopt;
    }
    // Qt's own dialog, which speaks the program's language and closes on a stop.
    QFileDialog dialog(m_parent, FromCp(title), FromCp(initialFolder));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (Run(dialog, [&dialog] { return dialog.exec(); }) != QDialog::Accepted || m_byDefault ||
        dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return TryUtf8ToCp1252(dialog.selectedFiles().constFirst().toStdString());
}

std::optional<std::string> QtDialogs::ChooseFile(const std::string& title,
                                                 const std::string& initialFolder,
                                                 const std::string& filter) {
    if (m_byDefault) {
        return std::nullopt;
    }
    QFileDialog dialog(m_parent, FromCp(title), QString(), QtFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // A typed name that does not exist is handed back, for the caller to say so.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QFileInfo initial(FromCp(initialFolder));
    if (initial.isDir()) {
        dialog.setDirectory(initial.absoluteFilePath());
    } else {
        dialog.setDirectory(initial.absolutePath());
        dialog.selectFile(initial.fileName());
    }
    if (Run(dialog, [&dialog] { return dialog.exec(); }) != QDialog::Accepted || m_byDefault ||
        dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return TryUtf8ToCp1252(dialog.selectedFiles().constFirst().toStdString());
}

bool QtDialogs::OpenInViewer(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(FromCp(path)));
}

}  // namespace ks::gui
