#pragma once

#include "platform/foundation/Error.h"

#include <QString>

// What the legacy recording engine does about an error that finished a file.
namespace CaptureFailure {

enum class Kind {
    Ignored,       // the capture configuration changed: the file is fine
    DiskFull,      // stop, and tell the user the disk is full
    DeviceRemoved, // stop without a report
    Discontinuity, // continue in a new file, once
    Other,         // stop and report
};

// The capture layer's own codes, for faults the media framework has no error of its own for.
inline const QString kDomain = QStringLiteral("capture");
constexpr int kConfigurationChanged = 1201;
constexpr int kDiskFull = 1202;
constexpr int kDeviceRemoved = 1203;
constexpr int kMediaDiscontinuity = 1207;

Kind classify(const lq::Error &error);
// The report for a failure that finished the file at path.
QString message(const lq::Error &error, const QString &path);

} // namespace CaptureFailure
