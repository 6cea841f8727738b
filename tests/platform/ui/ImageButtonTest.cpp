#include "platform/ui/ImageButton.h"

#include "platform/ui/NamedImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace lq {
namespace {

using namespace Qt::StringLiterals;

QImage buttonPicture(ImageButton &button)
{
    button.resize(button.sizeHint());
    return button.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// The image as the button shows it: over the window colour.
QImage imageOnWindow(const QString &name)
{
    const QPixmap image = namedImage(name, 1.0);
    QImage expected(image.size(), QImage::Format_ARGB32_Premultiplied);
    expected.fill(QPalette().color(QPalette::Window));
    QPainter painter(&expected);
    painter.drawPixmap(0, 0, image);
    return expected;
}

bool isBlank(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).alpha() > 0)
                return false;
    return true;
}

TEST(ImageButtonTest, DrawsItsImageAsItIsEnabledOrNot)
{
    for (const bool enabled : {true, false}) {
        SCOPED_TRACE(enabled);
        ImageButton button;
        button.setImages(u"LUMAplay-disabled"_s);
        button.setEnabled(enabled);
        EXPECT_EQ(button.sizeHint(), QSize(30, 30));
        EXPECT_EQ(buttonPicture(button), imageOnWindow(u"LUMAplay-disabled"_s));
    }
}

TEST(ImageButtonTest, HeldItShowsItsAlternateImageOrItsImageDarkened)
{
    ImageButton back;
    back.setImages(u"LUMAreplay"_s, u"LUMAreplay-active"_s);
    EXPECT_EQ(back.imageName(), u"LUMAreplay"_s);
    EXPECT_EQ(back.alternateImageName(), u"LUMAreplay-active"_s);
    back.setDown(true);
    EXPECT_EQ(buttonPicture(back), imageOnWindow(u"LUMAreplay-active"_s));
    back.setDown(false);
    EXPECT_EQ(buttonPicture(back), imageOnWindow(u"LUMAreplay"_s));

    ImageButton play;
    play.setImages(u"LUMAplay"_s);
    play.setDown(true);
    const QImage held = buttonPicture(play);
    EXPECT_NE(held, imageOnWindow(u"LUMAplay"_s));
    EXPECT_EQ(held.pixelColor(0, 0), imageOnWindow(u"LUMAplay"_s).pixelColor(0, 0));   // the edge
    EXPECT_NE(held.pixelColor(3, 15), imageOnWindow(u"LUMAplay"_s).pixelColor(3, 15)); // shaded
}

TEST(ImageButtonTest, ClickRunsItsActionOnlyWhenEnabled)
{
    ImageButton button;
    button.setImages(u"LUMApause"_s);
    QSignalSpy clicked(&button, &ImageButton::clicked);
    button.click();
    button.setEnabled(false);
    button.click();
    EXPECT_EQ(clicked.count(), 1);
}

