#include "platform/foundation/Bundle.h"

#include "ScopedEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

QByteArray readResource(const QString &name)
{
    QFile file(lq::Bundle::resourcePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

quint32 littleEndian32(const QByteArray &bytes, qsizetype offset)
{
    return quint32(quint8(bytes[offset])) | quint32(quint8(bytes[offset + 1])) << 8 |
           quint32(quint8(bytes[offset + 2])) << 16 | quint32(quint8(bytes[offset + 3])) << 24;
}

quint16 littleEndian16(const QByteArray &bytes, qsizetype offset)
{
    return quint16(quint8(bytes[offset]) | quint8(bytes[offset + 1]) << 8);
}

bool allZero(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char byte) { return byte == 0; });
}

TEST(BundleTest, NameIsTheOneTheProgramGivesItself)
{
    EXPECT_FALSE(lq::Bundle::buildRevision().isEmpty());
    const QString original = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("Luma Quill Beta"));
    EXPECT_EQ(lq::Bundle::name(), QStringLiteral("Luma Quill Beta"));
    QCoreApplication::setApplicationName(original);
    EXPECT_EQ(lq::Bundle::name(), original);
}

TEST(BundleTest, ModernEnginesUnlessTheEnvironmentAsksForLegacy)
{
    ScopedEnvironment environment;
    environment.unset("LUMAQUILL_MEDIA_ENGINE");
    EXPECT_TRUE(lq::Bundle::modernMediaEnginesAvailable());
    environment.set("LUMAQUILL_MEDIA_ENGINE", QStringLiteral("legacy"));
    EXPECT_FALSE(lq::Bundle::modernMediaEnginesAvailable());
    environment.set("LUMAQUILL_MEDIA_ENGINE", QStringLiteral("modern"));
    EXPECT_TRUE(lq::Bundle::modernMediaEnginesAvailable());
}

TEST(BundleTest, ResourceFolderCanBeSetFromTheEnvironment)
{
    ScopedEnvironment environment;
    environment.unset("LUMAQUILL_RESOURCES");
    const QString built = lq::Bundle::resourceDirectory();
    EXPECT_FALSE(lq::Bundle::resourcePath(QStringLiteral("silence.wav")).isEmpty());
    EXPECT_TRUE(lq::Bundle::resourcePath(QStringLiteral("missing.wav")).isEmpty());

    environment.set("LUMAQUILL_RESOURCES", QStringLiteral("/elsewhere/resources"));
    EXPECT_EQ(lq::Bundle::resourceDirectory(), QStringLiteral("/elsewhere/resources"));
    EXPECT_TRUE(lq::Bundle::resourcePath(QStringLiteral("silence.wav")).isEmpty());
    environment.unset("LUMAQUILL_RESOURCES");
    EXPECT_EQ(lq::Bundle::resourceDirectory(), built);
}

TEST(BundleTest, SilenceIsOneSecondOfSixteenBitMonoPcm)
{
    const QByteArray wav = readResource(QStringLiteral("silence.wav"));
    ASSERT_GE(wav.size(), 44);
    // RIFF size, PCM, mono, 44100 samples and 88200 bytes a second, blocks of two bytes, 16 bits
    // a sample, 88200 bytes of data.
    EXPECT_EQ(wav.left(44).toHex(), "52494646ac58010057415645666d74201000000001000100"
                                    "44ac000088580100020010006461746188580100");
    EXPECT_EQ(wav.size(), 44 + 88200);
    EXPECT_TRUE(allZero(wav.mid(44)));
}

TEST(BundleTest, BlackIsAnUncompressedBaselineTiff)
{
    const QByteArray tiff = readResource(QStringLiteral("black.tiff"));
    ASSERT_GE(tiff.size(), 8);
    EXPECT_EQ(tiff.left(4), QByteArray("II*\0", 4));

    const quint32 directory = littleEndian32(tiff, 4);
    ASSERT_LE(directory + 2, quint32(tiff.size()));
    const quint16 count = littleEndian16(tiff, directory);
    ASSERT_LE(directory + 2 + count * 12u + 4, quint32(tiff.size()));
    QMap<quint16, quint32> tags;
    quint16 previousTag = 0;
    for (quint16 i = 0; i < count; ++i) {
        const quint32 entry = directory + 2 + i * 12u;
        const quint16 tag = littleEndian16(tiff, entry);
        EXPECT_GT(tag, previousTag) << "tags must be sorted";
        previousTag = tag;
        EXPECT_EQ(littleEndian32(tiff, entry + 4), 1u) << "tag " << tag;
        tags.insert(tag, littleEndian16(tiff, entry + 2) == 3 ? littleEndian16(tiff, entry + 8)
                                                              : littleEndian32(tiff, entry + 8));
    }

    const quint32 width = tags.value(256);
    const quint32 height = tags.value(257);
    EXPECT_GT(width, 0u);
    EXPECT_GT(height, 0u);
    EXPECT_EQ(tags.value(258), 8u); // bits per sample
    EXPECT_EQ(tags.value(259), 1u); // no compression
    EXPECT_EQ(tags.value(262), 1u); // black is zero
    EXPECT_EQ(tags.value(278), height);
    EXPECT_EQ(tags.value(279), width * height);
    for (quint16 resolution : {282, 283}) {
        const quint32 offset = tags.value(resolution);
        ASSERT_LE(offset + 8, quint32(tiff.size()));
        EXPECT_GT(littleEndian32(tiff, offset + 4), 0u);
    }
    const quint32 pixels = tags.value(273);
    ASSERT_EQ(pixels + width * height, quint32(tiff.size()));
    EXPECT_TRUE(allZero(tiff.mid(pixels)));
}

} // namespace
