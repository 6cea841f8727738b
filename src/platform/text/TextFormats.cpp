#include "platform/text/TextFormats.h"

#include <QTextImageFormat>
#include <QVariantList>

namespace lq::text_formats {

namespace {

enum Property {
    FontName = QTextFormat::UserProperty + 1,
    FontSize,
    ForegroundColor,
    BackgroundColor,
    UnderlineStyle,
    UnderlineColor,
    Link,
    AttachmentData,
    AttachmentName,
    ImagePath,
    HasParagraphStyle,
    TextLists,
    HeadIndent,
    TabStops,
    Alignment,
};

constexpr int64_t kUnderlinePatternMask = 0x700;

QVariant colorValue(const TextColor &color)
{
    QVariantList values{static_cast<int>(color.space())};
    for (double component : color.components())
        values.append(component);
    return values;
}

std::optional<TextColor> colorFrom(const QVariant &value)
{
    QVariantList values = value.toList();
    if (values.isEmpty())
        return std::nullopt;
    const int space = values.takeFirst().toInt();
    if (space < 0 || space > static_cast<int>(TextColor::Space::Cmyk))
        return std::nullopt;
    QList<double> components;
    for (const QVariant &component : values)
        components.append(component.toDouble());
    return TextColor::fromComponents(static_cast<TextColor::Space>(space), components);
}

template <class T>
std::optional<T> propertyAs(const QTextFormat &format, int property)
{
    if (!format.hasProperty(property))
        return std::nullopt;
    return format.property(property).value<T>();
}

Qt::Alignment qtAlignment(TextParagraphStyle::Alignment alignment)
{
    switch (alignment) {
    case TextParagraphStyle::Alignment::Natural:
        return Qt::AlignLeading;
    case TextParagraphStyle::Alignment::Left:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case TextParagraphStyle::Alignment::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case TextParagraphStyle::Alignment::Center:
        return Qt::AlignHCenter;
    case TextParagraphStyle::Alignment::Justified:
        return Qt::AlignJustify;
    }
    return Qt::AlignLeading;
}

} // namespace

QTextCharFormat::UnderlineStyle displayUnderlineStyle(int64_t underlineStyle)
{
    if (underlineStyle == 0)
        return QTextCharFormat::NoUnderline;
    switch (underlineStyle & kUnderlinePatternMask) {
    case 0x100:
        return QTextCharFormat::DotLine;
    case 0x200:
        return QTextCharFormat::DashUnderline;
    case 0x300:
        return QTextCharFormat::DashDotLine;
    case 0x400:
        return QTextCharFormat::DashDotDotLine;
    default:
        return QTextCharFormat::SingleUnderline;
    }
}

QTextCharFormat charFormat(const TextAttributes &attributes)
{
    QTextCharFormat format;
    if (attributes.attachment) {
        QTextImageFormat image;
        image.setProperty(AttachmentData, attributes.attachment->fileData);
        image.setProperty(AttachmentName, attributes.attachment->preferredFileName);
        if (!attributes.attachment->imagePath.isEmpty())
            image.setProperty(ImagePath, attributes.attachment->imagePath);
        format = image;
    }
    if (attributes.font) {
        format.setFont(displayFont(*attributes.font));
        format.setProperty(FontName, attributes.font->postScriptName);
        format.setProperty(FontSize, attributes.font->pointSize);
    }
    if (attributes.foregroundColor) {
        format.setForeground(attributes.foregroundColor->toQColor());
        format.setProperty(ForegroundColor, colorValue(*attributes.foregroundColor));
    }
    if (attributes.backgroundColor) {
        format.setBackground(attributes.backgroundColor->toQColor());
        format.setProperty(BackgroundColor, colorValue(*attributes.backgroundColor));
    }
    if (attributes.underlineStyle) {
        format.setUnderlineStyle(displayUnderlineStyle(*attributes.underlineStyle));
        format.setProperty(UnderlineStyle, QVariant::fromValue<qint64>(*attributes.underlineStyle));
    }
    if (attributes.underlineColor) {
        format.setUnderlineColor(attributes.underlineColor->toQColor());
        format.setProperty(UnderlineColor, colorValue(*attributes.underlineColor));
    }
    if (attributes.link) {
        format.setAnchor(true);
        format.setAnchorHref(*attributes.link);
        format.setProperty(Link, *attributes.link);
    }
    return format;
}

TextAttributes characterAttributes(const QTextCharFormat &format)
{
    TextAttributes attributes;
    if (const auto name = propertyAs<QString>(format, FontName))
        attributes.font = TextFont{*name, format.doubleProperty(FontSize)};
    attributes.foregroundColor = colorFrom(format.property(ForegroundColor));
    attributes.backgroundColor = colorFrom(format.property(BackgroundColor));
    attributes.underlineStyle = propertyAs<qint64>(format, UnderlineStyle);
    attributes.underlineColor = colorFrom(format.property(UnderlineColor));
    attributes.link = propertyAs<QString>(format, Link);
    if (format.hasProperty(AttachmentData)) {
        attributes.attachment =
            TextAttachment{format.property(AttachmentData).toByteArray(),
                           format.stringProperty(AttachmentName), format.stringProperty(ImagePath)};
    }
    return attributes;
}

QTextBlockFormat blockFormat(const std::optional<TextParagraphStyle> &style)
{
    QTextBlockFormat format;
    if (!style)
        return format;
    format.setProperty(HasParagraphStyle, true);
    format.setProperty(TextLists, style->textLists);
    format.setProperty(HeadIndent, style->headIndent);
    QVariantList stops;
    QList<QTextOption::Tab> tabs;
    for (double stop : style->tabStops) {
        stops.append(stop);
        tabs.append(QTextOption::Tab(stop, QTextOption::LeftTab));
    }
    format.setProperty(TabStops, stops);
    format.setProperty(Alignment, static_cast<int>(style->alignment));
    format.setLeftMargin(style->headIndent);
    format.setTextIndent(-style->headIndent);
    format.setTabPositions(tabs);
    format.setAlignment(qtAlignment(style->alignment));
    return format;
}

std::optional<TextParagraphStyle> paragraphStyle(const QTextBlockFormat &format)
{
    if (!format.boolProperty(HasParagraphStyle))
        return std::nullopt;
    TextParagraphStyle style;
    style.textLists = format.property(TextLists).toStringList();
    style.headIndent = format.doubleProperty(HeadIndent);
    for (const QVariant &stop : format.property(TabStops).toList())
        style.tabStops.append(stop.toDouble());
    const int alignment = format.intProperty(Alignment);
    if (alignment >= 0 && alignment <= static_cast<int>(TextParagraphStyle::Alignment::Justified))
        style.alignment = static_cast<TextParagraphStyle::Alignment>(alignment);
    return style;
}

} // namespace lq::text_formats
