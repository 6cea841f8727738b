#include "shared/FileKinds.h"

#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class FileKindsTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString makeFile(const QString &name) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    }

    QString makeLink(const QString &name, const QString &target) const
    {
        EXPECT_EQ(symlink(QFile::encodeName(target).constData(),
                          QFile::encodeName(path(name)).constData()),
                  0);
        return path(name);
    }

    QTemporaryDir m_dir;
};

// Relative targets count from the link's own folder.
TEST_F(FileKindsTest, ResolvesLinkChainsToTheirFinalTarget)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("sub")));
    const QString plain = makeFile(QStringLiteral("x"));
    makeLink(QStringLiteral("sub/b"), QStringLiteral("../x"));
    makeLink(QStringLiteral("sub/a"), QStringLiteral("b"));
    const QString start = makeLink(QStringLiteral("a"), path(QStringLiteral("sub/a")));

    const std::optional<QString> target = resolveSymlinks(start);
    ASSERT_TRUE(target);
    EXPECT_EQ(*target, path(QStringLiteral("sub/../x")));
    EXPECT_EQ(QFileInfo(*target).canonicalFilePath(), QFileInfo(plain).canonicalFilePath());
    EXPECT_EQ(resolveSymlinks(plain), plain);
}

TEST_F(FileKindsTest, LoopsMissingPathsAndDanglingLinksResolveToNothing)
{
    makeLink(QStringLiteral("loop-a"), path(QStringLiteral("loop-b")));
    makeLink(QStringLiteral("loop-b"), QStringLiteral("loop-a"));
    makeLink(QStringLiteral("self"), QStringLiteral("self"));
    makeLink(QStringLiteral("dangling"), path(QStringLiteral("nowhere")));

    EXPECT_EQ(resolveSymlinks(path(QStringLiteral("loop-a"))), std::nullopt);
    EXPECT_EQ(resolveSymlinks(path(QStringLiteral("self"))), std::nullopt);
    EXPECT_EQ(resolveSymlinks(path(QStringLiteral("dangling"))), std::nullopt);
    EXPECT_EQ(resolveSymlinks(path(QStringLiteral("missing"))), std::nullopt);
}

TEST_F(FileKindsTest, OverlongChainsCountAsLoops)
{
    const QString plain = makeFile(QStringLiteral("end"));
    QString target = plain;
    for (int i = 0; i < 41; ++i)
        target = makeLink(QStringLiteral("hop%1").arg(i), target);

    EXPECT_EQ(resolveSymlinks(path(QStringLiteral("hop39"))), plain);
    EXPECT_EQ(resolveSymlinks(path(QStringLiteral("hop40"))), std::nullopt);
}

TEST_F(FileKindsTest, KindsFollowTheExactExtensionOfTheTarget)
{
    makeFile(QStringLiteral("s.pdf"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("d.pdf")));
    struct Case
    {
        QString name;
        bool slides;
        bool media;
    };
    const QList<Case> cases{
        {makeFile(QStringLiteral("X.PDF")), false, false},
        {makeFile(QStringLiteral("x.Pdf")), false, false},
        {makeLink(QStringLiteral("slides-link"), QStringLiteral("s.pdf")), true, false},
        {path(QStringLiteral("d.pdf")), true, false}, // a folder named like a PDF
        {makeFile(QStringLiteral("m.mov")), false, true},
        {makeFile(QStringLiteral("CLIP.MOV")), false, true},
        {makeFile(QStringLiteral("voice.m4a")), false, true},
        {makeFile(QStringLiteral("clip.Mov")), false, false},
        {makeFile(QStringLiteral("m.txt")), false, false},
        {makeFile(QStringLiteral("no-extension")), false, false},
        {makeLink(QStringLiteral("movie.pdf"), QStringLiteral("m.mov")), false, true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isSlidesFile(c.name), c.slides) << qPrintable(c.name);
        EXPECT_EQ(isQTFile(c.name), c.media) << qPrintable(c.name);
    }
}

TEST_F(FileKindsTest, UnresolvablePathsAreLoggedAndNeitherKind)
{
    const QString dangling = makeLink(QStringLiteral("gone.pdf"), path(QStringLiteral("x.pdf")));
    lq::test::LogCapture log;

    EXPECT_FALSE(isSlidesFile(dangling));
    EXPECT_FALSE(isQTFile(dangling));

    const QString line = QStringLiteral("Could not resolve %1\n").arg(dangling);
    EXPECT_EQ(log.lines(), QStringList({line, line}));
}

} // namespace
