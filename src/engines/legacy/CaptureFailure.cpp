#include "engines/legacy/CaptureFailure.h"

#include "platform/media/GStreamer.h"

#include <QUrl>

#include <gst/gst.h>

namespace CaptureFailure {

Kind classify(const lq::Error &error)
{
    if (error.domain() == kDomain) {
        switch (error.code()) {
        case kConfigurationChanged:
            return Kind::Ignored;
        case kDiskFull:
            return Kind::DiskFull;
        case kDeviceRemoved:
            return Kind::DeviceRemoved;
        case kMediaDiscontinuity:
            return Kind::Discontinuity;
        default:
            return Kind::Other;
        }
    }
    if (lq::GStreamer::isDiskFull(error))
        return Kind::DiskFull;
    // A capture source that stops delivering has lost its device.
    const bool resource =
        error.domain() == QString::fromUtf8(g_quark_to_string(GST_RESOURCE_ERROR));
    if (resource &&
        (error.code() == GST_RESOURCE_ERROR_READ || error.code() == GST_RESOURCE_ERROR_NOT_FOUND))
        return Kind::DeviceRemoved;
    return Kind::Other;
}

QString message(const lq::Error &error, const QString &path)
{
    if (classify(error) == Kind::DiskFull)
        return QStringLiteral("Error, disk is full. Cannot continue recording.");
    return QStringLiteral("Error recording to %1, domain=%2, code=%3, %4.")
        .arg(QUrl::fromLocalFile(path).toString(), error.domain())
        .arg(error.code())
        .arg(error.localizedDescription());
}

} // namespace CaptureFailure
