#include "document/LumaHTMLExporter.h"
#include "model/WrenEvents.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/TextAttachment.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>

namespace {

using namespace Qt::StringLiterals;

struct Stamp
{
    double time;
    int index;
    const char *type = "KEY";
};

// The script's array of stamps as the page writes it.
QString stampsText(const std::vector<Stamp> &stamps)
{
    QString text = u"var timestamps = [\n"_s;
    for (const Stamp &s : stamps)
        text += u"{\"time\": %1, \"index\": %2, \"type\": %3},\n"_s.arg(
            QString::number(s.time, 'f', 6), QString::number(s.index), QLatin1String(s.type));
    return (stamps.empty() ? text : text.chopped(2) + u'\n') + u"];\n"_s;
}

// The page of text whose characters were typed at times (one per UTF-16 unit, fewer allowed),
// with slides shown at slideTimes (slide 1, 2, ...).
class WebPageBuilderTest : public testing::Test
{
protected:
    QString page(const lq::AttributedString &text, const std::vector<double> &times,
                 const std::vector<double> &slideTimes = {})
    {
        WrenEvents events;
        for (size_t i = 0; i < times.size(); ++i)
            events.insertEvent(WrenTimeStamp::initWithKey(uint32_t(i), 0, times[i]), false);
        for (size_t i = 0; i < slideTimes.size(); ++i)
            events.insertEvent(WrenTimeStamp::initWithSlide(uint32_t(i + 1), 0, slideTimes[i]),
                               false);
        exporter.inputString = text;
        exporter.inputEvents = &events;
        lq::Error error;
        EXPECT_TRUE(exporter.exportToFile(folder(), &error))
            << error.localizedDescription().toStdString();
        QFile file(QDir(folder()).filePath(u"index.html"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    QString folder() const { return root.filePath(u"web"_s); }

    static QString stampsOf(const QString &html)
    {
        const qsizetype begin = html.indexOf(u"var timestamps = ["_s);
        return html.mid(begin, html.indexOf(u"];\n"_s, begin) + 3 - begin);
    }
    // The characters of the links, in order, joined by |.
    static QString linkTexts(const QString &html)
    {
        static const QRegularExpression link(
            uR"re(<a href="javascript:charClicked\((\d+)\);"><span id="char(\d+)">([^<]*)</span></a>)re"_s);
        QStringList texts;
        for (const QRegularExpressionMatch &match : link.globalMatch(html)) {
            EXPECT_EQ(match.captured(1), match.captured(2));
            EXPECT_EQ(match.captured(1).toInt(), texts.size());
            texts.append(match.captured(3));
        }
        return texts.join(u'|');
    }

    QTemporaryDir root;
    LumaHTMLExporter exporter;
};

TEST_F(WebPageBuilderTest, EveryVisibleCharacterIsOneLinkWithItsOwnMoment)
{
    const struct
    {
        const char *name;
        QString text;
        std::vector<double> times;
        QString links;
        std::vector<double> stamped; // the times written, indexes in order
    } cases[] = {
        {"empty note", {}, {}, {}, {}},
        {"entities", u"&<>"_s, {1, 2, 3}, u"&amp;|&lt;|&gt;"_s, {1, 2, 3}},
        {"paragraph end", u"ab\ncd"_s, {1, 2, 3, 4, 5}, u"a|b|c|d"_s, {1, 2, 4, 5}},
        {"surrogate pair", u"a\U0001F600b"_s, {1, 2, 3, 4}, u"a|\U0001F600|b"_s, {1, 2, 4}},
        {"fewer stamps than characters", u"a bc"_s, {1.5}, u"a| |b|c"_s, {1.5}},
        {"control character", u"a\u0007b"_s, {1, 2, 3}, u"a|&#7;|b"_s, {1, 2, 3}},
        {"line separator", u"x\u2028y"_s, {1, 2, 3}, u"x|y"_s, {1, 3}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString html = page(lq::AttributedString(c.text), c.times);
        EXPECT_EQ(linkTexts(html), c.links);
        std::vector<Stamp> stamps;
        for (const double time : c.stamped)
            stamps.push_back({time, int(stamps.size())});
        EXPECT_EQ(stampsOf(html), stampsText(stamps));
        EXPECT_TRUE(html.contains(u"<span id=\"numcharacters\">%1</span>"_s.arg(c.text.size())));
    }
}

TEST_F(WebPageBuilderTest, SlideStampsAndTimesAreWrittenTheSameInEveryLocale)
{
    exporter.hasSlides = true;
    exporter.numberOfSlides = 2;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char *previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const QString html = page(lq::AttributedString(u"ab"_s), {0.25, 3.5}, {0.5, 2.0});
    std::setlocale(LC_NUMERIC, previous ? previous : "C");
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(stampsOf(html),
              stampsText({{0.25, 0}, {0.5, 1, "SLIDE"}, {2.0, 2, "SLIDE"}, {3.5, 1}}));
    EXPECT_TRUE(html.contains(u"var numberOfSlides = 2;"_s));
    EXPECT_TRUE(html.contains(u"src=\"slides/1.png\""_s));
}

TEST_F(WebPageBuilderTest, ValuesFromOutsideTheTextAreEscapedAndPlaceholdersStayLiteral)
{
    lq::UserDefaults::standard().setObject(u"defaultShareAuthorName"_s, u"Ann \"<b>\""_s);
    exporter.title = u"Q&A <x> <!-- %textview% -->"_s;
    exporter.takenDateString = u"<script>alert(1)</script>"_s;
    exporter.origFilename = u"a \"b\"&c.zip"_s;
    lq::TextAttributes hostileFont;
    hostileFont.font = lq::TextFont{u"</style><script>alert(2)</script>"_s, 12.0};
    const QString html = page(lq::AttributedString(u"<!-- %title% -->"_s, hostileFont), {});
    lq::UserDefaults::standard().setObject(u"defaultShareAuthorName"_s, QVariant());
    for (const QString &escaped :
         {u"<h1 id=\"title\">Q&amp;A &lt;x&gt; &lt;!-- %textview% --&gt;</h1>"_s,
          u"By Ann &quot;&lt;b&gt;&quot;"_s, u"&lt;script&gt;alert(1)&lt;/script&gt;"_s,
          u"<a href=\"a%20%22b%22%26c.zip\">"_s, u"font-family: \""_s})
        EXPECT_TRUE(html.contains(escaped)) << escaped.toStdString();
    EXPECT_EQ(linkTexts(html).remove(u'|'), u"&lt;!-- %title% --&gt;"_s);
    EXPECT_EQ(html.count(u"<script"_s), 2);
    EXPECT_EQ(html.count(u"</style>"_s), 1);
}

TEST_F(WebPageBuilderTest, MediaBlocksFollowWhatThePageHas)
{
    const struct
    {
        bool audio, video, player, noVideo, noAudio;
    } cases[] = {{false, false, false, true, true},
                 {true, false, true, true, false},
                 {true, true, true, false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.audio << c.video);
        exporter.hasAudio = c.audio;
        exporter.hasVideo = c.video;
        const QString html = page(lq::AttributedString(u"x"_s), {1});
        EXPECT_EQ(html.contains(u"<video id=\"movie\""_s), c.player);
        EXPECT_EQ(html.contains(u"var noMovie = true"_s), !c.player);
        EXPECT_EQ(html.contains(u"No video"_s), c.noVideo);
        EXPECT_EQ(html.contains(u"No audio"_s), c.noAudio);
        EXPECT_FALSE(html.contains(u"<!--for"_s));
    }
}

TEST_F(WebPageBuilderTest, ImagesLoadFromBesideThePageAsPngOrAsTheyAre)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray tiff;
    QBuffer buffer(&tiff);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "TIFF");
    lq::TextAttributes attributes;
    attributes.attachment = lq::TextAttachment{tiff, u"picture.tiff"_s, {}};
    lq::AttributedString text(u"a"_s);
    text.append(QString(QChar(0xFFFC)), attributes);
    text.append(u"b"_s, {});
    const QString html = page(text, {1, 2, 3});
    EXPECT_TRUE(html.contains(u"<img src=\"./image-1.png\"/>"_s));
    EXPECT_EQ(linkTexts(html), u"a|b"_s);
    EXPECT_EQ(QImage(QDir(folder()).filePath(u"image-1.png"_s), "PNG").size(), QSize(4, 3));
}

} // namespace
