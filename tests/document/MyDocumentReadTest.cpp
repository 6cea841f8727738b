#include "document/BMAttributedString.h"
#include "document/PackageTestSupport.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/text/TextArchive.h"
#include "platform/text/TextFixtures.h"
#include "support/HostileArchives.h"
#include "support/KilledChild.h"
#include "support/LogCapture.h"

#include <QProcess>
#include <QRandomGenerator>

#include <sys/stat.h>

#include <cstdio>
#include <functional>

using namespace lq;
using namespace lq::test;

namespace {

// Replaces every occurrence of from by to (of the same length) in the member's bytes.
void patchMember(const QString &package, const QString &member, const QByteArray &from,
                 const QByteArray &to)
{
    ASSERT_EQ(from.size(), to.size());
    QByteArray bytes = readBytes(package + QLatin1Char('/') + member);
    ASSERT_TRUE(bytes.contains(from)) << member.toStdString();
    bytes.replace(from, to);
    QFile::remove(package + QLatin1Char('/') + member);
    writeBytes(package + QLatin1Char('/') + member, bytes);
}

void replaceMember(const QString &package, const QString &member, const QByteArray &bytes)
{
    QFile::remove(package + QLatin1Char('/') + member);
    writeBytes(package + QLatin1Char('/') + member, bytes);
}

class MyDocumentReadTest : public PackageTest
{
protected:
    // A note with the rich sample text, an image and two sessions of media, saved at name.
    QString savedNote(const QString &name)
    {
        auto document = newDocument();
        document->textStorage().setAttributedString(richSample());
        addMediaSession(*document, "movie 0");
        addMediaSession(*document, "movie 1");
        const QString package = at(name);
        EXPECT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
        return package;
    }
};

TEST_F(MyDocumentReadTest, ReadingFallsBackToThePortableTextAndRefusesWhatIsNoNote)
{
    struct Case
    {
        const char *name;
        std::function<void(const QString &package)> change;
        bool opens;
        bool importing = false;
        const char *fileName = "note.lumaquill";
    };
    const auto removeMember = [](const char *member) {
        return [member](const QString &package) {
            QFile::remove(package + QLatin1Char('/') + QLatin1String(member));
        };
    };
    const QList<Case> cases = {
        {"whole note", [](const QString &) {}, true},
        {"only the portable text", removeMember("text"), true},
        {"text of the wrong class",
         [](const QString &package) {
             replaceMember(package, QStringLiteral("text"),
                           readBytes(package + QStringLiteral("/meta")));
         },
         true},
        {"damaged text",
         [](const QString &package) { replaceMember(package, QStringLiteral("text"), "junk"); },
         true},
        {"neither text",
         [&](const QString &package) {
             removeMember("text")(package);
             removeMember("bmtext")(package);
         },
         false},
        {"no meta", removeMember("meta"), false},
        {"no recording", removeMember("recording"), false},
        {"recording of the wrong class",
         [](const QString &package) {
             replaceMember(package, QStringLiteral("recording"),
                           readBytes(package + QStringLiteral("/text")));
         },
         false},
        {"meta no dictionary",
         [](const QString &package) {
             replaceMember(package, QStringLiteral("meta"),
                           KeyedArchiver::archivedData(ArchiveValue::array({})));
         },
         false},
        {"a slides file", [](const QString &) {}, true, true, "slides.pdf"},
        {"a movie", [](const QString &) {}, true, true, "movie.mov"},
        {"some other file", [](const QString &) {}, false, false, "notes.txt"},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = QStringLiteral("read-%1/").arg(++round);
        QDir(root.path()).mkdir(folder);
        const QString fileName = QString::fromLatin1(c.fileName);
        QString path;
        if (fileName.endsWith(QLatin1String(".lumaquill"))) {
            path = savedNote(folder + fileName);
            c.change(path);
        } else {
            path = at(folder + fileName);
            writeBytes(path, "not a note");
        }
        auto document = newDocument();
        Error error;
        ASSERT_EQ(document->openUrl(path, &error), c.opens);
        if (!c.opens) {
            EXPECT_EQ(error.code(), -4);
            EXPECT_EQ(error.domain(), QLatin1String(MyDocument::kStatusErrorDomain));
            EXPECT_FALSE(error.localizedDescription().isEmpty());
            EXPECT_EQ(document->textStorage().length(), 0); // nothing was taken in
            continue;
        }
        EXPECT_EQ(document->openImportingFile(), c.importing ? path : QString());
        if (c.importing)
            continue;
        EXPECT_EQ(document->textStorage().string(), richSample().string());
        const std::optional<TextAttachment> image =
            document->textStorage()
                .attributesAt(richSample().string().indexOf(QChar(0xFFFC)))
                .attachment;
        ASSERT_TRUE(image);
        EXPECT_EQ(image->imagePath, QStringLiteral("image-1.png"));
        EXPECT_EQ(document->imageNumber(), 1);
        EXPECT_EQ(document->recordingObject().allRecordingFiles().size(), 2);
        EXPECT_EQ(document->undoManager()->canUndo(), false); // reading registers no undo step
    }
}

// Hostile packages open or are refused with the "damaged" error; either way nothing outside the
// package is read or written, neither by the open nor by the saves after it.
TEST_F(MyDocumentReadTest, HostilePackagesOpenOrAreRefusedAndNothingOutsideIsTouched)
{
    DecoyFiles decoys;
    const QString movie = decoys.add(at(QStringLiteral("outside/movie.mov")), "outside movie");
    const QString picture = decoys.add(at(QStringLiteral("outs.png")), pngBytes(Qt::blue));
    PackageMeta otherMeta;
    otherMeta.serialNumber = 99;
    const QString meta = decoys.add(at(QStringLiteral("outside/meta")), otherMeta.archivedData());
    const QString text = decoys.add(at(QStringLiteral("outside/text")), archivedText({}));
    // Decoded as a text, its character list would hold 2^24 entries.
    const QByteArray events =
        eventsArchive({timeStampObject(WrenTimeStampTypeKey, 0, 1.0, (1u << 24) - 1)});
    const auto huge = [](const QString &member, const QByteArray &head = {}) {
        return [=](const QString &package) {
            QFile::remove(package + u'/' + member);
            ASSERT_TRUE(makeSparseFile(package + u'/' + member, qint64(100) << 30, head));
        };
    };
    const auto linked = [](const QString &member, const QString &target) {
        return [=](const QString &package) {
            QFile::remove(package + u'/' + member);
            ASSERT_TRUE(QFile::link(target, package + u'/' + member));
        };
    };
    const auto replaced = [](const QString &member, const QByteArray &bytes) {
        return [=](const QString &package) { replaceMember(package, member, bytes); };
    };
    // The text then comes from its portable copy and the image files.
    const auto withoutText = [](std::function<void(const QString &)> change) {
        return [=](const QString &package) {
            QFile::remove(package + QStringLiteral("/text"));
            change(package);
        };
    };
    const QString image = QStringLiteral("image-1.png");
    struct Case
    {
        const char *name;
        std::function<void(const QString &package)> change;
        int mediaAfter;
        bool imageKept;
        uint64_t serialNumber = 1;
        bool opens = true;
        QStringList links = {}; // members that stay symbolic links in the saves
    };
    const QList<Case> cases = {
        {"media name climbing out",
         [](const QString &package) {
             patchMember(package, QStringLiteral("recording"), "recording-0.0.mov",
                         "../outside/ie.mov");
         },
         1, true},
        {"media name with a folder",
         [](const QString &package) {
             patchMember(package, QStringLiteral("recording"), "recording-1.0.mov",
                         "outside/movie.mov");
         },
         1, true},
        {"image name climbing out",
         [](const QString &package) {
             QFile::remove(package + QStringLiteral("/text"));
             patchMember(package, QStringLiteral("bmtext"), "image-1.png", "../outs.png");
         },
         2, false},
        {"wrong types in meta",
         [](const QString &package) {
             lq::ArchiveDictionary entries;
             const auto add = [&](const char *key, ArchiveValue value) {
                 entries.append({ArchiveValue::string(QLatin1String(key)), value});
             };
             add(PackageMeta::kSerialNumber, ArchiveValue::string(QStringLiteral("7")));
             add(PackageMeta::kMinVersionCanRead, ArchiveValue::integer(99));
             add(PackageMeta::kDividerPosition, ArchiveValue::real(-3.0));
             add(PackageMeta::kRecControllerState, ArchiveValue::array({}));
             add(PackageMeta::kPlaybackMode, ArchiveValue::integer(int64_t(1) << 40));
             replaceMember(package, QStringLiteral("meta"),
                           KeyedArchiver::archivedData(ArchiveValue::dictionary(entries)));
         },
         2, true, 0},
        {"meta of 100 GiB", huge(QStringLiteral("meta")), 2, true, 1, false},
        {"recording of 100 GiB", huge(QStringLiteral("recording")), 2, true, 1, false},
        {"text of 100 GiB", huge(QStringLiteral("text")), 2, true},
        {"image of 100 GiB", withoutText(huge(image, pngBytes(Qt::red))), 2, false},
        {"meta links outside", linked(QStringLiteral("meta"), meta), 2, true, 1, false},
        {"meta is a pipe",
         [](const QString &package) {
             QFile::remove(package + QStringLiteral("/meta"));
             ASSERT_EQ(
                 ::mkfifo(QFile::encodeName(package + QStringLiteral("/meta")).constData(), 0644),
                 0);
         },
         2, true, 1, false},
        {"text links outside", linked(QStringLiteral("text"), text), 2, true},
        {"image links outside", withoutText(linked(image, picture)), 2, false},
        {"media links outside in an autosaved note",
         [&](const QString &package) {
             PackageMeta autosaved = metaOf(package);
             autosaved.autorecovery = true;
             replaceMember(package, QStringLiteral("meta"), autosaved.archivedData());
             linked(QStringLiteral("recording-0.0.mov"), movie)(package);
         },
         2,
         true,
         1,
         true,
         {QStringLiteral("recording-0.0.mov")}},
        {"text holds an event store", replaced(QStringLiteral("text"), events), 2, true},
        {"portable text holds an event store",
         withoutText(replaced(QStringLiteral("bmtext"), events)), 2, true, 1, false},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString package = savedNote(QStringLiteral("hostile-%1.lumaquill").arg(++round));
        ASSERT_NO_FATAL_FAILURE(c.change(package));
        QMap<QString, QString> links;
        for (const QString &name : c.links)
            links.insert(name,
                         QStringLiteral("-> ") + QFileInfo(package + u'/' + name).symLinkTarget());
        auto document = newDocument();
        Error error;
        ASSERT_EQ(document->openUrl(package, &error), c.opens)
            << error.localizedDescription().toStdString();
        EXPECT_EQ(decoys.touched(), QStringList());
        if (!c.opens) {
            EXPECT_EQ(error.code(), -4);
            EXPECT_TRUE(error.localizedDescription().contains(QLatin1String("cannot be opened")));
            continue;
        }
        EXPECT_EQ(document->textStorage().string(), richSample().string());
        const QStringList media = document->recordingObject().allRecordingFiles();
        EXPECT_EQ(media.size(), c.mediaAfter);
        for (const QString &path : media)
            EXPECT_TRUE(path.startsWith(package + QLatin1Char('/'))) << path.toStdString();
        const qsizetype imageAt = richSample().string().indexOf(QChar(0xFFFC));
        const std::optional<TextAttachment> image =
            document->textStorage().attributesAt(imageAt).attachment;
        EXPECT_EQ(image.has_value() && image->fileData == pngBytes(Qt::red), c.imageKept);
        EXPECT_FALSE(image && image->fileData == pngBytes(Qt::blue));
        EXPECT_EQ(document->serialNumber(), c.serialNumber);
        EXPECT_FALSE(document->dividerPosition.has_value());
        EXPECT_EQ(document->playbackMode, 1);
        // Saving it again, and a copy saved elsewhere, carry nothing of the outside either.
        const QString copy = at(QStringLiteral("copy-%1.lumaquill").arg(round));
        ASSERT_TRUE(document->save(&error)) << error.localizedDescription().toStdString();
        ASSERT_TRUE(document->saveToUrl(copy, SaveOperation::SaveTo, &error));
        for (const QString &saved : {package, copy}) {
            QMap<QString, QString> tree = treeOf(saved);
            tree.removeIf([](const auto &item) { return !item.value().startsWith(u"-> "); });
            EXPECT_EQ(tree, links);
        }
        EXPECT_EQ(decoys.touched(), QStringList());
    }
}

TEST_F(MyDocumentReadTest, ANoteRoundTripsAndItsMembersAreKeyedArchives)
{
    auto document = newDocument();
    document->textStorage().setAttributedString(richSample());
    addMediaSession(*document, "movie 0");
    addMediaSession(*document, "movie 1");
    const QString slides = QDir(tempFolder()).filePath(QStringLiteral("slides.pdf"));
    writeBytes(slides, "%PDF-1.4 slides");
    document->recordingObject().slides().setPath(slides);
    document->savedFrame = QStringLiteral("10 20 800 600 0 0 1920 1080 ");
    document->dividerPosition = 512.5;
    document->playbackMode = 2;
    document->recordingControllerState = lq::ArchiveDictionary{
        {ArchiveValue::string(QStringLiteral("volume")), ArchiveValue::real(0.5)}};
    const QString first = at(QStringLiteral("first.lumaquill"));
    ASSERT_TRUE(document->saveToUrl(first, SaveOperation::SaveAs, nullptr));
    EXPECT_EQ(readBytes(first + QStringLiteral("/slides.pdf")), "%PDF-1.4 slides");

    auto loaded = newDocument();
    ASSERT_TRUE(loaded->openUrl(first, nullptr));
    const QString second = at(QStringLiteral("second.lumaquill"));
    ASSERT_TRUE(loaded->saveToUrl(second, SaveOperation::SaveAs, nullptr));
    auto again = newDocument();
    ASSERT_TRUE(again->openUrl(second, nullptr));

    EXPECT_TRUE(again->textStorage().attributedString() ==
                loaded->textStorage().attributedString());
    EXPECT_EQ(again->textStorage().string(), richSample().string());
    EXPECT_EQ(again->serialNumber(), 2u);
    EXPECT_EQ(again->savedFrame, document->savedFrame);
    EXPECT_EQ(again->dividerPosition, 512.5);
    EXPECT_EQ(again->playbackMode, 2);
    ASSERT_TRUE(again->recordingControllerState);
    EXPECT_EQ(again->recordingControllerState->size(), 1);
    EXPECT_EQ(again->recordingObject().sessionCount(), 2);
    EXPECT_EQ(again->recordingObject().recordingFiles(),
              loaded->recordingObject().recordingFiles());

    // Every archive member reads as a keyed archive with a standard property-list reader.
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import plistlib, sys\n"
                                 "for path in sys.argv[1:]:\n"
                                 "    with open(path, 'rb') as f:\n"
                                 "        archive = plistlib.load(f)\n"
                                 "    assert archive['$archiver'] == 'NSKeyedArchiver', path\n"
                                 "    assert isinstance(archive['$objects'], list), path\n"
                                 "    assert 'root' in archive['$top'], path\n"
                                 "print('ok')\n"),
                  second + QStringLiteral("/text"), second + QStringLiteral("/bmtext"),
                  second + QStringLiteral("/meta"), second + QStringLiteral("/recording")});
    ASSERT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.readAllStandardOutput().trimmed(), "ok")
        << python.readAllStandardError().toStdString();
}

