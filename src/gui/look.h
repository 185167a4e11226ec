// The suite's look on this platform: the style number recorded for the suite picks one of
// twenty colour schemes, drawn with Qt's Fusion style (style 20 and unknown numbers keep the
// platform's own style), and every window gets one consistent set of fonts and colours per
// kind of control: fields, labels, lists, boxes, bars, the "MyFrame" frames with their
// coloured headers and the "SftTabs" tab strips.
#pragma once

#include <QRgb>
#include <QString>
#include <cstdint>

class QWidget;

namespace ks::gui {

// The colours of one scheme of the style table.
struct LookScheme {
    const char* name;  // the scheme file of the style table, for the reader
    QRgb window;
    QRgb windowText;
    QRgb base;  // text fields and lists
    QRgb text;
    QRgb button;
    QRgb buttonText;
    QRgb highlight;  // selections and the progress bars' fill
    QRgb highlightedText;
    QRgb headerTop;  // the frames' headers and the active tab, top to bottom
    QRgb headerBottom;
    QRgb headerText;
    QRgb border;
};

inline constexpr std::int32_t kLookStyleCount = 20;

// The scheme of style `style`; nullptr for style 20 and any unknown number (platform look).
const LookScheme* SchemeOfStyle(std::int32_t style);

// The red of texts that call for the operator (property "alarm" set true), readable on the
// fields and the window of a scheme whose fields are light or dark.
QRgb AlarmColour(QRgb fieldBackground);

class Look {
  public:
    // Loads the look of `style` for the whole program (InitGeneralLook): Fusion with the
    // scheme's palette, or the platform's own style and palette.
    void InitGeneralLook(std::int32_t style);

    // Fonts and colours of every control of `window` by its kind (LookFenetre, mode 1).
    void LookFenetre(QWidget& window) const;

    std::int32_t Style() const { return m_style; }

  private:
    std::int32_t m_style = kLookStyleCount;
    const LookScheme* m_scheme = nullptr;
    QString m_platformStyle;  // the style the program started with
};

}  // namespace ks::gui
