#include "document/PackageTestSupport.h"
#include "model/WrenEvents.h"
#include "platform/text/TextArchive.h"
#include "support/HostileArchives.h"
#include "support/LogCapture.h"

#include <sys/stat.h>

#include <functional>

using namespace lq;
using namespace lq::test;

namespace {

constexpr qint64 kHugeSize = qint64(100) << 30; // a few kilobytes on the disk

QString memberOf(const QString &package, const char *name)
{
    return package + QLatin1Char('/') + QLatin1String(name);
}

// Each change replaces one member of a saved note.
std::function<void(const QString &)> hugeMember(const char *name, const QByteArray &head = {})
{
    return [=](const QString &package) {
        QFile::remove(memberOf(package, name));
        ASSERT_TRUE(makeSparseFile(memberOf(package, name), kHugeSize, head));
    };
}

std::function<void(const QString &)> linkedMember(const char *name, const QString &target)
{
    return [=](const QString &package) {
        QFile::remove(memberOf(package, name));
        ASSERT_TRUE(QFile::link(target, memberOf(package, name)));
    };
}

// The note's text is then read from its portable copy and the image files.
std::function<void(const QString &)> withoutText(std::function<void(const QString &)> change)
{
    return [=](const QString &package) {
        QFile::remove(memberOf(package, "text"));
        change(package);
    };
}

QMap<QString, QString> linksIn(const QString &package)
{
    QMap<QString, QString> links;
    const QMap<QString, QString> tree = treeOf(package);
    for (auto it = tree.cbegin(); it != tree.cend(); ++it) {
        if (it.value().startsWith(QLatin1String("-> ")))
            links.insert(it.key(), it.value());
    }
    return links;
}

using MyDocumentHostileTest = PackageTest;

// Hostile packages open or are refused with the "damaged" error; either way nothing outside the
// package is read or written, neither by the open nor by the saves after it.
TEST_F(MyDocumentHostileTest, AHostilePackageOpensOrIsRefusedAndTouchesNothingOutside)
{
    DecoyFiles decoys(at(QStringLiteral("outside")));
    PackageMeta otherMeta;
    otherMeta.serialNumber = 99;
    const QString decoyMeta = decoys.add(QStringLiteral("meta"), otherMeta.archivedData());
    const QString decoyText = decoys.add(
        QStringLiteral("text"), archivedText(AttributedString(QStringLiteral("decoy text"))));
    const QString decoyPicture = decoys.add(QStringLiteral("picture.png"), pngBytes(Qt::blue));
    const QString decoyMovie = decoys.add(QStringLiteral("movie.mov"), "outside movie");
    // An event store whose character list, were it decoded as a text, would hold 2^24 entries.
    const QByteArray lateStamp =
        eventsArchive({timeStampObject(WrenTimeStampTypeKey, 0, 1.0, (1u << 24) - 1)});

    struct Case
    {
        const char *name;
        std::function<void(const QString &package)> change;
        bool opens;
        bool imageKept = true;      // the picture of the saved text is in the opened note
        QStringList linksKept = {}; // members that stay symbolic links in the saves
    };
    const QList<Case> cases = {
        {"meta of 100 GiB", hugeMember("meta"), false},
        {"recording of 100 GiB", hugeMember("recording"), false},
        {"text of 100 GiB, read from the portable copy", hugeMember("text"), true},
        {"image file of 100 GiB", withoutText(hugeMember("image-1.png", pngBytes(Qt::red))), true,
         false},
        {"meta links outside", linkedMember("meta", decoyMeta), false},
        {"meta is a pipe",
         [](const QString &package) {
             QFile::remove(memberOf(package, "meta"));
             ASSERT_EQ(::mkfifo(QFile::encodeName(memberOf(package, "meta")).constData(), 0644), 0);
         },
         false},
        {"recording is a folder",
         [](const QString &package) {
             QFile::remove(memberOf(package, "recording"));
             ASSERT_TRUE(QDir().mkdir(memberOf(package, "recording")));
         },
         false},
        {"text links outside, read from the portable copy", linkedMember("text", decoyText), true},
        {"image file links outside", withoutText(linkedMember("image-1.png", decoyPicture)), true,
         false},
        {"media file links outside in an autosaved note",
         [&](const QString &package) {
             PackageMeta meta = metaOf(package);
             meta.autorecovery = true;
             replaceMember(package, QStringLiteral("meta"), meta.archivedData());
             linkedMember("recording-0.0.mov", decoyMovie)(package);
         },
         true,
         true,
         {QStringLiteral("recording-0.0.mov")}},
        {"text holds an event store, read from the portable copy",
         [&](const QString &package) { replaceMember(package, QStringLiteral("text"), lateStamp); },
         true},
        {"portable text holds an event store", withoutText([&](const QString &package) {
             replaceMember(package, QStringLiteral("bmtext"), lateStamp);
         }),
         false},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString package = savedNote(QStringLiteral("hostile-%1.lumaquill").arg(++round));
        ASSERT_NO_FATAL_FAILURE(c.change(package));
        auto document = newDocument();
        Error error;
        ASSERT_EQ(document->openUrl(package, &error), c.opens)
            << error.localizedDescription().toStdString();
        EXPECT_TRUE(decoys.touched().isEmpty()) << decoys.touched().join(u' ').toStdString();
        if (!c.opens) {
            EXPECT_EQ(error.domain(), QLatin1String(MyDocument::kStatusErrorDomain));
            EXPECT_EQ(error.code(), -4);
            EXPECT_TRUE(error.localizedDescription().contains(QLatin1String("cannot be opened")))
                << error.localizedDescription().toStdString();
            EXPECT_EQ(document->textStorage().length(), 0);
            continue;
        }
        EXPECT_EQ(document->textStorage().string(), richSample().string());
        EXPECT_NE(document->serialNumber(), 99u);
        const std::optional<TextAttachment> image =
            document->textStorage()
                .attributesAt(richSample().string().indexOf(QChar(0xFFFC)))
                .attachment;
        EXPECT_EQ(image && image->fileData == pngBytes(Qt::red), c.imageKept);

        // The save in place and a copy saved elsewhere carry nothing of the outside either.
        QMap<QString, QString> expectedLinks;
        for (const QString &name : c.linksKept)
            expectedLinks.insert(name, linksIn(package).value(name));
        const QString copy = at(QStringLiteral("copy-%1.lumaquill").arg(round));
        ASSERT_TRUE(document->save(&error)) << error.localizedDescription().toStdString();
        ASSERT_TRUE(document->saveToUrl(copy, SaveOperation::SaveTo, &error))
            << error.localizedDescription().toStdString();
        EXPECT_EQ(linksIn(package), expectedLinks);
        EXPECT_EQ(linksIn(copy), expectedLinks);
        EXPECT_TRUE(decoys.touched().isEmpty()) << decoys.touched().join(u' ').toStdString();
    }
}

} // namespace
