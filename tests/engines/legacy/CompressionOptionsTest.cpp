#include "engines/legacy/CompressionOptions.h"

#include <gtest/gtest.h>

namespace {

struct AudioRow
{
    const char *identifier;
    const char *encoder;
    int bitRate;
    int channels;
};

TEST(CompressionOptionsTest, SoundIdentifiersGiveTheirEncoders)
{
    const AudioRow rows[] = {
        {"QTCompressionOptionsVoiceQualityAACAudio", "avenc_aac", 32000, 1},
        {"QTCompressionOptionsHighQualityAACAudio", "avenc_aac", 64000, 0},
        {"QTCompressionOptionsLosslessALACAudio", "avenc_alac", 0, 0},
        {"QTCompressionOptionsSomethingElse", "avenc_aac", 0, 0},
    };
    for (const AudioRow &row : rows) {
        SCOPED_TRACE(row.identifier);
        const lq::AudioEncoding encoding =
            CompressionOptions::audio(QString::fromLatin1(row.identifier));
        EXPECT_EQ(encoding.encoder, QString::fromLatin1(row.encoder));
        EXPECT_EQ(encoding.bitRate, row.bitRate);
        EXPECT_EQ(encoding.channels, row.channels);
    }
}

TEST(CompressionOptionsTest, PictureIdentifiersGiveTheirSizesAtFifteenPerSecond)
{
    const std::pair<const char *, QSize> rows[] = {
        {"QTCompressionOptions120SizeH264Video", QSize(160, 120)},
        {"QTCompressionOptions240SizeH264Video", QSize(320, 240)},
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
