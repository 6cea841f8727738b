#include "platform/text/RtfWriter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

namespace lq {

namespace {

const QString kDefaultFontName = QStringLiteral("Helvetica");
constexpr double kDefaultPointSize = 12.0;
constexpr char16_t kAttachmentCharacter = 0xFFFC;
constexpr char16_t kLineSeparator = 0x2028;

int twips(double points)
{
    return int(std::lround(points * 20.0));
}

QByteArray number(qint64 value)
{
    return QByteArray::number(value);
}

// Text in RTF: the syntax characters escaped, tabs and line separators as control words, and
// everything outside ASCII as a signed 16-bit \u escape per UTF-16 unit.
void appendEscaped(QByteArray &out, QStringView text)
{
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit == u'\\' || unit == u'{' || unit == u'}') {
            out += '\\';
            out += char(unit);
        } else if (unit == u'\t') {
            out += "\\tab ";
        } else if (unit == kLineSeparator) {
            out += "\\line ";
        } else if (unit >= 0x20 && unit < 0x80) {
            out += char(unit);
        } else if (unit >= 0x80) {
            out += "\\u";
            out += number(int16_t(unit));
            // Latin-1 and Windows-1252 agree from U+00A0 on.
            if (unit >= 0xA0 && unit <= 0xFF) {
                out += "\\'";
                out += QByteArray::number(int(unit), 16).rightJustified(2, '0');
            } else {
                out += '?';
            }
        }
    }
}

QByteArray underlineControl(int64_t style)
{
    if (style == 0)
        return "\\ulnone";
    const int64_t line = style & 0xff;
    const int64_t pattern = style & 0x700;
    const bool thick = line == 2;
    if (line == 9)
        return "\\uldb";
    switch (pattern) {
    case 0x100:
        return thick ? "\\ulthd" : "\\uld";
    case 0x200:
        return thick ? "\\ulthdash" : "\\uldash";
    case 0x300:
        return thick ? "\\ulthdashd" : "\\uldashd";
    case 0x400:
        return thick ? "\\ulthdashdd" : "\\uldashdd";
    default:
        break;
    }
    if (style & 0x8000)
        return "\\ulw";
    return thick ? "\\ulth" : "\\ul";
}

// The name's traits after its family: "Helvetica-BoldOblique" is bold and italic.
bool hasTrait(const QString &postScriptName, QLatin1StringView trait)
{
    const qsizetype dash = postScriptName.lastIndexOf(u'-');
    return dash >= 0 && QStringView(postScriptName).mid(dash + 1).contains(trait);
}

struct Rgb
{
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb &) const = default;
};

