#include "gui/look.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QToolButton>
#include <array>

namespace ks::gui {
namespace {

// One row per style number, 0 to 19, after the scheme files of the suite's skins. The
// colours are ours: a light or dark body, a tinted header and a highlight in the scheme's
// spirit, each text colour chosen to stay readable on its background.
const std::array<LookScheme, kLookStyleCount> kSchemes = {{
    {"Vista NormalBlack", 0x2b2b2b, 0xf0f0f0, 0x1e1e1e, 0xf0f0f0, 0x3c3c3c, 0xf0f0f0, 0x3d8ee6,
     0x000000, 0x505050, 0x1f1f1f, 0xffffff, 0x5a5a5a},
    {"Vista NormalBlack2", 0x323438, 0xeeeeee, 0x232528, 0xeeeeee, 0x43464b, 0xeeeeee, 0x6aa8e0,
     0x000000, 0x5e6167, 0x2c2e31, 0xffffff, 0x62656b},
    {"Vista NormalBlue", 0xdbe6f4, 0x10203a, 0xffffff, 0x10203a, 0xc9daf0, 0x10203a, 0x2f6bbf,
     0xffffff, 0x3f74c0, 0x2c5ea5, 0xffffff, 0x7f9fcc},
    {"Vista NormalSilver", 0xe6e8ec, 0x1c1f24, 0xffffff, 0x1c1f24, 0xd5d9df, 0x1c1f24, 0x56657c,
     0xffffff, 0xc4cad3, 0x98a2b1, 0x111418, 0x9aa3b0},
    {"WinXP.Royale NormalRoyale", 0xebe9ed, 0x101010, 0xffffff, 0x101010, 0xf3f3f6, 0x101010,
     0x335ea8, 0xffffff, 0x3d6fc4, 0x1d4a9a, 0xffffff, 0x8c9bb8},
    {"WinXP.Luna NormalBlue", 0xece9d8, 0x000000, 0xffffff, 0x000000, 0xf4f2e8, 0x000000, 0x316ac5,
     0xffffff, 0x2a6ee6, 0x0041b8, 0xffffff, 0x7f9db9},
    {"WinXP.Luna NormalHomeStead", 0xece9d8, 0x000000, 0xffffff, 0x000000, 0xf2efe2, 0x000000,
     0x5f6e3a, 0xffffff, 0x6b7d40, 0x4e5c2c, 0xffffff, 0xa4b084},
    {"WinXP.Luna NormalMetallic", 0xe8e8ef, 0x000000, 0xffffff, 0x000000, 0xf2f2f6, 0x000000,
     0x5f5f86, 0xffffff, 0xd4d4e2, 0xa2a2bc, 0x15151f, 0xa5a5b9},
    {"Codejock NormalBlue", 0xd6e3f3, 0x0f1e33, 0xffffff, 0x0f1e33, 0xc4d7ef, 0x0f1e33, 0x2f6fbf,
     0xffffff, 0x4a76bd, 0x3b6cb4, 0xffffff, 0x8eaad3},
    {"Codejock NormalBlack", 0x3a3a3a, 0xf2f2f2, 0x262626, 0xf2f2f2, 0x4a4a4a, 0xf2f2f2, 0xe0a030,
     0x000000, 0x5e5e5e, 0x2a2a2a, 0xffffff, 0x6a6a6a},
    {"Office2007 NormalVistaBlue", 0xd5e4f2, 0x15283f, 0xffffff, 0x15283f, 0xc2d9f1, 0x15283f,
     0xf7c55c, 0x000000, 0xc5daf4, 0x94b6e3, 0x15283f, 0x8db2e3},
    {"Office2007 LightBlue", 0xe4eef9, 0x132a45, 0xffffff, 0x132a45, 0xd3e3f6, 0x132a45, 0x3273c0,
     0xffffff, 0xd7e6f8, 0xa9c7ee, 0x132a45, 0x9fbfe6},
    {"Office2007 NormalAqua", 0xdcecf2, 0x0e2a33, 0xffffff, 0x0e2a33, 0xc9e2ec, 0x0e2a33, 0x1e7fa0,
     0xffffff, 0x8fd0e6, 0x4aa9cc, 0x08232b, 0x86bfd3},
    {"Office2007 NormalVistaSilver", 0xe7eaee, 0x1a1d22, 0xffffff, 0x1a1d22, 0xd7dce2, 0x1a1d22,
     0x5d6a7a, 0xffffff, 0xdde1e7, 0xb0b8c4, 0x1a1d22, 0xa9b1bd},
    {"Office2007 NormalBlack", 0x444444, 0xf0f0f0, 0x2e2e2e, 0xf0f0f0, 0x595959, 0xf0f0f0, 0xf2b84b,
     0x000000, 0x6a6a6a, 0x333333, 0xffffff, 0x707070},
    {"iTunes Normalitunes", 0xdcdcdc, 0x111111, 0xffffff, 0x111111, 0xe9e9e9, 0x111111, 0x3470cc,
     0xffffff, 0xc8c8c8, 0x9a9a9a, 0x111111, 0x9c9c9c},
    {"Le5 NormalBlue", 0xdfe8f5, 0x0f1f38, 0xffffff, 0x0f1f38, 0xcddcf0, 0x0f1f38, 0x2a5caa,
     0xffffff, 0x4d74b8, 0x2f5aa0, 0xffffff, 0x8aa6d2},
    {"Thallos NormalThallos", 0xe0ece8, 0x0f2620, 0xffffff, 0x0f2620, 0xcfe3dc, 0x0f2620, 0x23735f,
     0xffffff, 0x2f7d69, 0x1f5e4d, 0xffffff, 0x8cbcae},
    {"Tiger NormalAppleB", 0xe8e8e8, 0x000000, 0xffffff, 0x000000, 0xf4f4f4, 0x000000, 0x2f6fd0,
     0xffffff, 0xeaeaea, 0xc4c4c4, 0x000000, 0xa6a6a6},
    {"Tiger NormalAppleG", 0xe8e8e8, 0x000000, 0xffffff, 0x000000, 0xf4f4f4, 0x000000, 0x5e6b78,
     0xffffff, 0xe4e4e4, 0xbcbcbc, 0x000000, 0xa0a0a0},
}};

QPalette PaletteOf(const LookScheme& scheme) {
    const QColor window(scheme.window);
    const QColor windowText(scheme.windowText);
    QPalette palette(QColor(scheme.button), window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, windowText);
    palette.setColor(QPalette::Base, QColor(scheme.base));
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, QColor(scheme.text));
    palette.setColor(QPalette::Button, QColor(scheme.button));
    palette.setColor(QPalette::ButtonText, QColor(scheme.buttonText));
    palette.setColor(QPalette::Highlight, QColor(scheme.highlight));
    palette.setColor(QPalette::HighlightedText, QColor(scheme.highlightedText));
    palette.setColor(QPalette::ToolTipBase, QColor(scheme.base));
    palette.setColor(QPalette::ToolTipText, QColor(scheme.text));
    palette.setColor(QPalette::PlaceholderText, QColor(scheme.border));
    // Disabled controls: the text fades halfway towards the background, still visible.
    const QColor faded = QColor::fromRgbF((windowText.redF() + window.redF()) / 2,
                                          (windowText.greenF() + window.greenF()) / 2,
                                          (windowText.blueF() + window.blueF()) / 2);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, faded);
    }
    return palette;
}

