#include "document/LumaHTMLExporter.h"

#include "model/WrenEvents.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/HtmlWriter.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <libxml/HTMLparser.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>

#include <algorithm>
#include <memory>
#include <unordered_map>

namespace {

const QString kNoVideo = QStringLiteral("<p class=\"nomedia\">No video</p>");
const QString kNoAudio = QStringLiteral("<p class=\"nomedia\">No audio</p>");
const QString kNoSlides = QStringLiteral("<p class=\"nomedia\">No slides</p>");
const QString kSlidesBlock = QStringLiteral(
    "<a id=\"slideslink\" href=\"slides/fullsize/1.png\" target=\"_blank\"><img id=\"slides\" "
    "src=\"slides/1.png\" width=\"243\" height=\"183\" /></a>\n<form id=\"slidescontrols\" "
    "action=\"javascript:slideNumFieldChanged()\">Jump to <input id=\"slidenum\" type=\"text\" "
    "size=\"3\" value=\"1\" /></form>");

lq::Error exportingError(int code, const QString &description)
{
    return lq::Error(QLatin1String(LumaHTMLExporter::kErrorDomain), code, description);
}

struct XPathResult
{
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> context{nullptr,
                                                                             xmlXPathFreeContext};
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> object{nullptr,
                                                                          xmlXPathFreeObject};
    int count() const { return object && object->nodesetval ? object->nodesetval->nodeNr : 0; }
    xmlNode *node(int i) const { return object->nodesetval->nodeTab[i]; }
};

// The nodes path finds from node (the root element when null).
XPathResult evaluate(xmlDoc *doc, const char *path, xmlNode *from = nullptr)
{
    XPathResult result;
    result.context.reset(xmlXPathNewContext(doc));
    if (!result.context)
        return result;
    result.context->node = from ? from : xmlDocGetRootElement(doc);
    result.object.reset(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar *>(path), result.context.get()));
    return result;
}

// A node's XML text, UTF-8 kept as it is (not as character references), not indented.
QString xmlText(xmlNode *node)
{
    xmlBuffer *buffer = xmlBufferCreate();
    xmlSaveCtxt *save = xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (!save) {
        xmlBufferFree(buffer);
        return {};
    }
    xmlSaveTree(save, node);
    xmlSaveClose(save);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(xmlBufferContent(buffer)),
                                           xmlBufferLength(buffer));
    xmlBufferFree(buffer);
    return text;
}

// libxml2 drops control characters, which HTML keeps as character references: they pass through
// it as noncharacters (kept for a program's internal use) and come out as references.
constexpr char16_t kControlStandIn = 0xFDD0;

bool isStoodIn(char16_t c)
{
    return c > 0 && c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
}

QByteArray withControlsStoodIn(const QByteArray &html)
{
    QByteArray result;
    result.reserve(html.size());
    for (const char c : html) {
        if (isStoodIn(char16_t(c)))
            result += QString(QChar(kControlStandIn + char16_t(c))).toUtf8();
        else
            result += c;
    }
    return result;
}

bool isWhiteSpace(const QString &text)
{
    return text.trimmed().isEmpty();
}

QString characterLink(int32_t link, const QString &character)
{
    return QStringLiteral(
               "<a href=\"javascript:charClicked(%1);\"><span id=\"char%1\">%2</span></a>")
        .arg(link)
        .arg(character);
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

} // namespace