Rgb rgbOf(const TextColor &color)
{
    const TextColor rgb = color.toRgb();
    const QList<double> &c = rgb.components();
    const auto byte = [](double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return {byte(c[0]), byte(c[1]), byte(c[2])};
}

// Writes the runs; each image goes through attachment (nothing when it has none).
class RtfWriter
{
public:
    using AttachmentMarkup = std::function<QByteArray(const TextAttachment &)>;

    RtfWriter(const AttributedString &text, AttachmentMarkup attachment)
        : m_text(text), m_attachment(std::move(attachment))
    {}

    QByteArray write()
    {
        collectTables();
        QByteArray body;
        body.reserve(m_text.length() + qsizetype(m_text.runs().size()) * 48);
        writeBody(body);
        QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0\n{\\fonttbl";
        for (qsizetype i = 0; i < m_fonts.size(); ++i) {
            out += "{\\f" + number(i) + "\\fnil\\fcharset0 ";
            appendEscaped(out, m_fonts.at(i));
            out += ";}";
        }
        out += "}\n{\\colortbl;";
        for (const Rgb &rgb : m_colours)
            out += "\\red" + number(rgb.red) + "\\green" + number(rgb.green) + "\\blue" +
                   number(rgb.blue) + ';';
        out += "}\n";
        out += body;
        out += "}\n";
        return out;
    }

private:
    void collectTables()
    {
        m_fonts.append(kDefaultFontName);
        for (const auto &run : m_text.runs()) {
            const TextAttributes &a = run.attributes;
            if (a.font)
                fontIndex(a.font->postScriptName);
            for (const auto *color : {&a.foregroundColor, &a.backgroundColor, &a.underlineColor})
                if (*color)
                    colourIndex(**color);
        }
    }

    qsizetype fontIndex(const QString &name)
    {
        const qsizetype found = m_fonts.indexOf(name);
        if (found >= 0)
            return found;
        m_fonts.append(name);
        return m_fonts.size() - 1;
    }

    // Counted from 1: entry 0 is the reader's automatic colour.
    qsizetype colourIndex(const TextColor &color)
    {
        const Rgb rgb = rgbOf(color);
        const auto found = std::find(m_colours.begin(), m_colours.end(), rgb);
        if (found != m_colours.end())
            return found - m_colours.begin() + 1;
        m_colours.push_back(rgb);
        return qsizetype(m_colours.size());
    }

    void writeBody(QByteArray &out)
    {
        const QString &string = m_text.string();
        qsizetype start = 0;
        while (start < string.size()) {
            qsizetype end = string.indexOf(u'\n', start);
            const bool ended = end >= 0;
            if (!ended)
                end = string.size();
            writeParagraphStyle(out, m_text.attributesAt(start).paragraphStyle);
            writeRuns(out, start, end);
            if (ended)
                out += "\\par\n";
            start = end + 1;
        }
    }

    void writeParagraphStyle(QByteArray &out, const std::optional<TextParagraphStyle> &style)
    {
        if (m_lastStyleWritten && *m_lastStyleWritten == style)
            return;
        m_lastStyleWritten = style;
        out += "\\pard";
        if (!style)
            return;
        for (const double stop : style->tabStops)
            out += "\\tx" + number(twips(stop));
        if (style->headIndent != 0.0)
            out += "\\li" + number(twips(style->headIndent)) + "\\fi" +
                   number(-twips(style->headIndent));
        using Alignment = TextParagraphStyle::Alignment;
        switch (style->alignment) {
        case Alignment::Left:
            out += "\\ql";
            break;
        case Alignment::Right:
            out += "\\qr";
            break;
        case Alignment::Center:
            out += "\\qc";
            break;
        case Alignment::Justified:
            out += "\\qj";
            break;
        case Alignment::Natural:
            break;
        }
    }

    void writeRuns(QByteArray &out, qsizetype from, qsizetype to)
    {
        const auto &runs = m_text.runs();
        while (m_run < runs.size() && runs[m_run].range.end() <= from)
            ++m_run;
        for (size_t i = m_run; i < runs.size() && runs[i].range.location < to; ++i) {
            const qsizetype start = std::max(from, runs[i].range.location);
            const qsizetype end = std::min(to, runs[i].range.end());
            writeRun(out, QStringView(m_text.string()).mid(start, end - start), runs[i].attributes);
        }
    }

    void writeRun(QByteArray &out, QStringView text, const TextAttributes &a)
    {
        if (a.link) {
            out += "{\\field{\\*\\fldinst{HYPERLINK \"";
            appendEscaped(out, *a.link);
            out += "\"}}{\\fldrslt ";
        }
        out += '{';
        writeCharacterStyle(out, a);
        out += ' ';
        if (a.attachment) {
            for (const QChar c : text) {
                if (c == QChar(kAttachmentCharacter)) {
                    if (m_attachment)
                        out += m_attachment(*a.attachment);
                } else {
                    appendEscaped(out, QStringView(&c, 1));
                }
            }
        } else {
            appendEscaped(out, text);
        }
        out += '}';
        if (a.link)
            out += "}}";
    }

    void writeCharacterStyle(QByteArray &out, const TextAttributes &a)
    {
        const QString name = a.font ? a.font->postScriptName : kDefaultFontName;
        const double size = a.font ? a.font->pointSize : kDefaultPointSize;
        out += "\\f" + number(fontIndex(name)) + "\\fs" + number(std::lround(size * 2.0));
        if (hasTrait(name, QLatin1StringView("Bold")))
            out += "\\b";
        if (hasTrait(name, QLatin1StringView("Italic")) ||
            hasTrait(name, QLatin1StringView("Oblique")))
            out += "\\i";
        if (a.foregroundColor)
            out += "\\cf" + number(colourIndex(*a.foregroundColor));
        // \cb for the readers of RTFD, \chcbpat (shading) for the word processors.
        if (a.backgroundColor) {
            const QByteArray index = number(colourIndex(*a.backgroundColor));
            out += "\\cb" + index + "\\chcbpat" + index;
        }
        if (a.underlineStyle)
            out += underlineControl(*a.underlineStyle);
        if (a.underlineColor)
            out += "\\ulc" + number(colourIndex(*a.underlineColor));
    }

    const AttributedString &m_text;
    AttachmentMarkup m_attachment;
    QStringList m_fonts;
    std::vector<Rgb> m_colours;
    std::optional<std::optional<TextParagraphStyle>> m_lastStyleWritten;
    size_t m_run = 0;
};

// A file name of the folder for an image: its preferred name without folders, made unique.
QString imageFileName(const TextAttachment &attachment, QSet<QString> &used)
{
    QString name = QFileInfo(attachment.preferredFileName).fileName();
    if (name.isEmpty() || name.startsWith(u'.'))
        name = QFileInfo(attachment.imagePath).fileName();
    if (name.isEmpty() || name.startsWith(u'.'))
        name = QStringLiteral("Attachment");
    const QFileInfo info(name);
    const QString stem = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    QString unique = name;
    for (int n = 2; used.contains(unique) || unique == QLatin1String(kRtfdTextFileName); ++n)
        unique = stem + u'-' + QString::number(n) + suffix;
    used.insert(unique);
    return unique;
}

} // namespace

QByteArray rtfFromText(const AttributedString &text)
{
    return RtfWriter(text, nullptr).write();
}

RtfdFolder rtfdFromText(const AttributedString &text)
{
    RtfdFolder folder;
    QSet<QString> used;
    const auto reference = [&folder, &used](const TextAttachment &attachment) {
        const QString name = imageFileName(attachment, used);
        folder.images.push_back({name, attachment.fileData});
        QBuffer data;
        data.setData(attachment.fileData);
        const QSize size = QImageReader(&data).size();
        QByteArray markup = "{{\\NeXTGraphic ";
        appendEscaped(markup, name);
        markup += " \\width" + number(twips(std::max(size.width(), 0))) + " \\height" +
                  number(twips(std::max(size.height(), 0))) + "}\\'ac}";
        return markup;
    };
    folder.rtf = RtfWriter(text, reference).write();
    return folder;
}

} // namespace lq
