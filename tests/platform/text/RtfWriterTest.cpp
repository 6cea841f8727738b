// The RTF writer's output as the tests read it back, and as LibreOffice and unrtf show it.
#include "platform/text/RtfWriter.h"

#include "platform/text/TextFixtures.h"
#include "support/RtfReading.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

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

// What program writes on its standard output, run with a plain environment (LibreOffice fails
// under the tests' XDG folders).
QByteArray run(const QString &program, const QStringList &arguments, const QString &home)
{
    QProcessEnvironment environment;
    environment.insert(u"PATH"_s, qEnvironmentVariable("PATH"));
    environment.insert(u"HOME"_s, home);
    environment.insert(u"LANG"_s, u"C.UTF-8"_s);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        ADD_FAILURE() << program.toStdString() << ": " << process.readAllStandardError().data();
    return process.readAllStandardOutput();
}

TEST(RtfReadersTest, LibreOfficeAndUnrtfShowTheTextColoursAndUnderlines)
{
    TextAttributes marked = test::fontAttributes(u"Helvetica"_s, 14.0);
    marked.foregroundColor = TextColor::rgb(1.0, 0.0, 0.0);
    marked.backgroundColor = TextColor::rgb(1.0, 1.0, 0.0);
    marked.underlineStyle = 1;
    AttributedString text(u"Plain start.\n"_s);
    text.append(u"Café 中文 😀 € naïve"_s, marked);
    text.append(u"\nback\\slash {braces}\n"_s, {});
    text.append(test::richSample());
    const QStringList lines{u"Plain start."_s,
                            u"Café 中文 😀 € naïve"_s,
                            u"back\\slash {braces}"_s,
                            u"Heading"_s,
                            u"•"_s,
                            u"see"_s,
                            u"now"_s,
                            u"Picture:"_s};
    QTemporaryDir dir;
    const QString rtf = dir.filePath(u"text.rtf"_s);
    QFile file(rtf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(rtfFromText(text));
    file.close();

    // The HTML each reader makes of the file, empty for a reader that is not installed.
    std::vector<std::pair<const char *, QByteArray>> shown;
    if (const QString unrtf = QStandardPaths::findExecutable(u"unrtf"_s); !unrtf.isEmpty())
        shown.emplace_back("unrtf", run(unrtf, {u"--html"_s, rtf}, dir.path()));
    if (const QString soffice = QStandardPaths::findExecutable(u"soffice"_s); !soffice.isEmpty()) {
        // A profile of its own, so that runs in parallel do not meet.
        run(soffice,
            {u"-env:UserInstallation="_s +
                 QUrl::fromLocalFile(dir.filePath(u"profile"_s)).toString(QUrl::FullyEncoded),
             u"--headless"_s, u"--convert-to"_s, u"html"_s, u"--outdir"_s, dir.path(), rtf},
            dir.path());
        QFile html(dir.filePath(u"text.html"_s));
        shown.emplace_back("LibreOffice", html.open(QIODevice::ReadOnly) ? html.readAll() : "");
    }
    const auto normalised = [](QString s) { return s.replace(QChar(0xA0), u' ').simplified(); };
    for (const auto &[reader, html] : shown) {
        SCOPED_TRACE(reader);
        QTextDocument document;
        document.setHtml(QString::fromUtf8(html));
        const QString plain = normalised(document.toPlainText());
        for (const QString &line : lines)
            EXPECT_TRUE(plain.contains(normalised(line))) << plain.toStdString();
        // The format of the fragment holding a text, as Qt reads the HTML.
        const auto formatOf = [&](const QString &text) {
            for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
                for (auto it = block.begin(); !it.atEnd(); ++it)
                    if (it.fragment().text().contains(text))
                        return it.fragment().charFormat();
            ADD_FAILURE() << "not found: " << text.toStdString();
            return QTextCharFormat();
        };
        const QTextCharFormat format = formatOf(u"Caf"_s);
        EXPECT_EQ(format.foreground().color(), QColor(Qt::red));
        EXPECT_EQ(format.background().color(), QColor(Qt::yellow));
        EXPECT_TRUE(format.fontUnderline());
        EXPECT_FALSE(formatOf(u"Plain start."_s).fontUnderline());
    }
    if (shown.size() < 2)
        GTEST_SKIP() << "LibreOffice (Debian libreoffice-writer-nogui) or unrtf is not installed";
}

} // namespace