TEST_F(MyDocumentReadTest, EveryMediaFileOfAnOpenedNoteIsOfferedForRepair)
{
    const QString package = savedNote(QStringLiteral("cut-off.lumaquill"));
    struct Case
    {
        MyDocument::RepairOutcome outcome;
        const char *logged;
    };
    for (const Case c : {Case{MyDocument::RepairOutcome::NotNeeded, nullptr},
                         Case{MyDocument::RepairOutcome::Repaired, "which was cut off"},
                         Case{MyDocument::RepairOutcome::Failed, "Could not repair"}}) {
        SCOPED_TRACE(c.logged ? c.logged : "not needed");
        auto document = newDocument();
        QStringList offered;
        document->setMovieRepair([&](const QString &path, Error *error) {
            offered.append(path);
            if (c.outcome == MyDocument::RepairOutcome::Failed)
                *error = Error(QStringLiteral("media"), 1, QStringLiteral("Broken."));
            return c.outcome;
        });
        LogCapture log;
        ASSERT_TRUE(document->openUrl(package, nullptr));
        EXPECT_EQ(offered, QStringList({package + QStringLiteral("/recording-0.0.mov"),
                                        package + QStringLiteral("/recording-1.0.mov")}));
        EXPECT_EQ(c.logged != nullptr && log.contains(QLatin1String(c.logged)),
                  c.logged != nullptr);
    }
}

