#include "platform/media/GStreamer.h"

#include <QHash>

#include <gst/gst.h>

#include <mutex>

namespace lq::GStreamer {
namespace {

const QString kErrorDomain = QStringLiteral("media");

struct InitResult
{
    bool ok = false;
    QString message;
};

InitResult initializeOnce()
{
    GError *failure = nullptr;
    InitResult result;
    result.ok = gst_init_check(nullptr, nullptr, &failure);
    if (!result.ok) {
        result.message = QStringLiteral("GStreamer could not start: %1")
                             .arg(failure ? QString::fromUtf8(failure->message)
                                          : QStringLiteral("unknown reason"));
    }
    g_clear_error(&failure);
    return result;
}

} // namespace

bool initialize(Error *error)
{
    static const InitResult result = initializeOnce();
    if (!result.ok)
        setError(error, Error(kErrorDomain, 1, result.message));
    return result.ok;
}

QString packageForElement(const QString &factoryName)
{
    static const QHash<QString, QString> packages{
        {QStringLiteral("audiotestsrc"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("videotestsrc"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("audioconvert"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("videoconvert"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("videoscale"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("audioresample"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("volume"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("appsink"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("playbin"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("parsebin"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("decodebin"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("filesrc"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("filesink"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("tee"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("queue"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("capsfilter"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("concat"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("fakesink"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("pulsesrc"), QStringLiteral("gstreamer1.0-pulseaudio")},
        {QStringLiteral("v4l2src"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("qtmux"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("mp4mux"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("splitmuxsink"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("level"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("aspectratiocrop"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("scaletempo"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("splitmuxsrc"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("autoaudiosink"), QStringLiteral("gstreamer1.0-plugins-good")},
        {QStringLiteral("fakesink"), QStringLiteral("libgstreamer1.0-0")},
        {QStringLiteral("appsink"), QStringLiteral("gstreamer1.0-plugins-base")},
        {QStringLiteral("x264enc"), QStringLiteral("gstreamer1.0-plugins-ugly")},
        {QStringLiteral("h264parse"), QStringLiteral("gstreamer1.0-plugins-bad")},
        {QStringLiteral("voaacenc"), QStringLiteral("gstreamer1.0-plugins-bad")},
        {QStringLiteral("avenc_aac"), QStringLiteral("gstreamer1.0-libav")},
        {QStringLiteral("avenc_alac"), QStringLiteral("gstreamer1.0-libav")},
        {QStringLiteral("avenc_mpeg4"), QStringLiteral("gstreamer1.0-libav")},
        {QStringLiteral("pipewiresrc"), QStringLiteral("gstreamer1.0-pipewire")},
    };
    return packages.value(factoryName);
}

bool hasElement(const QString &factoryName, Error *error)
{
    if (!initialize(error))
        return false;
    GstElementFactory *factory = gst_element_factory_find(factoryName.toUtf8().constData());
    if (factory) {
        gst_object_unref(factory);
        return true;
    }
    const QString package = packageForElement(factoryName);
    const QString install = package.isEmpty() ? QStringLiteral("the GStreamer plugin packages")
                                              : QStringLiteral("the package %1").arg(package);
    setError(error, Error(kErrorDomain, 2,
                          QStringLiteral("The GStreamer element \"%1\" is missing. Install %2 "
                                         "and start the program again.")
                              .arg(factoryName, install)));
    return false;
}

bool isDiskFull(const Error &error)
{
    return error.domain() == QString::fromUtf8(g_quark_to_string(GST_RESOURCE_ERROR)) &&
           error.code() == GST_RESOURCE_ERROR_NO_SPACE_LEFT;
}

} // namespace lq::GStreamer
