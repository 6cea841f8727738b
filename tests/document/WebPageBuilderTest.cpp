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
    // The characters of the links, in order.
    static QStringList linkTexts(const QString &html)
    {
        static const QRegularExpression link(
            uR"re(<a href="javascript:charClicked\((\d+)\);"><span id="char(\d+)">([^<]*)</span></a>)re"_s);
        QStringList texts;
        for (const QRegularExpressionMatch &match : link.globalMatch(html)) {
            EXPECT_EQ(match.captured(1), match.captured(2));
            EXPECT_EQ(match.captured(1).toInt(), texts.size());
            texts.append(match.captured(3));
        }
        return texts;
    }

    QTemporaryDir root;
    LumaHTMLExporter exporter;
};

TEST_F(WebPageBuilderTest, EveryVisibleCharacterIsOneLinkWithItsOwnMoment)
{
    struct Case
    {
        const char *name;
        QString text;
        std::vector<double> times;
        QStringList links;
        QString stamps;
    };
    const Case cases[] = {
        {"empty note", {}, {}, {}, u"var timestamps = [\n];\n"_s},
        {"entities",
         u"a&b<c>"_s,
         {1, 2, 3, 4, 5, 6},
         {u"a"_s, u"&amp;"_s, u"b"_s, u"&lt;"_s, u"c"_s, u"&gt;"_s},
         u"var timestamps = [\n{\"time\": 1.000000, \"index\": 0, \"type\": KEY},\n"
         "{\"time\": 2.000000, \"index\": 1, \"type\": KEY},\n"
         "{\"time\": 3.000000, \"index\": 2, \"type\": KEY},\n"
         "{\"time\": 4.000000, \"index\": 3, \"type\": KEY},\n"
         "{\"time\": 5.000000, \"index\": 4, \"type\": KEY},\n"
         "{\"time\": 6.000000, \"index\": 5, \"type\": KEY}\n];\n"_s},
        {"a paragraph end has no link",
         u"ab\ncd"_s,
         {1, 2, 3, 4, 5},
         {u"a"_s, u"b"_s, u"c"_s, u"d"_s},
         u"var timestamps = [\n{\"time\": 1.000000, \"index\": 0, \"type\": KEY},\n"
         "{\"time\": 2.000000, \"index\": 1, \"type\": KEY},\n"
         "{\"time\": 4.000000, \"index\": 2, \"type\": KEY},\n"
         "{\"time\": 5.000000, \"index\": 3, \"type\": KEY}\n];\n"_s},
        {"a surrogate pair is one link",
         u"a\U0001F600b"_s,
         {1, 2, 3, 4},
         {u"a"_s, u"\U0001F600"_s, u"b"_s},
         u"var timestamps = [\n{\"time\": 1.000000, \"index\": 0, \"type\": KEY},\n"
         "{\"time\": 2.000000, \"index\": 1, \"type\": KEY},\n"
         "{\"time\": 4.000000, \"index\": 2, \"type\": KEY}\n];\n"_s},
        {"fewer stamps than characters",
         u"a bc"_s,
         {1.5},
         {u"a"_s, u" "_s, u"b"_s, u"c"_s},
         u"var timestamps = [\n{\"time\": 1.500000, \"index\": 0, \"type\": KEY}\n];\n"_s},
        {"a control character is a reference",
         u"a\u0007b"_s,
         {1, 2, 3},
         {u"a"_s, u"&#7;"_s, u"b"_s},
         u"var timestamps = [\n{\"time\": 1.000000, \"index\": 0, \"type\": KEY},\n"
         "{\"time\": 2.000000, \"index\": 1, \"type\": KEY},\n"
         "{\"time\": 3.000000, \"index\": 2, \"type\": KEY}\n];\n"_s},
        {"a line separator is a line break",
         u"x\u2028y"_s,
         {1, 2, 3},
         {u"x"_s, u"y"_s},
         u"var timestamps = [\n{\"time\": 1.000000, \"index\": 0, \"type\": KEY},\n"
         "{\"time\": 3.000000, \"index\": 1, \"type\": KEY}\n];\n"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString html = page(lq::AttributedString(c.text), c.times);
        EXPECT_EQ(linkTexts(html), c.links);
        EXPECT_EQ(stampsOf(html), c.stamps);
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
              u"var timestamps = [\n{\"time\": 0.250000, \"index\": 0, \"type\": KEY},\n"
              "{\"time\": 0.500000, \"index\": 1, \"type\": SLIDE},\n"
              "{\"time\": 2.000000, \"index\": 2, \"type\": SLIDE},\n"
              "{\"time\": 3.500000, \"index\": 1, \"type\": KEY}\n];\n"_s);
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
    EXPECT_TRUE(
        html.contains(u"<h1 id=\"title\">Q&amp;A &lt;x&gt; &lt;!-- %textview% --&gt;</h1>"_s));
    EXPECT_TRUE(html.contains(u"By Ann &quot;&lt;b&gt;&quot;"_s));
    EXPECT_TRUE(html.contains(u"&lt;script&gt;alert(1)&lt;/script&gt;"_s));
    EXPECT_TRUE(html.contains(u"<a href=\"a%20%22b%22%26c.zip\">"_s));
    EXPECT_EQ(linkTexts(html).join(QString()), u"&lt;!-- %title% --&gt;"_s);
    EXPECT_EQ(html.count(u"<script"_s), 2);
    EXPECT_EQ(html.count(u"</style>"_s), 1);
    EXPECT_TRUE(html.contains(u"font-family: \""_s));
}

TEST_F(WebPageBuilderTest, MediaBlocksFollowWhatThePageHas)
{
    struct Case
    {
        const char *name;
        bool audio;
        bool video;
        bool player;
        QStringList notes;
    };
    const Case cases[] = {
        {"no recording", false, false, false, {u"No video"_s, u"No audio"_s}},
        {"sound only", true, false, true, {u"No video"_s}},
        {"video", true, true, true, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        exporter.hasAudio = c.audio;
        exporter.hasVideo = c.video;
        const QString html = page(lq::AttributedString(u"x"_s), {1});
        EXPECT_EQ(html.contains(u"<video id=\"movie\""_s), c.player);
        EXPECT_EQ(html.contains(u"var noMovie = true"_s), !c.player);
        for (const QString &note : {u"No video"_s, u"No audio"_s})
            EXPECT_EQ(html.contains(note), c.notes.contains(note)) << note.toStdString();
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
    EXPECT_EQ(linkTexts(html), (QStringList{u"a"_s, u"b"_s}));
    const QImage written(QDir(folder()).filePath(u"image-1.png"_s), "PNG");
    EXPECT_EQ(written.size(), QSize(4, 3));
}

} // namespace