bool LumaHTMLExporter::exportToFile(const QString &folder, lq::Error *error)
{
    if (!inputString) {
        lq::setError(error, exportingError(1, QStringLiteral("Program error: trying to export HTML "
                                                             "without setting an input string.")));
        return false;
    }
    const lq::HtmlWriter::Page page = lq::HtmlWriter::write(*inputString);
    QFile::remove(folder);
    QDir(folder).removeRecursively();
    const QString pagePath = QDir(folder).filePath(QStringLiteral("index.html"));
    bool written = QDir().mkpath(folder) && writeFile(pagePath, withControlsStoodIn(page.html));
    for (const lq::HtmlWriter::File &file : page.files)
        written = written && writeFile(QDir(folder).filePath(file.name), file.data);
    if (!written) {
        lq::setError(error, exportingError(2, QStringLiteral("Failed to write to %1").arg(folder)));
        return false;
    }

    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        htmlReadFile(QFile::encodeName(pagePath).constData(), "UTF-8",
                     HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET),
        xmlFreeDoc);
    if (!doc) {
        const xmlError *cause = xmlGetLastError();
        lq::setError(error,
                     exportingError(4, QStringLiteral("Failed to create valid HTML: %1")
                                           .arg(cause ? QString::fromUtf8(cause->message).trimmed()
                                                      : QString())));
        return false;
    }
    fixImgTags(doc.get());

    QFile templateFile(lq::Bundle::resourcePath(QStringLiteral("web/export_template.html")));
    if (!templateFile.open(QIODevice::ReadOnly)) {
        lq::setError(error, exportingError(5, QStringLiteral("Program error: Failed to load "
                                                             "template: %1")
                                                  .arg(templateFile.errorString())));
        return false;
    }
    const QString pageTemplate = QString::fromUtf8(templateFile.readAll());

    const std::optional<QString> text = noteTextFromDoc(doc.get());
    if (!text) {
        lq::setError(error, exportingError(7, QStringLiteral("Failed to create valid HTML text")));
        return false;
    }
    QFile out(pagePath);
    const QByteArray result =
        filledTemplate(pageTemplate, noteStyleFromDoc(doc.get()), *text).toUtf8();
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(result) != result.size()) {
        lq::setError(error, exportingError(6, QStringLiteral("Failed to write HTML to %1: %2")
                                                  .arg(pagePath, out.errorString())));
        return false;
    }
    return true;
}

QString LumaHTMLExporter::filledTemplate(QString page, const QString &style,
                                         const QString &text) const
{
    using lq::HtmlWriter;
    page.replace(QLatin1String("/* %timestamps% */"), eventsJSArray());
    enableDisableMediaInTemplate(page);
    page.replace(QLatin1String("<!-- %extrastyle% -->"), style);
    page.replace(QLatin1String("<!-- %slidesimg% -->"), hasSlides ? kSlidesBlock : kNoSlides);
    page.replace(QLatin1String("/* %numberOfSlides% */"),
                 hasSlides ? QStringLiteral("var numberOfSlides = %1").arg(numberOfSlides)
                           : QString());
    page.replace(QLatin1String("/* %noMovie% */"), hasAudio || hasVideo
                                                       ? QStringLiteral("var noMovie = false")
                                                       : QStringLiteral("var noMovie = true"));
    page.replace(QLatin1String("<!-- %title% -->"), HtmlWriter::escaped(title));
    const QString author =
        lq::UserDefaults::standard().stringForKey(QStringLiteral("defaultShareAuthorName"));
    page.replace(QLatin1String("<!-- %author% -->"),
                 author.isEmpty() ? QString()
                                  : QStringLiteral("By %1").arg(HtmlWriter::escaped(author)));
    page.replace(QLatin1String("<!-- %takendate% -->"), HtmlWriter::escaped(takenDateString));
    page.replace(QLatin1String("<!-- %numcharacters% -->"), QString::number(inputString->length()));
    page.replace(QLatin1String("<!-- %recordedlength% -->"),
                 HtmlWriter::escaped(recordedLengthString));
    const QString link =
        origFilename ? QStringLiteral("<a href=\"%1\">Download the Master Luma Quill File</a>")
                           .arg(HtmlWriter::escaped(
                               QString::fromLatin1(QUrl::toPercentEncoding(*origFilename))))
                     : QString();
    page.replace(QLatin1String("<!-- %originallink% -->"), link);
    page.replace(QLatin1String("<!-- %textview% -->"), text);
    return page;
}