// Saves until it is killed; the parent test starts it.
const char *const kKillChildVariable = "LUMAQUILL_PACKAGE_CHILD_PATH";

TEST_F(MyDocumentReadTest, ChildSavesUntilKilled)
{
    const QString stored = qEnvironmentVariable(kKillChildVariable);
    if (stored.isEmpty())
        GTEST_SKIP() << "run by AKilledSaveLeavesTheOldOrTheNewNote";
    setTempFolder(QFileInfo(stored).absolutePath() + QStringLiteral("/child-temp"));
    auto document = newDocument();
    ASSERT_TRUE(document->openUrl(stored, nullptr));
    std::printf("saving\n");
    std::fflush(stdout);
    for (;;) {
        // The text names the save counter it is written with.
        const uint64_t next = document->serialNumber() + 1;
        document->textStorage().setAttributedString(AttributedString(
            QString::number(next) + QLatin1Char(' ') +
            QString(QRandomGenerator::global()->bounded(1, 200000), QLatin1Char('x'))));
        addMediaSession(*document, QByteArray(QRandomGenerator::global()->bounded(1, 300000), 'm'));
        ASSERT_TRUE(document->save(nullptr));
    }
}

TEST_F(MyDocumentReadTest, AKilledSaveLeavesTheOldOrTheNewNote)
{
    const QString stored = savedNote(QStringLiteral("killed.lumaquill"));
    {
        auto first = newDocument();
        ASSERT_TRUE(first->openUrl(stored, nullptr));
        first->textStorage().setAttributedString(AttributedString(QStringLiteral("2 start")));
        ASSERT_TRUE(first->save(nullptr));
    }
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NO_FATAL_FAILURE(
            lq::test::killChildAtRandom(QStringLiteral("MyDocumentReadTest.ChildSavesUntilKilled"),
                                        kKillChildVariable, stored, 300));
        auto reopened = newDocument();
        Error error;
        ASSERT_TRUE(reopened->openUrl(stored, &error))
            << error.localizedDescription().toStdString();
        const QString text = reopened->textStorage().string();
        EXPECT_EQ(text.section(QLatin1Char(' '), 0, 0).toULongLong(), reopened->serialNumber());
        for (const QString &media : reopened->recordingObject().allRecordingFiles())
            EXPECT_TRUE(QFileInfo(media).isFile()) << media.toStdString();
    }
}

} // namespace

TEST_F(MyDocumentReadTest, AListAndAHighlightSurviveReopeningAndThePortableText)
{
    auto document = newDocument();
    document->textStorage().setAttributedString(
        AttributedString(QStringLiteral("one\ntwo\nthree")));
    document->newList({0, 7}, true);
    document->highlightSelected({{5, 3}}, TextColor::rgb(1, 1, 0));
    const AttributedString made = document->textStorage().attributedString();
    ASSERT_EQ(made.string(), QStringLiteral("\t1.\tone\n\t2.\ttwo\nthree"));
    const QString package = at(QStringLiteral("lists.lumaquill"));
    ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
    for (const char *read : {"whole note", "portable text only"}) {
        SCOPED_TRACE(read);
        auto loaded = newDocument();
        ASSERT_TRUE(loaded->openUrl(package, nullptr));
        EXPECT_TRUE(loaded->textStorage().attributedString() == made);
        QFile::remove(package + QStringLiteral("/text"));
    }
}
