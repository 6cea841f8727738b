#include "platform/foundation/Log.h"

#include <syslog.h>

#include <cstdio>
#include <mutex>

namespace lq {
namespace {

std::mutex &sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

LogSink &installedSink()
{
    static LogSink sink;
    return sink;
}

void writeToSystem(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::fputs(utf8.constData(), stderr);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stderr);
    syslog(LOG_NOTICE, "%s", utf8.constData());
}

} // namespace

void log(const QString &text)
{
    LogSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = installedSink();
    }
    if (sink)
        sink(text);
    else
        writeToSystem(text);
}

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex());
    LogSink previous = std::move(installedSink());
    installedSink() = std::move(sink);
    return previous;
}

} // namespace lq
