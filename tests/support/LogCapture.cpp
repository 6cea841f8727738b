#include "support/LogCapture.h"

namespace lq::test {

LogCapture::LogCapture()
{
    m_previous = setLogSink([this](const QString &text) {
        std::lock_guard lock(m_mutex);
        m_lines.append(text);
    });
}

LogCapture::~LogCapture()
{
    setLogSink(std::move(m_previous));
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool LogCapture::contains(const QString &fragment) const
{
    std::lock_guard lock(m_mutex);
    for (const QString &line : m_lines) {
        if (line.contains(fragment))
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

} // namespace lq::test