void LumaHTMLExporter::enableDisableMediaInTemplate(QString &page) const
{
    const QLatin1String end("-->");
    for (const QLatin1String marker :
         {QLatin1String("<!--forvideo"), QLatin1String("<!--foraudio")}) {
        const bool video = marker == QLatin1String("<!--forvideo");
        qsizetype at = 0;
        while ((at = page.indexOf(marker, at)) >= 0) {
            const qsizetype close = page.indexOf(end, at + marker.size());
            if (close < 0)
                break;
            QString block = page.mid(at + marker.size(), close - at - marker.size());
            if (!hasAudio && !hasVideo)
                block = video ? kNoVideo : kNoAudio;
            else if (video && hasAudio && !hasVideo)
                block.prepend(kNoVideo);
            page.replace(at, close + end.size() - at, block);
            at += block.size();
        }
    }
}

void LumaHTMLExporter::fixImgTags(xmlDoc *doc)
{
    const XPathResult images = evaluate(doc, "//img");
    for (int i = 0; i < images.count(); ++i) {
        xmlNode *image = images.node(i);
        xmlChar *source = xmlGetProp(image, reinterpret_cast<const xmlChar *>("src"));
        if (!source)
            continue;
        const QString value = QString::fromUtf8(reinterpret_cast<const char *>(source));
        xmlFree(source);
        if (value.startsWith(QLatin1String("file://")))
            xmlSetProp(image, reinterpret_cast<const xmlChar *>("src"),
                       reinterpret_cast<const xmlChar *>(
                           (QLatin1Char('.') + value.mid(7)).toUtf8().constData()));
    }
}

QString LumaHTMLExporter::noteStyleFromDoc(xmlDoc *doc)
{
    const XPathResult heads = evaluate(doc, "head");
    if (!heads.object) {
        lq::log(QStringLiteral("Program error: could not find <head>: %1\n")
                    .arg(QStringLiteral("the path could not be evaluated")));
        return {};
    }
    if (heads.count() != 1) {
        lq::log(QStringLiteral("Program error: expected to find 1 <head> but found %1\n")
                    .arg(heads.count()));
        return {};
    }
    QString styles;
    const XPathResult found = evaluate(doc, "style", heads.node(0));
    for (int i = 0; i < found.count(); ++i)
        styles += xmlText(found.node(i)) + QLatin1Char('\n');
    return styles;
}

std::optional<QString> LumaHTMLExporter::specialCharFromString(const QString &string)
{
    if (!string.startsWith(u'&'))
        return std::nullopt;
    const qsizetype end = string.indexOf(u';');
    if (end < 0)
        return std::nullopt;
    return string.left(end + 1);
}

std::optional<QString> LumaHTMLExporter::noteTextFromDoc(xmlDoc *doc)
{
    lastProcessedInputChar = -1;
    m_linkStamps.clear();
    int32_t link = 0;
    QString output;
    const XPathResult bodies = evaluate(doc, "body");
    if (bodies.count() == 0)
        return std::nullopt;
    for (xmlNode *child = bodies.node(0)->children; child; child = child->next) {
        const QString text = xmlText(child);
        QString buffer;
        buffer.reserve(text.size() * 64);
        bool inTag = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (inTag) {
                buffer += c;
                inTag = c != u'>';
                continue;
            }
            if (c == u'<') {
                if (text.mid(i + 1, 2) == QLatin1String("br")) {
                    const qsizetype slash = text.indexOf(u'/', i);
                    const qsizetype close = slash < 0 ? -1 : text.indexOf(u'>', slash);
                    const qsizetype last = close < 0 ? text.size() - 1 : close;
                    buffer += text.mid(i, last - i + 1);
                    i = last;
                } else {
                    buffer += c;
                    inTag = true;
                }
                continue;
            }
            // character is matched with the text, shown goes into the link.
            QString character(c);
            QString shown = character;
            qsizetype consumed = 1;
            bool special = false;
            if (c == u'&') {
                if (const std::optional<QString> entity = specialCharFromString(text.mid(i, 16))) {
                    character = shown = *entity;
                    consumed = entity->size();
                    special = true;
                }
            } else if (c.isHighSurrogate() && i + 1 < text.size() &&
                       text.at(i + 1).isLowSurrogate()) {
                character = shown = text.mid(i, 2);
                consumed = 2;
            } else if (c.unicode() > kControlStandIn && isStoodIn(c.unicode() - kControlStandIn)) {
                character = QChar(c.unicode() - kControlStandIn);
                shown = QStringLiteral("&#%1;").arg(int(character.front().unicode()));
            }
            if (!fixUpEventsForChar(character, link, special))
                return std::nullopt;
            buffer += characterLink(link, shown);
            ++link;
            i += consumed - 1;
        }
        output += buffer + QLatin1Char('\n');
    }
    return output;
}

