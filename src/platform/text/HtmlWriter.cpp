#include "platform/text/HtmlWriter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QRegularExpression>

namespace lq {

namespace {

constexpr QChar kParagraphEnd = u'\n';
constexpr QChar kLineSeparator = QChar(0x2028);
constexpr QChar kAttachmentCharacter = QChar(0xFFFC);

QString cssColor(const TextColor &color)
{
    const QColor rgb = color.toQColor();
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg(rgb.red())
        .arg(rgb.green())
        .arg(rgb.blue())
        .arg(QString::number(rgb.alphaF(), 'f', 3));
}

QString characterStyle(const TextAttributes &attributes)
{
    QString style;
    if (attributes.font) {
        const QFont font = displayFont(*attributes.font);
        // A family name of a hostile note must not end the style element or its rule.
        static const QRegularExpression unsafe(QStringLiteral("[^\\w .-]"),
                                               QRegularExpression::UseUnicodePropertiesOption);
        const QString family = font.family().remove(unsafe);
        style += QStringLiteral("font-family: \"%1\"; font-size: %2pt;")
                     .arg(family, QString::number(attributes.font->pointSize, 'f', 1));
        if (font.bold())
            style += QStringLiteral(" font-weight: bold;");
        if (font.italic())
            style += QStringLiteral(" font-style: italic;");
    }
    if (attributes.foregroundColor)
        style += QStringLiteral(" color: %1;").arg(cssColor(*attributes.foregroundColor));
    if (attributes.backgroundColor)
        style +=
            QStringLiteral(" background-color: %1;").arg(cssColor(*attributes.backgroundColor));
    if (attributes.underlineStyle.value_or(0) != 0)
        style += QStringLiteral(" text-decoration: underline;");
    return style.trimmed();
}

QString paragraphStyle(const TextAttributes &attributes)
{
    if (!attributes.paragraphStyle)
        return {};
    switch (attributes.paragraphStyle->alignment) {
    case TextParagraphStyle::Alignment::Right:
        return QStringLiteral("text-align: right;");
    case TextParagraphStyle::Alignment::Center:
        return QStringLiteral("text-align: center;");
    case TextParagraphStyle::Alignment::Justified:
        return QStringLiteral("text-align: justify;");
    default:
        return {};
    }
}

// Classes named after the order their styles first appear in.
class StyleSheet
{
public:
    QString classFor(const QString &prefix, const QString &style)
    {
        if (style.isEmpty())
            return {};
        const QString key = prefix + style;
        auto found = m_classes.constFind(key);
        if (found == m_classes.constEnd()) {
            const QString name = prefix + QString::number(m_rules.size());
            m_rules.append(QStringLiteral("%1.%2 { %3 }\n").arg(prefix, name, style));
            found = m_classes.insert(key, name);
        }
        return QStringLiteral(" class=\"%1\"").arg(*found);
    }
    QString rules() const { return m_rules.join(QString()); }

private:
    QMap<QString, QString> m_classes;
    QStringList m_rules;
};

bool browserShows(const QString &suffix)
{
    static const QStringList shown{QStringLiteral("png"),  QStringLiteral("jpg"),
                                   QStringLiteral("jpeg"), QStringLiteral("gif"),
                                   QStringLiteral("svg"),  QStringLiteral("webp")};
    return shown.contains(suffix.toLower());
}

HtmlWriter::File imageFile(const TextAttachment &attachment, int number)
{
    QString suffix = QFileInfo(attachment.preferredFileName).suffix();
    QByteArray data = attachment.fileData;
    if (!browserShows(suffix)) {
        QImage image;
        image.loadFromData(attachment.fileData);
        QBuffer buffer(&data);
        data.clear();
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        suffix = QStringLiteral("png");
    }
    return {QStringLiteral("image-%1.%2").arg(number).arg(suffix.toLower()), data};
}

} // namespace

QString HtmlWriter::escaped(const QString &text)
{
    return text.toHtmlEscaped().replace(u'\'', QLatin1String("&#39;"));
}

HtmlWriter::Page HtmlWriter::write(const AttributedString &text)
{
    Page page;
    StyleSheet styles;
    QString body;
    const QString &string = text.string();
    qsizetype paragraphStart = 0;
    while (paragraphStart <= string.size()) {
        qsizetype paragraphEnd = string.indexOf(kParagraphEnd, paragraphStart);
        if (paragraphEnd < 0)
            paragraphEnd = string.size();
        if (paragraphEnd == string.size() && paragraphStart == paragraphEnd && paragraphStart > 0)
            break; // no empty paragraph after a final paragraph end
        const TextAttributes &first = text.attributesAt(paragraphStart);
        body += QStringLiteral("<p%1>").arg(
            styles.classFor(QStringLiteral("p"), paragraphStyle(first)));
        if (paragraphStart == paragraphEnd)
            body += QStringLiteral("<br/>");
        qsizetype at = paragraphStart;
        while (at < paragraphEnd) {
            TextRange run;
            const TextAttributes &attributes = text.attributesAt(at, &run);
            const qsizetype end = std::min(run.end(), paragraphEnd);
            QString content;
            for (qsizetype i = at; i < end; ++i) {
                const QChar c = string.at(i);
                if (c == kLineSeparator) {
                    content += QStringLiteral("<br/>");
                } else if (c == kAttachmentCharacter && attributes.attachment) {
                    page.files.append(
                        imageFile(*attributes.attachment, int(page.files.size()) + 1));
                    content += QStringLiteral("<img src=\"file:///%1\"/>")
                                   .arg(escaped(page.files.last().name));
                } else {
                    content += escaped(QString(c));
                }
            }
            const QString classAttribute =
                styles.classFor(QStringLiteral("s"), characterStyle(attributes));
            body += classAttribute.isEmpty()
                        ? content
                        : QStringLiteral("<span%1>%2</span>").arg(classAttribute, content);
            at = end;
        }
        body += QStringLiteral("</p>");
        paragraphStart = paragraphEnd + 1;
    }
    const QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"/>\n"
                                        "<style type=\"text/css\">\n%1</style>\n</head><body>%2"
                                        "</body></html>\n")
                             .arg(styles.rules(), body);
    page.html = html.toUtf8();
    return page;
}

} // namespace lq
