#include "platform/text/RtfWriter.h"

#include "platform/text/TextFixtures.h"
#include "support/RtfReading.h"

#include <gtest/gtest.h>

namespace {

using namespace lq;
using lq::test::readRtf;
using namespace Qt::StringLiterals;

TEST(RtfWriterTest, TextComesBackAsWrittenWithItsEscapes)
{
    struct Case
    {
        QString text;
        QByteArray written; // expected in the RTF as it stands
    };
    const Case cases[] = {
        {u"a\\b{c}"_s, "a\\\\b\\{c\\}"},
        {u"€"_s, "\\u8364?"},
        {u"café"_s, "caf\\u233\\'e9"},
        {u"a\u00a0b"_s, "a\\u160\\'a0b"},
        {u"中"_s, "\\u20013?"},
        {u"\uffe1"_s, "\\u-31?"},
        {u"😀"_s, "\\u-10179?\\u-8704?"},
        {u"a\tb\u2028c"_s, "a\\tab b\\line c"},
        {u"one\ntwo\n\nthree"_s, "\\par\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QByteArray rtf = rtfFromText(AttributedString(c.text));
        EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\uc1"));
        EXPECT_TRUE(rtf.contains(c.written)) << rtf.toStdString();
        for (const char byte : rtf)
            EXPECT_LT(static_cast<unsigned char>(byte), 0x80);
        EXPECT_EQ(readRtf(rtf).text, c.text);
    }
}

TEST(RtfWriterTest, EveryRunKeepsItsAttributesWhenReadBack)
{
    const AttributedString sample = test::richSample();
    const test::RtfReading reading = readRtf(rtfFromText(sample));
    // Images are left out of plain RTF.
    QString expected = sample.string();
    expected.remove(QChar(0xFFFC));
    ASSERT_EQ(reading.text, expected);

    const auto at = [&](const QString &word) { return reading.text.indexOf(word); };
    struct Case
    {
        QString word;
        const char *control;
        int value;
    };
    const Case cases[] = {
        {u"Heading"_s, "b", 1},   {u"Heading"_s, "fs", 36}, {u"see"_s, "fs", 24},
        {u"see"_s, "b", -1},      {u"here"_s, "ul", 1},     {u"see"_s, "ul", -1},
        {u"see"_s, "li", 720},    {u"see"_s, "fi", -720},   {u"see"_s, "tx", 720},
        {u"Heading"_s, "li", -1}, {u"Picture"_s, "li", -1}, {u"now"_s, "cf", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word.toStdString() + " " + c.control);
        EXPECT_EQ(reading.control(at(c.word), c.control), c.value);
    }
    // Colours by their entry in the table.
    const struct
    {
        QString word;
        const char *control;
        QColor colour;
    } colours[] = {
        {u"Heading"_s, "cf", QColor(51, 51, 51)},
        {u"now"_s, "cb", QColor(255, 255, 0)},
        {u"here"_s, "ulc", TextColor::cmyk(0.1, 0.2, 0.3, 0.4).toQColor().toRgb()},
    };
    for (const auto &c : colours) {
        SCOPED_TRACE(c.word.toStdString() + " " + c.control);
        const QColor found = reading.colour(reading.control(at(c.word), c.control));
        ASSERT_TRUE(found.isValid());
        EXPECT_LE(std::abs(found.red() - c.colour.red()), 1);
        EXPECT_LE(std::abs(found.green() - c.colour.green()), 1);
        EXPECT_LE(std::abs(found.blue() - c.colour.blue()), 1);
    }
}

TEST(RtfWriterTest, UnderlineStylesKeepTheirKind)
{
    const std::pair<int64_t, const char *> cases[] = {
        {1, "ul"},         {2, "ulth"},          {9, "uldb"},
        {0x201, "uldash"}, {0x302, "ulthdashd"}, {0x8001, "ulw"},
    };
    for (const auto &[style, word] : cases) {
        SCOPED_TRACE(word);
        TextAttributes a;
        a.underlineStyle = style;
        EXPECT_EQ(readRtf(rtfFromText(AttributedString(u"x"_s, a))).control(0, word), 1);
    }
}

TEST(RtfWriterTest, RtfdNamesEachImageOnceAndRefersToIt)
{
    AttributedString text(u"Images: "_s);
    const auto image = [&](const QString &preferred, QSize size) {
        TextAttributes a;
        a.attachment = TextAttachment{test::pngBytes(Qt::blue, size), preferred, {}};
        text.append(QString(QChar(0xFFFC)), a);
        text.append(u" "_s, {});
    };
    image(u"photo.png"_s, {4, 3});
    image(u"photo.png"_s, {5, 2});
    image(u"../../etc/TXT.rtf"_s, {1, 1});
    image(QString(), {2, 2});

    const RtfdFolder folder = rtfdFromText(text);

    const QStringList names{u"photo.png"_s, u"photo-2.png"_s, u"TXT-2.rtf"_s, u"Attachment"_s};
    const QList<QSize> sizes{{4, 3}, {5, 2}, {1, 1}, {2, 2}};
    ASSERT_EQ(folder.images.size(), size_t(names.size()));
    qsizetype from = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i].toStdString());
        EXPECT_EQ(folder.images[size_t(i)].name, names[i]);
        const QByteArray reference = "{{\\NeXTGraphic " + names[i].toLatin1() + " \\width" +
                                     QByteArray::number(sizes[i].width() * 20) + " \\height" +
                                     QByteArray::number(sizes[i].height() * 20) + "}\\'ac}";
        const qsizetype at = folder.rtf.indexOf(reference, from);
        EXPECT_GE(at, from) << folder.rtf.toStdString();
        from = at + 1;
    }
    EXPECT_EQ(folder.images[1].data, test::pngBytes(Qt::blue, {5, 2}));
}

} // namespace
