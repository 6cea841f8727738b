#include "platform/text/RtfWriter.h"

#include "platform/text/TextFixtures.h"
#include "support/RtfReading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

using namespace lq;
using lq::test::readRtf;
using namespace Qt::StringLiterals;

TEST(RtfWriterTest, TextComesBackAsWrittenWithItsEscapes)
{
    // The text, and what stands for it in the RTF.
    const std::pair<QString, QByteArray> cases[] = {
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
    for (const auto &[text, written] : cases) {
        SCOPED_TRACE(text.toStdString());
        const QByteArray rtf = rtfFromText(AttributedString(text));
        EXPECT_TRUE(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\uc1"));
        EXPECT_TRUE(rtf.contains(written)) << rtf.toStdString();
        EXPECT_TRUE(std::all_of(rtf.begin(), rtf.end(), [](char b) { return uchar(b) < 0x80; }));
        EXPECT_EQ(readRtf(rtf).text, text);
    }
}

TEST(RtfWriterTest, EveryRunKeepsItsAttributesWhenReadBack)
{
    const AttributedString sample = test::richSample();
    const test::RtfReading reading = readRtf(rtfFromText(sample));
    ASSERT_EQ(reading.text, QString(sample.string()).remove(QChar(0xFFFC))); // no images
    const struct
    {
        QString word;
        const char *control;
        int value;
    } cases[] = {
        {u"Heading"_s, "b", 1},   {u"Heading"_s, "fs", 36}, {u"see"_s, "fs", 24},
        {u"see"_s, "b", -1},      {u"here"_s, "ul", 1},     {u"see"_s, "ul", -1},
        {u"see"_s, "li", 720},    {u"see"_s, "fi", -720},   {u"see"_s, "tx", 720},
        {u"Heading"_s, "li", -1}, {u"Picture"_s, "li", -1}, {u"now"_s, "cf", -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(reading.control(reading.text.indexOf(c.word), c.control), c.value)
            << c.word.toStdString() << " " << c.control;
    // Colours by their entry in the table.
    const std::tuple<QString, const char *, QColor> colours[] = {
        {u"Heading"_s, "cf", QColor(51, 51, 51)},
        {u"now"_s, "cb", QColor(255, 255, 0)},
        {u"here"_s, "ulc", TextColor::cmyk(0.1, 0.2, 0.3, 0.4).toQColor().toRgb()},
    };
    for (const auto &[word, control, colour] : colours) {
        SCOPED_TRACE(word.toStdString() + " " + control);
        const QColor found = reading.colour(reading.control(reading.text.indexOf(word), control));
        ASSERT_TRUE(found.isValid());
        for (const auto part : {&QColor::red, &QColor::green, &QColor::blue})
            EXPECT_LE(std::abs((found.*part)() - (colour.*part)()), 1);
    }
    const std::pair<int64_t, const char *> underlines[] = {
        {1, "ul"},         {2, "ulth"},          {9, "uldb"},
        {0x201, "uldash"}, {0x302, "ulthdashd"}, {0x8001, "ulw"},
    };
    for (const auto &[style, word] : underlines) {
        TextAttributes a;
        a.underlineStyle = style;
        EXPECT_EQ(readRtf(rtfFromText(AttributedString(u"x"_s, a))).control(0, word), 1) << word;
    }
}

TEST(RtfWriterTest, RtfdNamesEachImageOnceAndRefersToIt)
{
    // Preferred name and size of each image, and the name it gets.
    const std::tuple<QString, QSize, QString> images[] = {
        {u"photo.png"_s, {4, 3}, u"photo.png"_s},
        {u"photo.png"_s, {5, 2}, u"photo-2.png"_s},
        {u"../../etc/TXT.rtf"_s, {1, 1}, u"TXT-2.rtf"_s},
        {QString(), {2, 2}, u"Attachment"_s},
    };
    AttributedString text(u"Images: "_s);
    for (const auto &[preferred, size, name] : images) {
        TextAttributes a;
        a.attachment = TextAttachment{test::pngBytes(Qt::blue, size), preferred, {}};
        text.append(QString(QChar(0xFFFC)), a);
        text.append(u" "_s, {});
    }
    const RtfdFolder folder = rtfdFromText(text);
    ASSERT_EQ(folder.images.size(), std::size(images));
    qsizetype from = 0;
    for (size_t i = 0; i < folder.images.size(); ++i) {
        const auto &[preferred, size, name] = images[i];
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(folder.images[i].name, name);
        EXPECT_EQ(folder.images[i].data, test::pngBytes(Qt::blue, size));
        const QByteArray reference = "{{\\NeXTGraphic " + name.toLatin1() + " \\width" +
                                     QByteArray::number(size.width() * 20) + " \\height" +
                                     QByteArray::number(size.height() * 20) + "}\\'ac}";
        const qsizetype at = folder.rtf.indexOf(reference, from);
        EXPECT_GE(at, from) << folder.rtf.toStdString();
        from = at + 1;
    }
}

} // namespace
