#include "engines/legacy/CompressionOptions.h"

namespace CompressionOptions {
namespace {

constexpr int kMaxFrameRate = 15;

struct Row
{
    const char *identifier;
    const char *token; // the quality token of today's engine with the same encoding
};

// The older MPEG-4 identifiers stand for the H.264 sizes at the same place.
const Row kRows[] = {
    {"QTCompressionOptionsVoiceQualityAACAudio", "32"},
    {"QTCompressionOptionsHighQualityAACAudio", "64"},
    {"QTCompressionOptionsLosslessALACAudio", "lossless"},
    {"QTCompressionOptions120SizeH264Video", "low"},
    {"QTCompressionOptions240SizeH264Video", "medium"},
    {"QTCompressionOptionsSD480SizeH264Video", "high"},
    {"QTCompressionOptions120SizeMPEG4Video", "low"},
    {"QTCompressionOptions240SizeMPEG4Video", "medium"},
    {"QTCompressionOptionsSD480SizeMPEG4Video", "high"},
};

QString tokenFor(const QString &identifier)
{
    for (const Row &row : kRows) {
        if (identifier == QLatin1String(row.identifier))
            return QString::fromLatin1(row.token);
    }
    return {};
}

} // namespace

lq::AudioEncoding audio(const QString &identifier)
{
    return lq::AudioEncoding::forToken(tokenFor(identifier));
}

lq::VideoEncoding video(const QString &identifier)
{
    lq::VideoEncoding encoding = lq::VideoEncoding::forToken(tokenFor(identifier));
    encoding.maxFrameRate = kMaxFrameRate;
    return encoding;
}

} // namespace CompressionOptions
