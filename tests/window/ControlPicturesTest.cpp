// Pictures of the transport controls in light and dark palettes at scales 1 and 2, written
// into the build folder to be looked at.

#include "platform/ui/ImageButton.h"
#include "support/WidgetPictures.h"
#include "window/TimeView.h"
#include "window/TimerBarBack.h"
#include "window/TimerBarSlider.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QSet>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
using lq::test::colourCount;
using lq::test::darkPalette;
using lq::test::LookGuard;
using lq::test::picture;

struct Strip
{
    Strip()
    {
        auto *layout = new QVBoxLayout(&window);
        auto *top = new QHBoxLayout;
        top->addWidget(&timeView);
        top->addWidget(&speed);
        layout->addLayout(top);
        // The playhead sits on the strip background, inset from its rounded ends.
        auto *backLayout = new QHBoxLayout(&back);
        backLayout->setContentsMargins(8, 2, 8, 2);
        backLayout->addWidget(&playhead);
        layout->addWidget(&back);
        auto *buttons = new QGridLayout;
        const char *families[] = {"LUMArecord",      "LUMAplay",       "LUMAreplay",
                                  "LUMAreplay-bare", "LUMArewind",     "LUMAfast_forward",
                                  "LUMApause",       "previous-slide", "next-slide"};
        int column = 0;
        for (const char *family : families) {
            const QString name = QString::fromLatin1(family);
            const QString looks[] = {name, name + u"-disabled"_s, name + u"-active"_s};
            for (int row = 0; row < 3; ++row) {
                auto *button = new lq::ImageButton;
                button->setImages(looks[row]);
                button->setEnabled(row != 1);
                buttons->addWidget(button, row, column);
            }
            ++column;
        }
        layout->addLayout(buttons);
        timeView.setObjectValue(lq::clockEpoch().addingTimeInterval(3725.0));
        speed.showSpeed(2.0);
        playhead.setValue(40.0);
        playhead.setLit(true);
        window.resize(340, window.sizeHint().height());
        window.show();
    }
    QWidget window;
    TimeView timeView;
    SpeedSlider speed;
    TimerBarBack back;
    TimerBarSlider playhead;
};

TEST(ControlPicturesTest, ControlsInLightAndDarkPalettesAtScalesOneAndTwo)
{
    LookGuard guard;
    const QDir folder(QCoreApplication::applicationDirPath());
    // Light and dark with our own images; then with the desktop's usual icon theme, where this
    // machine has it.
    const struct
    {
        const char *name;
        bool dark;
        QString theme;
    } looks[] = {{"light", false, guard.theme},
                 {"dark", true, guard.theme},
                 {"themed", false, u"Adwaita"_s}};
    for (const auto &look : looks) {
        const bool dark = look.dark;
        QApplication::setPalette(dark ? darkPalette() : guard.saved);
        // The offscreen platform does not look where desktops keep their themes.
        QIcon::setThemeSearchPaths(guard.themePaths + QStringList{u"/usr/share/icons"_s});
        QIcon::setThemeName(look.theme);
        Strip strip;
        // Laid out side by side, none hidden under another.
        for (QWidget *widget :
             {static_cast<QWidget *>(&strip.timeView), static_cast<QWidget *>(&strip.speed),
              static_cast<QWidget *>(&strip.back)}) {
            EXPECT_TRUE(widget->isVisible());
            EXPECT_GT(widget->width(), 0);
        }
        EXPECT_FALSE(strip.timeView.geometry().intersects(strip.speed.geometry()));
        EXPECT_TRUE(
            strip.back.geometry().contains(strip.playhead.geometry().translated(strip.back.pos())));
        for (const qreal scale : {1.0, 2.0}) {
            SCOPED_TRACE(testing::Message() << look.name << " @" << scale);
            const QImage image = picture(strip.window, scale);
            EXPECT_EQ(image.size(), strip.window.size() * scale);
            EXPECT_GT(colourCount(image), 20); // not blank
            const QString name = QStringLiteral("window-controls-%1@%2x.png")
                                     .arg(QLatin1String(look.name))
                                     .arg(int(scale));
            EXPECT_TRUE(image.save(folder.filePath(name)));
        }
    }
}

} // namespace