// "Arial" as the suite asks, with the metric-compatible and the everywhere-present fonts of
// Linux in turn.
QFont Font(int points, bool bold, bool rounded = false) {
    QFont font;
    QStringList families;
    if (rounded) {
        families << QStringLiteral("Arial Rounded MT Bold");
    }
    families << QStringLiteral("Arial") << QStringLiteral("Liberation Sans")
             << QStringLiteral("DejaVu Sans");
    font.setFamilies(families);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

QString Css(QRgb color) {
    return QColor(color).name(QColor::HexRgb);
}

// Texts that call for the operator, whatever the scheme.
QString AlarmRule(QRgb fieldBackground) {
    return QStringLiteral("*[alarm=\"true\"] { color: %1; }")
        .arg(Css(AlarmColour(fieldBackground)));
}

// The frames' headers and the tab strips' tabs, which the palette alone cannot colour.
QString StyleSheet(const LookScheme& scheme) {
    const QString gradient =
        QStringLiteral("qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)")
            .arg(Css(scheme.headerTop), Css(scheme.headerBottom));
    return QStringLiteral(
               "QGroupBox[objectName^=\"MyFrame\"] { border: 1px solid %1; border-radius: 4px;"
               " margin-top: 1.3em; padding-top: 0.5em; }"
               "QGroupBox[objectName^=\"MyFrame\"]::title { subcontrol-origin: margin;"
               " subcontrol-position: top left; left: 8px; padding: 1px 8px; color: %2;"
               " background: %3; border: 1px solid %1; border-radius: 3px; }"
               "QTabWidget[objectName^=\"SftTabs\"] QTabBar::tab { background: %4; color: %5;"
               " border: 1px solid %1; padding: 4px 14px; margin-right: 2px;"
               " border-top-left-radius: 4px; border-top-right-radius: 4px; }"
               "QTabWidget[objectName^=\"SftTabs\"] QTabBar::tab:selected { background: %3;"
               " color: %2; }"
               "QTabWidget[objectName^=\"SftTabs\"]::pane { border: 1px solid %1; top: -1px; }")
        .arg(Css(scheme.border), Css(scheme.headerText), gradient, Css(scheme.button),
             Css(scheme.buttonText));
}

}  // namespace

