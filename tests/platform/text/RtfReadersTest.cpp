// The RTF writer's output as other programs read it: LibreOffice (converted to HTML in one run
// for every file) and unrtf.

#include "platform/text/RtfWriter.h"
#include "platform/text/TextFixtures.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using namespace lq;
using namespace Qt::StringLiterals;

struct Fixture
{
    QString name;
    AttributedString text;
    QStringList lines; // every one found in what the readers show
};

QList<Fixture> fixtures()
{
    TextAttributes marked = test::fontAttributes(u"Helvetica"_s, 14.0);
    marked.foregroundColor = TextColor::rgb(1.0, 0.0, 0.0);
    marked.backgroundColor = TextColor::rgb(1.0, 1.0, 0.0);
    marked.underlineStyle = 1;
    AttributedString international(u"Plain start.\n"_s);
    international.append(u"Café 中文 😀 € naïve"_s, marked);
    international.append(u"\nEnd."_s, {});
    return {
        {u"international"_s,
         international,
         {u"Plain start."_s, u"Café 中文 😀 € naïve"_s, u"End."_s}},
        {u"rich"_s, test::richSample(), {u"Heading"_s, u"•"_s, u"see"_s, u"now"_s, u"Picture:"_s}},
        {u"escapes"_s, AttributedString(u"back\\slash {braces}"_s), {u"back\\slash {braces}"_s}},
    };
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
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return process.readAllStandardOutput();
}

// The text of a fragment that contains text, as Qt reads the HTML.
QTextCharFormat formatOf(const QTextDocument &document, const QString &text)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().text().contains(text))
                return it.fragment().charFormat();
    ADD_FAILURE() << "not found: " << text.toStdString();
    return {};
}

QString normalised(QString text)
{
    return text.replace(QChar(0xA0), u' ').simplified();
}

// The lines, colours and underline of a fixture in a reader's HTML.
void expectShown(const Fixture &fixture, const QByteArray &html)
{
    QTextDocument document;
    document.setHtml(QString::fromUtf8(html));
    const QString text = normalised(document.toPlainText());
    for (const QString &line : fixture.lines)
        EXPECT_TRUE(text.contains(normalised(line))) << text.toStdString();
    if (fixture.name != u"international"_s)
        return;
    const QTextCharFormat marked = formatOf(document, u"Caf"_s);
    EXPECT_EQ(marked.foreground().color(), QColor(Qt::red));
    EXPECT_EQ(marked.background().color(), QColor(Qt::yellow));
    EXPECT_TRUE(marked.fontUnderline());
    EXPECT_FALSE(formatOf(document, u"Plain start."_s).fontUnderline());
}

class RtfReadersTest : public testing::Test
{
protected:
    void SetUp() override
    {
        for (const Fixture &f : fixtures()) {
            QFile file(rtfPath(f));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(rtfFromText(f.text));
        }
    }
    QString rtfPath(const Fixture &f) const { return dir.filePath(f.name + u".rtf"_s); }
    QTemporaryDir dir;
};

TEST_F(RtfReadersTest, LibreOfficeShowsTheTextColoursAndUnderlines)
{
    const QString soffice = QStandardPaths::findExecutable(u"soffice"_s);
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice (soffice, Debian libreoffice-writer-nogui) is not installed";
    // One run for every file: LibreOffice is slow to start. A profile of its own, so that runs
    // in parallel do not meet.
    QStringList arguments{
        u"-env:UserInstallation="_s +
            QUrl::fromLocalFile(dir.filePath(u"profile"_s)).toString(QUrl::FullyEncoded),
        u"--headless"_s,
        u"--convert-to"_s,
        u"html"_s,
        u"--outdir"_s,
        dir.filePath(u"html"_s)};
    for (const Fixture &f : fixtures())
        arguments.append(rtfPath(f));
    run(soffice, arguments, dir.path());

    for (const Fixture &f : fixtures()) {
        SCOPED_TRACE(f.name.toStdString());
        QFile html(dir.filePath(u"html/"_s + f.name + u".html"_s));
        ASSERT_TRUE(html.open(QIODevice::ReadOnly));
        expectShown(f, html.readAll());
    }
}

TEST_F(RtfReadersTest, UnrtfShowsTheTextColoursAndUnderlines)
{
    const QString unrtf = QStandardPaths::findExecutable(u"unrtf"_s);
    if (unrtf.isEmpty())
        GTEST_SKIP() << "unrtf (Debian unrtf) is not installed";
    for (const Fixture &f : fixtures()) {
        SCOPED_TRACE(f.name.toStdString());
        expectShown(f, run(unrtf, {u"--html"_s, rtfPath(f)}, dir.path()));
    }
}

} // namespace
