#include "gui/about_box.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "core/base/dialogs.h"
#include "gui/program_icon.h"
#include "gui/qt_ports.h"
#include "platform/cp1252.h"

namespace ks::gui {
namespace {

constexpr int kIconSize = 48;

QFrame* Line() {
    auto* line = new QFrame;
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

AboutBox::AboutBox(const std::string& version, std::string caption, Dialogs& dialogs,
                   QWidget* parent)
    : QDialog(parent), m_caption(std::move(caption)), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("FrmAbout"));
    setWindowTitle(QStringLiteral("À propos de Kestrel Player de secours"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(ProgramPixmap(kIconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* title = new QLabel(QStringLiteral("Kestrel Player de secours"));
    title->setObjectName(QStringLiteral("lblTitle"));
    title->setProperty("title", true);
    auto* versionLabel = new QLabel(QStringLiteral("Version ") + FromCp(version));
    versionLabel->setObjectName(QStringLiteral("lblVersion"));

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    auto* sysInfo = new QPushButton(QStringLiteral("&Infos système..."));
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setAutoDefault(false);
    connect(sysInfo, &QPushButton::clicked, this, &AboutBox::StartSysInfo);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(versionLabel);
    text->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Line());
    layout->addLayout(buttons);
    setMinimumWidth(380);
}

QStringList AboutBox::SysInfoTools() {
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter")};
}

void AboutBox::StartSysInfo() {
    for (const QString& tool : SysInfoTools()) {
        const QString path = QStandardPaths::findExecutable(tool);
        if (!path.isEmpty() && QProcess::startDetached(path, {})) {
            return;
        }
    }
    m_dialogs.MessageBox(MsgIcon::Information, MsgButtons::Ok, m_caption,
                         "Les informations système ne sont pas disponibles actuellement"_cp);
}

}  // namespace ks::gui
