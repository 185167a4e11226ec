#include "gui/task_dialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/qt_ports.h"

namespace ks::gui {
namespace {

constexpr int kTimerMs = 100;
constexpr int kIconSize = 32;
// The main icon codes the program passes: 2 is the database report's warning.
constexpr std::int32_t kIconWarning = 2;
constexpr std::int32_t kIconError = 3;

QStyle::StandardPixmap PixmapOf(std::int32_t icon) {
    switch (icon) {
        case kIconWarning:
            return QStyle::SP_MessageBoxWarning;
        case kIconError:
            return QStyle::SP_MessageBoxCritical;
        default:
            return QStyle::SP_MessageBoxInformation;
    }
}

QLabel* WrappedLabel(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(FromCp(text), parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

TaskDialog::TaskDialog(const TaskDialogRequest& request, OnTimer onTimer, QWidget* parent)
    : QDialog(parent), m_onTimer(std::move(onTimer)), m_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("TaskDialog"));
    setWindowTitle(FromCp(request.windowTitle));

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(PixmapOf(request.icon)).pixmap(kIconSize, kIconSize));
    icon->setAlignment(Qt::AlignTop);

    auto* instruction = WrappedLabel(request.mainInstruction, this);
    instruction->setObjectName(QStringLiteral("MainInstruction"));
    QFont large = instruction->font();
    large.setPointSizeF(large.pointSizeF() * 1.3);
    large.setBold(true);
    instruction->setFont(large);

    auto* grid = new QGridLayout;
    grid->addWidget(icon, 0, 0, 2, 1);
    grid->addWidget(instruction, 0, 1);
    if (!request.content.empty()) {
        auto* content = WrappedLabel(request.content, this);
        content->setObjectName(QStringLiteral("Content"));
        grid->addWidget(content, 1, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(12);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    if (!request.footer.empty()) {
        auto* line = new QFrame(this);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        layout->addWidget(line);
        auto* footer = WrappedLabel(request.footer, this);
        footer->setObjectName(QStringLiteral("Footer"));
        layout->addWidget(footer);
    }
    if (request.width > 0) {
        setMinimumWidth(request.width);
    }

    m_timer->setInterval(kTimerMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_onTimer && m_onTimer(m_elapsed.elapsed())) {
            m_ok->click();
        }
    });
}

std::int32_t TaskDialog::Run() {
    m_elapsed.start();
    m_timer->start();
    exec();
    m_timer->stop();
    // OK is the dialog's one button; closing it by its close box counts as OK too.
    return kTaskButtonOk;
}

}  // namespace ks::gui