WrenTimeStampPtr LumaHTMLExporter::stampOfInputCharacter(qsizetype index) const
{
    if (!inputEvents || index < 0 || size_t(index) >= inputEvents->keyEvents().size())
        return nullptr;
    const WrenTimeStampPtr &stamp = inputEvents->keyEvents()[size_t(index)];
    return stamp && !stamp->isEmpty() ? stamp : nullptr;
}

bool LumaHTMLExporter::fixUpEventsForChar(const QString &character, int32_t link, bool isSpecial)
{
    const QString &input = inputString->string();
    const qsizetype length = input.size();
    const bool white = isWhiteSpace(character);
    if (lastProcessedInputChar >= length - 1) {
        if (!white) {
            lq::log(QStringLiteral("Error processing text when exporting: character %1 exists "
                                   "beyond last character.\n")
                        .arg(character));
            return false;
        }
        m_linkStamps.push_back(nullptr);
        return true;
    }
    if (white && !input.at(lastProcessedInputChar + 1).isSpace()) {
        // White space the HTML adds takes the stamp of the link before it.
        m_linkStamps.push_back(link > 0 ? m_linkStamps[size_t(link - 1)]
                                        : stampOfInputCharacter(0));
        return true;
    }
    ++lastProcessedInputChar;
    if (isSpecial) {
        m_linkStamps.push_back(stampOfInputCharacter(lastProcessedInputChar));
        return true;
    }
    while (true) {
        const QString candidate = input.mid(lastProcessedInputChar, character.size());
        if (candidate == character || (white && isWhiteSpace(candidate))) {
            m_linkStamps.push_back(stampOfInputCharacter(lastProcessedInputChar));
            // Both units of a surrogate pair are in this link.
            lastProcessedInputChar += int32_t(character.size()) - 1;
            return true;
        }
        if (++lastProcessedInputChar >= length) {
            lq::log(QStringLiteral("Error processing text when exporting: failed to find "
                                   "character %1.\n")
                        .arg(character));
            return false;
        }
    }
}

QString LumaHTMLExporter::eventsJSArray() const
{
    struct Line
    {
        size_t order;
        int64_t index;
        double time;
        bool slide;
    };
    std::vector<Line> lines;
    if (inputEvents) {
        std::unordered_map<const WrenTimeStamp *, size_t> order;
        const EventTimeline &events = inputEvents->getEvents();
        for (size_t i = 0; i < events.size(); ++i) {
            const WrenTimeStampPtr &stamp = events[i];
            order.emplace(stamp.get(), i);
            if (stamp->type() == WrenTimeStampTypeSlide)
                lines.push_back({i, int64_t(stamp->index()), stamp->offset(), true});
        }
        for (size_t link = 0; link < m_linkStamps.size(); ++link) {
            const WrenTimeStampPtr &stamp = m_linkStamps[link];
            const auto found = stamp ? order.find(stamp.get()) : order.end();
            if (found != order.end())
                lines.push_back({found->second, int64_t(link), stamp->offset(), false});
        }
        std::sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) {
            return a.order != b.order ? a.order < b.order : a.index < b.index;
        });
    }
    QString array = QStringLiteral("var timestamps = [\n");
    array.reserve(qsizetype(lines.size()) * 48 + 32);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line &line = lines[i];
        array += QStringLiteral("{\"time\": %1, \"index\": %2, \"type\": %3}%4")
                     .arg(QString::number(line.time, 'f', 6))
                     .arg(line.index)
                     .arg(line.slide ? QLatin1String("SLIDE") : QLatin1String("KEY"))
                     .arg(i + 1 < lines.size() ? QLatin1String(",\n") : QLatin1String("\n"));
    }
    array += QStringLiteral("];\n");
    return array;
}
