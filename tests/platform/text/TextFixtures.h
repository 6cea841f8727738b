#pragma once

#include "platform/text/AttributedString.h"
#include "support/ImageFixtures.h"

namespace lq::test {

inline TextAttributes fontAttributes(const QString &name, double size = 12.0)
{
    TextAttributes attributes;
    attributes.font = TextFont{name, size};
    return attributes;
}

inline TextParagraphStyle bulletStyle()
{
    TextParagraphStyle style = TextParagraphStyle::defaultStyle();
    style.textLists = {QStringLiteral("{disc}")};
    style.headIndent = 36.0;
    style.tabStops = {11.0, 36.0};
    return style;
}

// Three paragraphs: a heading, a bulleted line with a link and a highlighted word, and a line
// with an image; every attribute kind appears.
inline AttributedString richSample()
{
    AttributedString text;
    TextAttributes heading = fontAttributes(QStringLiteral("Helvetica-Bold"), 18.0);
    heading.foregroundColor = TextColor::grey(0.2, 1.0);
    text.append(QStringLiteral("Heading\n"), heading);

    TextAttributes item = fontAttributes(QStringLiteral("Helvetica"), 12.0);
    item.paragraphStyle = bulletStyle();
    text.append(QStringLiteral("\t•\tsee "), item);
    TextAttributes link = item;
    link.link = QStringLiteral("https://example.org/");
    link.underlineStyle = 1;
    link.underlineColor = TextColor::cmyk(0.1, 0.2, 0.3, 0.4, 1.0);
    text.append(QStringLiteral("here"), link);
    TextAttributes highlighted = item;
    highlighted.backgroundColor = TextColor::rgb(1.0, 1.0, 0.0, 0.5);
    text.append(QStringLiteral(" now\n"), highlighted);

    TextAttributes body = fontAttributes(QStringLiteral("Helvetica"), 12.0);
    text.append(QStringLiteral("Picture: "), body);
    TextAttributes image = body;
    image.attachment = TextAttachment{pngBytes(Qt::red), QStringLiteral("red.png"), {}};
    text.append(QString(QChar(0xFFFC)), image);
    text.append(QStringLiteral(" end"), body);
    return text;
}

} // namespace lq::test
