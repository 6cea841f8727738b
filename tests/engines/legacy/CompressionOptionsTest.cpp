#include "engines/legacy/CompressionOptions.h"

#include <gtest/gtest.h>

namespace {

// Identifiers the table does not know fall back to the defaults; pictures are always at 15 a
// second; the older MPEG-4 identifiers stand for the H.264 sizes.
TEST(CompressionOptionsTest, IdentifiersGiveTheirEncodings)
{
    const lq::AudioEncoding voice =
        CompressionOptions::audio(QStringLiteral("QTCompressionOptionsVoiceQualityAACAudio"));
    EXPECT_EQ(voice.encoder, QStringLiteral("avenc_aac"));
    EXPECT_EQ(voice.bitRate, 32000);
    EXPECT_EQ(voice.channels, 1);
    EXPECT_EQ(
        CompressionOptions::audio(QStringLiteral("QTCompressionOptionsLosslessALACAudio")).encoder,
        QStringLiteral("avenc_alac"));
    const lq::AudioEncoding unknown = CompressionOptions::audio(QStringLiteral("other"));
    EXPECT_EQ(unknown.encoder, QStringLiteral("avenc_aac"));
    EXPECT_EQ(unknown.bitRate, 0);

    const std::pair<const char *, QSize> rows[] = {
        {"QTCompressionOptionsSD480SizeH264Video", QSize(640, 480)},
        {"QTCompressionOptions240SizeMPEG4Video", QSize(320, 240)},
        {"unknown", QSize()},
    };
    for (const auto &[identifier, size] : rows) {
        SCOPED_TRACE(identifier);
        const lq::VideoEncoding encoding =
            CompressionOptions::video(QString::fromLatin1(identifier));
        EXPECT_EQ(encoding.size, size);
        EXPECT_EQ(encoding.maxFrameRate, 15);
    }
}

} // namespace
