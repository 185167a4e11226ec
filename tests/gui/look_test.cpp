// The look: every scheme of the style table keeps each text readable on its background, the
// recorded style picks the scheme (style 20 and unknown numbers keep the platform's style),
// and every window drawn in every scheme is written to screenshots/look_NN.png to be looked
// at.
#include "gui/look.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTabWidget>
#include <cmath>
#include <filesystem>

#include "desktop.h"
#include "platform/cp1252.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace ks::gui {
namespace {

// The contrast ratio of two colours as the web's accessibility guidelines define it.
double Luminance(QRgb rgb) {
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}
double Contrast(QRgb a, QRgb b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(LookTest, EveryTextOfEverySchemeReadsOnItsBackground) {
    // 4.5: the guidelines' minimum for ordinary text.
    for (std::int32_t style = 0; style < kLookStyleCount; ++style) {
        const LookScheme* scheme = SchemeOfStyle(style);
        ASSERT_NE(scheme, nullptr) << style;
        struct Pair {
            const char* what;
            QRgb text;
            QRgb background;
        };
        for (const Pair& pair : {Pair{"window", scheme->windowText, scheme->window},
                                 Pair{"field", scheme->text, scheme->base},
                                 Pair{"button", scheme->buttonText, scheme->button},
                                 Pair{"selection", scheme->highlightedText, scheme->highlight},
                                 Pair{"header top", scheme->headerText, scheme->headerTop},
                                 Pair{"header bottom", scheme->headerText, scheme->headerBottom},
                                 Pair{"alarm field", AlarmColour(scheme->base), scheme->base},
                                 Pair{"alarm label", AlarmColour(scheme->base), scheme->window}}) {
            EXPECT_GE(Contrast(pair.text, pair.background), 4.5)
                << "style " << style << " (" << scheme->name << "): " << pair.what;
        }
    }
    for (const std::int32_t style : {-1, 20, 21, 999}) {
        EXPECT_EQ(SchemeOfStyle(style), nullptr) << style;
    }
}

TEST(LookTest, TheStylePicksFusionWithItsPaletteOrKeepsThePlatformStyle) {
    test::App();
    const QString platform = QApplication::style()->name();
    Look look;
    look.InitGeneralLook(2);
    EXPECT_EQ(QApplication::style()->name(), "fusion");
    EXPECT_EQ(QApplication::palette().color(QPalette::Highlight),
              QColor(SchemeOfStyle(2)->highlight));
    look.InitGeneralLook(20);
    EXPECT_EQ(QApplication::style()->name(), platform);
    EXPECT_EQ(QApplication::palette(), QApplication::style()->standardPalette());
}

TEST(LookTest, EveryWindowInEveryScheme) {
    test::TempDir root;
    test::FakeClock clock;
    test::Desktop desktop(root.Folder(), clock);
    gui::MainWindow& window = desktop.window;
    ASSERT_TRUE(window.Form_Load());
    // A load in the middle of its transfer; the last attempt failed.
    window.ShowCopy(true);
    window.SetCopyProgress(100);
    window.ShowTransfer(true);
    window.SetTransferCaption("35: 2026120714 14:05:00");
    window.SetTransferProgress(0, 100, 60);
    window.SetTransferItemProgress(0, 100, 30);
    window.show();
    OptionsWindow& options = window.Options();
    options.show();

    const auto folder = std::filesystem::path(KS_BINARY_DIR) / "screenshots";
    std::filesystem::create_directories(folder);
    for (std::int32_t style = 0; style <= kLookStyleCount; ++style) {
        desktop.look.InitGeneralLook(style);
        desktop.look.LookFenetre(window);
        desktop.look.LookFenetre(options);
        window.ShowLoadHealth("07/12/2026 08:30:00 (Secours 01)",
                              "Programme chargé jusqu'au 14/12/2026 23:00"_cp,
                              "échec (dossier introuvable)"_cp, true);
        const QPixmap main = window.grab();
        options.findChild<QTabWidget*>("SftTabsOptions")->setCurrentIndex(1);
        const QPixmap stations = options.grab();
        options.findChild<QTabWidget*>("SftTabsOptions")->setCurrentIndex(0);
        const QPixmap data = options.grab();
        QPixmap sheet(main.width() + data.width() + stations.width(),
                      std::max({main.height(), data.height(), stations.height()}));
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        painter.drawPixmap(0, 0, main);
        painter.drawPixmap(main.width(), 0, data);
        painter.drawPixmap(main.width() + data.width(), 0, stations);
        painter.end();
        const QString name = QStringLiteral("look_%1.png").arg(style, 2, 10, QLatin1Char('0'));
        EXPECT_TRUE(sheet.save(QString::fromStdString((folder / name.toStdString()).string())));
    }
    window.Unload();
}

}  // namespace
}  // namespace ks::gui
