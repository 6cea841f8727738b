#include "app/LaunchRequest.h"

#include "app/LaunchArguments.h"

#include <QDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

QByteArray record(char kind, const QByteArray &bytes)
{
    char length[4];
    qToBigEndian<quint32>(static_cast<quint32>(bytes.size()), length);
    return QByteArray(1, kind) + QByteArray(length, 4) + bytes;
}

const QByteArray kMagic("LUMAQUILL-OPEN-1");

TEST(LaunchRequestTest, EncodedRequestsDecodeAsTheyWere)
{
    const LaunchRequest cases[] = {
        {},
        {{QStringLiteral("/notes/Talk.lumaquill")}, {}},
        {{QStringLiteral("/a/slides.pdf"), QStringLiteral("/b/ünï cödé\n.mov")},
         QStringLiteral("chapter 3")},
        {{}, QStringLiteral("only a search")},
        {QStringList(LaunchRequest::kMaxFiles,
                     QStringLiteral("/") + QString(4095, QLatin1Char('p'))),
         QString(LaunchRequest::kMaxSearchBytes, QLatin1Char('s'))},
    };
    for (const LaunchRequest &request : cases) {
        SCOPED_TRACE(request.files.size());
        ASSERT_TRUE(request.isValid());
        bool complete = false;
        const std::optional<LaunchRequest> decoded =
            LaunchRequest::decode(request.encoded(), &complete);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_TRUE(complete);
        EXPECT_EQ(*decoded, request);
    }
}

TEST(LaunchRequestTest, MalformedOrOversizedInputIsRefused)
{
    const QByteArray end("E");
    const struct
    {
        const char *name;
        QByteArray data;
    } cases[] = {
        {"other program", QByteArray("GET / HTTP/1.1\r\n")},
        {"relative path", kMagic + record('F', "notes/a.pdf") + end},
        {"path too long", kMagic + record('F', "/" + QByteArray(4096, 'a')) + end},
        {"huge declared length", kMagic + QByteArray("F\xff\xff\xff\xff", 5)},
        {"not UTF-8", kMagic + record('F', "/a\xff\xfe.pdf") + end},
        {"NUL in path", kMagic + record('F', QByteArray("/a\0b", 4)) + end},
        {"NUL in search", kMagic + record('S', QByteArray("a\0b", 3)) + end},
        {"search too long", kMagic + record('S', QByteArray(4097, 's')) + end},
        {"two searches", kMagic + record('S', "a") + record('S', "b") + end},
        {"empty search", kMagic + record('S', "") + end},
        {"unknown record", kMagic + record('X', "/a") + end},
        {"bytes after the end", kMagic + end + "F"},
        {"too many files", kMagic + record('F', "/a").repeated(LaunchRequest::kMaxFiles + 1) + end},
        {"larger than any request", kMagic + QByteArray(LaunchRequest::kMaxEncodedBytes, 'F')},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        bool complete = false;
        EXPECT_FALSE(LaunchRequest::decode(c.data, &complete).has_value());
        EXPECT_TRUE(complete) << "refused at once, not waited for";
    }
}

TEST(LaunchRequestTest, EveryBeginningOfAValidRequestWaitsForMore)
{
    const QByteArray encoded =
        LaunchRequest{{QStringLiteral("/a/b.pdf")}, QStringLiteral("word")}.encoded();
    for (qsizetype size = 0; size < encoded.size(); ++size) {
        SCOPED_TRACE(size);
        bool complete = true;
        EXPECT_FALSE(LaunchRequest::decode(encoded.first(size), &complete).has_value());
        EXPECT_FALSE(complete);
    }
}

TEST(LaunchRequestTest, RequestsThatCannotBeSentAreInvalid)
{
    const LaunchRequest cases[] = {
        {{QStringLiteral("relative.pdf")}, {}},
        {{QStringLiteral("/") + QString(4096, QLatin1Char('a'))}, {}},
        {QStringList(LaunchRequest::kMaxFiles + 1, QStringLiteral("/a")), {}},
        {{}, QString(LaunchRequest::kMaxSearchBytes + 1, QLatin1Char('s'))},
    };
    for (const LaunchRequest &request : cases)
        EXPECT_FALSE(request.isValid());
}

TEST(LaunchArgumentsTest, FilesBecomeAbsoluteAndTheSearchIsAnOption)
{
    const QString here = QDir::currentPath();
    const struct
    {
        QStringList arguments;
        std::optional<LaunchRequest> expected;
    } cases[] = {
        {{}, LaunchRequest{}},
        {{QStringLiteral("a.pdf")}, LaunchRequest{{here + QStringLiteral("/a.pdf")}, {}}},
        {{QStringLiteral("/x/Talk.lumaquill"), QStringLiteral("--search"),
          QStringLiteral("two words")},
         LaunchRequest{{QStringLiteral("/x/Talk.lumaquill")}, QStringLiteral("two words")}},
        {{QStringLiteral("--search=word"), QStringLiteral("../b.mov")},
         LaunchRequest{{QDir::cleanPath(here + QStringLiteral("/../b.mov"))},
                       QStringLiteral("word")}},
        {{QStringLiteral("--search")}, std::nullopt},
        {{QStringLiteral("--unknown")}, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        QString error;
        const std::optional<LaunchRequest> parsed =
            parseLaunchArguments(QStringList{QStringLiteral("lumaquill")} + c.arguments, &error);
        ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << error.toStdString();
        if (parsed)
            EXPECT_EQ(*parsed, *c.expected);
        else
            EXPECT_FALSE(error.isEmpty());
    }
}

} // namespace
