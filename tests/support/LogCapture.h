#pragma once

#include "platform/foundation/Log.h"

#include <QStringList>

#include <mutex>

namespace lq::test {

// Collects every log line while it lives, instead of writing them out.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    bool contains(const QString &fragment) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
    LogSink m_previous;
};

} // namespace lq::test
