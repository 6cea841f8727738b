#pragma once

#include "platform/media/CaptureEncoding.h"

#include <QString>

// The encoders behind the compression option identifiers the legacy quality preferences answer
// ("QTCompressionOptionsVoiceQualityAACAudio", "QTCompressionOptions240SizeH264Video", ...). An
// identifier the table does not know gives the encoders' defaults.
namespace CompressionOptions {

lq::AudioEncoding audio(const QString &identifier);
// Pictures are capped at 15 per second.
lq::VideoEncoding video(const QString &identifier);

} // namespace CompressionOptions
