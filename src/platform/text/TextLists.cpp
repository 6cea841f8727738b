#include "platform/text/TextLists.h"

#include <algorithm>

namespace lq::text_lists {

namespace {

constexpr double kMarkerStop = 11.0;
constexpr double kItemIndent = 36.0;

void addStop(QList<double> &stops, double stop)
{
    stops.insert(std::upper_bound(stops.begin(), stops.end(), stop) - stops.begin(), stop);
}

} // namespace

QString markerForItemNumber(const QString &format, int number)
{
    QString marker = format;
    marker.replace(QStringLiteral("{disc}"), QString(QChar(0x2022)));
    marker.replace(QStringLiteral("{decimal}"), QString::number(number));
    return marker;
}

TextParagraphStyle listItemStyle(const std::optional<TextParagraphStyle> &style,
                                 const QString &format)
{
    TextParagraphStyle item = style.value_or(TextParagraphStyle::defaultStyle());
    if (!item.tabStops.isEmpty())
        item.tabStops.removeFirst();
    addStop(item.tabStops, kMarkerStop);
    addStop(item.tabStops, kItemIndent);
    item.textLists = {format};
    item.headIndent = kItemIndent;
    return item;
}

TextParagraphStyle styleOutsideList(const TextParagraphStyle &style)
{
    TextParagraphStyle plain = style;
    plain.tabStops.remove(0, std::min<qsizetype>(2, plain.tabStops.size()));
    addStop(plain.tabStops, TextParagraphStyle::defaultStyle().tabStops.first());
    plain.textLists.clear();
    plain.headIndent = 0.0;
    return plain;
}

} // namespace lq::text_lists
