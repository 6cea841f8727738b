// Pictures of each preferences pane in light and dark palettes at scales 1 and 2, written into
// the build folder to be looked at.

#include "PreferencesFixture.h"
#include "support/WidgetPictures.h"

#include <QDir>

#include <algorithm>

namespace lq::test {
namespace {

using namespace Qt::StringLiterals;

// The pane's visible widgets that show no others (its controls and labels), in window
// coordinates.
QList<QRect> placedControls(QWidget *pane)
{
    QList<QRect> placed;
    for (QWidget *widget : pane->findChildren<QWidget *>()) {
        const QList<QWidget *> inside = widget->findChildren<QWidget *>();
        if (widget->isVisible() &&
            std::none_of(inside.begin(), inside.end(), [](QWidget *w) { return w->isVisible(); }))
            placed.append(QRect(widget->mapTo(pane->window(), QPoint()), widget->size()));
    }
    return placed;
}

TEST_F(PreferencesTest, PicturesOfEachPaneInLightAndDarkPalettes)
{
    LookGuard guard;
    const QDir folder(QCoreApplication::applicationDirPath());
    const char *panes[] = {"general", "recording", "playback", "saving", "sharing"};
    defaults->setString(u"defaultSaveFilename"_s, u"Notes %Y-%m-%d"_s);
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : guard.saved);
        open(); // the toolbar's drawn icons follow the palette
        for (const char *pane : panes) {
            openPane(QString::fromLatin1(pane) + u"ToolbarItem"_s);
            QWidget *shown = window->prefsWindow();
            const QList<QRect> placed = placedControls(window->currentPane());
            EXPECT_GT(placed.size(), 5) << pane;
            for (qsizetype i = 0; i < placed.size(); ++i) {
                EXPECT_TRUE(shown->rect().contains(placed[i])) << pane << " " << i;
                for (qsizetype j = i + 1; j < placed.size(); ++j)
                    EXPECT_FALSE(placed[i].intersects(placed[j])) << pane << " " << i << "/" << j;
            }
            for (const qreal scale : {1.0, 2.0}) {
                const QImage image = picture(*shown, scale);
                EXPECT_GT(colourCount(image), 20) << pane; // not blank
                EXPECT_TRUE(image.save(folder.filePath(u"preferences-%1-%2@%3x.png"_s.arg(
                    QLatin1String(pane), dark ? u"dark"_s : u"light"_s,
                    QString::number(int(scale))))));
            }
        }
    }
}

} // namespace
} // namespace lq::test