TEST(NamedImagesTest, EveryNameTheControlsUseHasAnImage)
{
    const struct
    {
        const char *name;
        QSize size;
    } cases[] = {
        {"LUMArecord", {30, 30}},
        {"LUMArecord-disabled", {30, 30}},
        {"LUMArecord-active", {30, 30}},
        {"LUMAplay", {30, 30}},
        {"LUMAplay-disabled", {30, 30}},
        {"LUMAplay-active", {30, 30}},
        {"LUMAreplay", {30, 30}},
        {"LUMAreplay-disabled", {30, 30}},
        {"LUMAreplay-active", {30, 30}},
        {"LUMAreplay-bare", {30, 30}},
        {"LUMAreplay-bare-disabled", {30, 30}},
        {"LUMAreplay-bare-active", {30, 30}},
        {"LUMAfast_forward", {30, 30}},
        {"LUMAfast_forward-disabled", {30, 30}},
        {"LUMAfast_forward-active", {30, 30}},
        {"LUMArewind", {30, 30}},
        {"LUMArewind-disabled", {30, 30}},
        {"LUMArewind-active", {30, 30}},
        {"LUMApause", {30, 30}},
        {"LUMApause-disabled", {30, 30}},
        {"previous-slide", {30, 30}},
        {"next-slide-disabled", {30, 30}},
        {"Share-Icon-Active", {30, 30}},
        {"Share-Icon-Inactive", {30, 30}},
        {"scrobber-handle", {14, 14}},
        {"scrobber-handle-lit", {14, 14}},
        {"unplayedslider", {7, 6}},
        {"playedslider", {7, 6}},
        {"speedbar", {7, 4}},
        {"tbb", {41, 22}},
        {"info-date", {16, 16}},
        {"info-characters", {16, 16}},
        {"info-recorded", {16, 16}},
        {"LUMApause-active", {}},
        {"nonsense", {}},
    };
    for (const auto &row : cases) {
        const QString name = QString::fromLatin1(row.name);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(namedImageSize(name), row.size);
        for (const qreal ratio : {1.0, 2.0}) {
            const QPixmap image = namedImage(name, ratio);
            EXPECT_EQ(image.isNull(), row.size.isEmpty());
            if (image.isNull())
                continue;
            EXPECT_EQ(image.size(), row.size * ratio);
            EXPECT_EQ(image.deviceIndependentSize(), QSizeF(row.size));
            EXPECT_FALSE(isBlank(image.toImage()));
        }
    }
    // The three looks of a button differ.
    const QImage plain = namedImage(u"LUMArewind"_s, 1.0).toImage();
    EXPECT_NE(plain, namedImage(u"LUMArewind-disabled"_s, 1.0).toImage());
    EXPECT_NE(plain, namedImage(u"LUMArewind-active"_s, 1.0).toImage());
    EXPECT_NE(namedImage(u"LUMAreplay"_s, 1.0).toImage(),
              namedImage(u"LUMAreplay-bare"_s, 1.0).toImage());
    EXPECT_NE(namedImage(u"Share-Icon-Active"_s, 1.0).toImage(),
              namedImage(u"Share-Icon-Inactive"_s, 1.0).toImage());
}

// Restores the icon theme a test changed.
struct ThemeGuard
{
    ~ThemeGuard()
    {
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(name);
    }
    QStringList paths = QIcon::themeSearchPaths();
    QString name = QIcon::themeName();
};

TEST(NamedImagesTest, TheDesktopsIconThemeComesFirst)
{
    ThemeGuard guard;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir theme(folder.filePath(u"lq-test-theme"_s));
    ASSERT_TRUE(QDir().mkpath(theme.filePath(u"22x22/actions"_s)));
    QFile index(theme.filePath(u"index.theme"_s));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Test\nDirectories=22x22/actions\n\n"
                "[22x22/actions]\nSize=22\nType=Fixed\n");
    index.close();
    QImage green(22, 22, QImage::Format_ARGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(theme.filePath(u"22x22/actions/media-playback-start.png"_s)));

    const QImage ours = namedImage(u"LUMAplay"_s, 1.0).toImage();
    const QImage oursBack = namedImage(u"LUMAreplay"_s, 1.0).toImage();
    QIcon::setThemeSearchPaths({folder.path()});
    QIcon::setThemeName(u"lq-test-theme"_s);
    const QImage themed = namedImage(u"LUMAplay"_s, 1.0).toImage();
    EXPECT_EQ(themed.pixelColor(15, 15), QColor(Qt::green));
    EXPECT_EQ(themed.pixelColor(1, 1).alpha(), 0); // the icon keeps the image's size
    // The theme lacks the other icons: they stay ours.
    EXPECT_EQ(namedImage(u"LUMAreplay"_s, 1.0).toImage(), oursBack);
    EXPECT_NE(namedImage(u"LUMApause"_s, 1.0).toImage(), themed);

    QIcon::setThemeName(guard.name);
    EXPECT_EQ(namedImage(u"LUMAplay"_s, 1.0).toImage(), ours);
}

} // namespace
} // namespace lq
