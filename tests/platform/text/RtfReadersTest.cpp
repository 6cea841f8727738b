// The RTF writer's output as other programs read it: LibreOffice and unrtf, both as HTML.

#include "platform/text/RtfWriter.h"
#include "platform/text/TextFixtures.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

using namespace lq;
using namespace Qt::StringLiterals;

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
