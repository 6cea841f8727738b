#include "platform/ui/NamedImages.h"

#include "platform/ui/ImageDrawings.h"

#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>

#include <algorithm>
#include <cmath>

namespace lq {
namespace {

using GlyphDrawing = void (*)(QPainter &, const QRectF &, const QColor &);
using PieceDrawing = void (*)(QPainter &, const QRectF &, const QPalette &);

// How a button image shows its glyph: as it is, faded (disabled) or on the highlight colour
// (the action is running, or the button is held).
enum class Look { Plain, Disabled, Active };

constexpr QSize kButtonSize(30, 30);
constexpr double kGlyphSize = 22.0;
constexpr QSize kIconSize(16, 16);
constexpr QSize kPenSize(31, 30);

struct Entry
{
    QSize size;
    QString themeIcon;            // button images: the icon theme's name for it, if any
    GlyphDrawing glyph = nullptr; // button images
    Look look = Look::Plain;
    PieceDrawing piece = nullptr; // slider pieces
};

struct Family
{
    const char *name;
    const char *themeIcon;
    GlyphDrawing glyph;
    bool hasActive;
};

QHash<QString, Entry> makeTable()
{
    const Family families[] = {
        {"LUMArecord", "media-record", drawings::record, true},
        {"LUMAplay", "media-playback-start", drawings::play, true},
        {"LUMApause", "media-playback-pause", drawings::pause, false},
        {"LUMAfast_forward", "media-seek-forward", drawings::fastForward, true},
        {"LUMArewind", "media-seek-backward", drawings::rewind, true},
        // The theme has no jump back by a number of seconds.
        {"LUMAreplay", "", drawings::jumpBack30, true},
        {"LUMAreplay-bare", "", drawings::jumpBack, true},
        {"previous-slide", "go-previous", drawings::previous, false},
        {"next-slide", "go-next", drawings::next, false},
    };
    QHash<QString, Entry> table;
    for (const Family &family : families) {
        const QString name = QString::fromLatin1(family.name);
        const QString theme = QString::fromLatin1(family.themeIcon);
        table.insert(name, {kButtonSize, theme, family.glyph, Look::Plain});
        table.insert(name + QStringLiteral("-disabled"),
                     {kButtonSize, theme, family.glyph, Look::Disabled});
        if (family.hasActive)
            table.insert(name + QStringLiteral("-active"),
                         {kButtonSize, theme, family.glyph, Look::Active});
    }
    // The share button: available, or not.
    table.insert(QStringLiteral("Share-Icon-Active"), {kButtonSize, {}, drawings::share});
    table.insert(QStringLiteral("Share-Icon-Inactive"),
                 {kButtonSize, {}, drawings::share, Look::Disabled});
    const struct
    {
        const char *name;
        QSize size;
        PieceDrawing piece;
    } pieces[] = {
        // The sizes the sliders' drawing relies on: a 14 by 14 knob, bars with 3-pixel caps
        // around a 1-pixel column, a strip with 20-pixel caps.
        {"scrobber-handle", QSize(14, 14), drawings::knob},
        {"scrobber-handle-lit", QSize(14, 14), drawings::litKnob},
        {"unplayedslider", QSize(7, 6), drawings::groove},
        {"playedslider", QSize(7, 6), drawings::playedGroove},
        {"speedbar", QSize(7, 4), drawings::groove},
        {"tbb", QSize(41, 22), drawings::strip},
        // The highlighter pen, as large as its control.
        {"Hilighter-Icon-Button", kPenSize, drawings::highlighterButton},
        {"Hilighter-Icon-Black", kPenSize, drawings::highlighterShape},
        {"Hilighter-Icon-Pen", kPenSize, drawings::highlighterShading},
        {"Hilighter-Icon-Pen-Inactive", kPenSize, drawings::highlighterInactive},
    };
    for (const auto &piece : pieces)
        table.insert(QString::fromLatin1(piece.name),
                     {piece.size, {}, nullptr, Look::Plain, piece.piece});
    // The information bar's icons (the note's date, its length in characters, its recording)
    // and the edit lock's.
    const Family icons[] = {
        {"info-date", "x-office-calendar", drawings::calendar, false},
        {"info-characters", "accessories-text-editor", drawings::textLines, false},
        {"info-recorded", "media-record", drawings::record, false},
        // The edit lock above the text during playback.
        {"lock-closed", "changes-prevent", drawings::lockClosed, false},
        {"lock-open", "changes-allow", drawings::lockOpen, false},
    };
    for (const Family &icon : icons)
        table.insert(QString::fromLatin1(icon.name),
                     {kIconSize, QString::fromLatin1(icon.themeIcon), icon.glyph, Look::Plain});
    // The list button: start a list, or take it away; faded while the text is locked.
    const Family lists[] = {
        {"LUMAlist", "", drawings::bulletList, false},
        {"LUMAlist_no", "", drawings::bulletListStruck, false},
    };
    for (const Family &list : lists) {
        const QString name = QString::fromLatin1(list.name);
        table.insert(name, {kIconSize, {}, list.glyph, Look::Plain});
        table.insert(name + QStringLiteral("-inactive"),
                     {kIconSize, {}, list.glyph, Look::Disabled});
    }
    return table;
}

const Entry *findEntry(const QString &name)
{
    static const QHash<QString, Entry> table = makeTable();
    const auto found = table.constFind(name);
    return found == table.constEnd() ? nullptr : &*found;
}

void drawButtonImage(QPainter &painter, const Entry &entry, qreal devicePixelRatio,
                     const QPalette &palette)
{
    const QRectF bounds(QPointF(), QSizeF(entry.size));
    QColor ink = palette.color(QPalette::WindowText);
    if (entry.look == Look::Active) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.color(QPalette::Highlight));
        painter.drawRoundedRect(bounds.adjusted(1, 1, -1, -1), 6.0, 6.0);
        ink = palette.color(QPalette::HighlightedText);
    }
    const double side = std::min(kGlyphSize, double(entry.size.width()));
    QRectF glyph(0, 0, side, side);
    glyph.moveCenter(bounds.center());
    const QIcon themed = entry.themeIcon.isEmpty() ? QIcon() : QIcon::fromTheme(entry.themeIcon);
    if (!themed.isNull()) {
        const QIcon::Mode mode = entry.look == Look::Disabled ? QIcon::Disabled : QIcon::Normal;
        const QPixmap icon =
            themed.pixmap(glyph.size().toSize(), devicePixelRatio, mode, QIcon::Off);
        QRectF place(QPointF(), icon.deviceIndependentSize());
        place.moveCenter(glyph.center());
        painter.drawPixmap(place.topLeft(), icon);
        return;
    }
    if (entry.look == Look::Disabled)
        painter.setOpacity(0.35);
    entry.glyph(painter, glyph, ink);
}

