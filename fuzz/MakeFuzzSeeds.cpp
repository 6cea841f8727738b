// Writes archives of small event stores, and archives made to cost a reader far more than their
// size, into a folder, as starting points for the fuzzer.

#include "model/WrenEvents.h"
#include "model/WrenTimeStamp.h"
#include "platform/foundation/KeyedArchiver.h"
#include "support/HostileArchives.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

bool writeBytes(const QDir &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(folder.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeSeed(const QDir &folder, const QString &name, std::shared_ptr<WrenEvents> events)
{
    return writeBytes(folder, name,
                      lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(events)));
}

QByteArray bigEndian32(uint32_t value)
{
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xff);
    return bytes;
}

QByteArray box(const char *type, const QByteArray &content)
{
    return bigEndian32(uint32_t(8 + content.size())) + QByteArray(type, 4) + content;
}

// A box with version 0 and the flags given.
QByteArray fullBox(const char *type, uint32_t flags, const QByteArray &content)
{
    return box(type, bigEndian32(flags) + content);
}

// A small fragmented movie: one track at 48 kHz, its header with empty sample tables, one
// fragment of four samples.
QByteArray fragmentedMovie()
{
    const QByteArray tables =
        box("minf",
            box("stbl", fullBox("stsd", 0, bigEndian32(0)) + fullBox("stts", 0, bigEndian32(0)) +
                            fullBox("stsc", 0, bigEndian32(0)) +
                            fullBox("stsz", 0, bigEndian32(0) + bigEndian32(0)) +
                            fullBox("stco", 0, bigEndian32(0))));
    const QByteArray track =
        box("trak", fullBox("tkhd", 0, bigEndian32(0) + bigEndian32(0) + bigEndian32(1)) +
                        box("mdia", fullBox("mdhd", 0,
                                            bigEndian32(0) + bigEndian32(0) + bigEndian32(48000) +
                                                bigEndian32(4096)) +
                                        tables));
    const QByteArray extends =
        box("mvex", fullBox("trex", 0,
                            bigEndian32(1) + bigEndian32(1) + bigEndian32(1024) + bigEndian32(0) +
                                bigEndian32(0)));
    const QByteArray movie = box("moov", track + extends);
    QByteArray sizes;
    for (int i = 0; i < 4; ++i)
        sizes += bigEndian32(10);
    const auto fragmentWithOffset = [&](uint32_t offset) {
        return box("moof",
                   box("traf", fullBox("tfhd", 0x000008, bigEndian32(1) + bigEndian32(1024)) +
                                   fullBox("tfdt", 0, bigEndian32(4096)) +
                                   fullBox("trun", 0x000201,
                                           bigEndian32(4) + bigEndian32(offset) + sizes)));
    };
    const QByteArray fragment = fragmentWithOffset(uint32_t(fragmentWithOffset(0).size() + 8));
    return box("ftyp", QByteArray("qt  ")) + movie + fragment + box("mdat", QByteArray(40, 'x'));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "Usage: make_fuzz_seeds <event store folder> <movie folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QDir movieFolder(QString::fromLocal8Bit(argv[2]));

    auto empty = std::make_shared<WrenEvents>();

    auto typed = std::make_shared<WrenEvents>();
    for (uint32_t i = 0; i < 12; ++i)
        typed->addEvent(WrenTimeStamp::initWithKey(i, 0, 0.25 * i), false);
    typed->addSessionLength(3.0f, 0);

    auto sessions = std::make_shared<WrenEvents>();
    sessions->addEvent(WrenTimeStamp::initWithSlide(1, 0, 0.0), false);
    sessions->addEvent(WrenTimeStamp::initWithKey(0, 0, 1.5), false);
    sessions->addEvent(WrenTimeStamp::initWithKey(4, 1, 0.5), false);
    sessions->addEvent(WrenTimeStamp::initWithSlide(2, 1, 2.0), false);
    sessions->addEvent(WrenTimeStamp::initWithKey(20, 1, 3.0), false);
    sessions->addSessionLength(10.0f, 0);
    sessions->addSessionLength(20.0f, 1);

    // Within the fuzzer's largest input.
    constexpr qsizetype kHostileSize = 48 * 1024;
    using lq::test::Sharing;
    const bool written =
        writeSeed(folder, QStringLiteral("empty"), empty) &&
        writeSeed(folder, QStringLiteral("typed"), typed) &&
        writeSeed(folder, QStringLiteral("sessions"), sessions) &&
        writeBytes(folder, QStringLiteral("shared-list-offsets"),
                   lq::test::sharedListArchive(kHostileSize, Sharing::SameOffset)) &&
        writeBytes(folder, QStringLiteral("shared-list-objects"),
                   lq::test::sharedListArchive(kHostileSize, Sharing::SeparateObjects)) &&
        writeBytes(folder, QStringLiteral("shared-text-offsets"),
                   lq::test::sharedTextArchive(kHostileSize, Sharing::SameOffset)) &&
        writeBytes(folder, QStringLiteral("shared-text-objects"),
                   lq::test::sharedTextArchive(kHostileSize, Sharing::SeparateObjects)) &&
        writeBytes(folder, QStringLiteral("repeated-keys"),
                   lq::test::repeatedKeysArchive(QStringLiteral("WrenTimeStamp"), kHostileSize)) &&
        writeBytes(folder, QStringLiteral("stamp-far-beyond-the-text"),
                   lq::test::eventsArchive({lq::test::timeStampObject(
                       WrenTimeStampTypeKey, 0, 1.0, WrenEvents::kMaxCharacterCount - 1)})) &&
        writeBytes(movieFolder, QStringLiteral("fragmented"), fragmentedMovie());
    if (!written) {
        std::fprintf(stderr, "Could not write the seeds into %s and %s.\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
