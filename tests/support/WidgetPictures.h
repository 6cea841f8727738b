#pragma once

// Pictures of widgets for the window tests: palettes, scales and a check that a picture shows
// something.

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QSet>
#include <QStringList>
#include <QWidget>

namespace lq::test {

inline QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    palette.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::Button, QColor(0x3c, 0x3c, 0x3c));
    palette.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

// Restores the application's palette and icon theme.
struct LookGuard
{
    ~LookGuard()
    {
        QApplication::setPalette(saved);
        QIcon::setThemeSearchPaths(themePaths);
        QIcon::setThemeName(theme);
    }
    QStringList themePaths = QIcon::themeSearchPaths();
    QPalette saved = QApplication::palette();
    QString theme = QIcon::themeName();
};

// The widget as shown at a device pixel ratio of scale.
inline QImage picture(QWidget &widget, qreal scale)
{
    if (scale == 1.0)
        return widget.grab().toImage();
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(widget.palette().color(QPalette::Window));
    widget.render(&image);
    return image;
}

// The number of colours in every other pixel of every other row.
inline int colourCount(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

} // namespace lq::test