QRgb AlarmColour(QRgb fieldBackground) {
    return qGray(fieldBackground) < 128 ? 0xffa0a0 : 0xb00000;
}

const LookScheme* SchemeOfStyle(std::int32_t style) {
    if (style < 0 || style >= kLookStyleCount) {
        return nullptr;
    }
    return &kSchemes[static_cast<std::size_t>(style)];
}

void Look::InitGeneralLook(std::int32_t style) {
    if (m_platformStyle.isEmpty()) {
        m_platformStyle = QApplication::style()->name();
    }
    m_style = style;
    m_scheme = SchemeOfStyle(style);
    QStyle* chosen =
        QStyleFactory::create(m_scheme != nullptr ? QStringLiteral("Fusion") : m_platformStyle);
    if (chosen == nullptr) {
        return;
    }
    QApplication::setStyle(chosen);
    QApplication::setPalette(m_scheme != nullptr ? PaletteOf(*m_scheme)
                                                 : chosen->standardPalette());
}

void Look::LookFenetre(QWidget& window) const {
    window.setFont(Font(9, false));
    // The frames first: their font is their header's; every control inside gets its own
    // kind's font below.
    for (QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        if (frame->objectName().startsWith(QStringLiteral("MyFrame"))) {
            frame->setFont(Font(9, true, true));
        }
    }
    for (QTabWidget* tabs : window.findChildren<QTabWidget*>()) {
        if (tabs->objectName().startsWith(QStringLiteral("SftTabs"))) {
            tabs->tabBar()->setFont(Font(9, true));
        }
    }
    // Values the program shows are bold; captions and the operator's entries are not.
    for (QLabel* label : window.findChildren<QLabel*>()) {
        const bool title = label->property("title").toBool();
        label->setFont(Font(title ? 12 : 9, title || label->property("value").toBool()));
    }
    for (QLineEdit* field : window.findChildren<QLineEdit*>()) {
        field->setFont(Font(9, field->isReadOnly()));
    }
    for (QComboBox* list : window.findChildren<QComboBox*>()) {
        list->setFont(Font(9, false));
    }
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        box->setFont(Font(9, true));
    }
    for (QAbstractButton* button : window.findChildren<QPushButton*>()) {
        button->setFont(Font(9, true));
    }
    for (QAbstractButton* button : window.findChildren<QToolButton*>()) {
        button->setFont(Font(9, true));
    }
    for (QProgressBar* bar : window.findChildren<QProgressBar*>()) {
        bar->setFont(Font(8, true));
    }
    window.setStyleSheet(m_scheme != nullptr
                             ? StyleSheet(*m_scheme) + AlarmRule(m_scheme->base)
                             : AlarmRule(QApplication::palette().color(QPalette::Base).rgb()));
}

}  // namespace ks::gui