QPixmap render(const Entry &entry, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(int(std::ceil(entry.size.width() * devicePixelRatio)),
                         int(std::ceil(entry.size.height() * devicePixelRatio))));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPalette palette = QGuiApplication::palette();
    if (entry.piece)
        entry.piece(painter, QRectF(QPointF(), QSizeF(entry.size)), palette);
    else
        drawButtonImage(painter, entry, devicePixelRatio, palette);
    return pixmap;
}

} // namespace

QPixmap namedImage(const QString &name, qreal devicePixelRatio)
{
    const Entry *entry = findEntry(name);
    if (!entry || !(devicePixelRatio > 0.0))
        return {};
    // Kept per palette and icon theme, so that a change of either draws afresh.
    const QString key = QStringLiteral("lq-image:%1@%2:%3:%4")
                            .arg(name)
                            .arg(devicePixelRatio)
                            .arg(QGuiApplication::palette().cacheKey())
                            .arg(entry->themeIcon.isEmpty() ? QString() : QIcon::themeName());
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        pixmap = render(*entry, devicePixelRatio);
        QPixmapCache::insert(key, pixmap);
    }
    return pixmap;
}

void drawImagePart(QPainter &painter, const QRectF &target, const QPixmap &image,
                   const QRectF &source)
{
    const qreal ratio = image.devicePixelRatio();
    painter.drawPixmap(target, image,
                       QRectF(source.x() * ratio, source.y() * ratio, source.width() * ratio,
                              source.height() * ratio));
}

QSize namedImageSize(const QString &name)
{
    const Entry *entry = findEntry(name);
    return entry ? entry->size : QSize();
}

} // namespace lq
