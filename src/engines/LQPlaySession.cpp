#include "engines/LQPlaySession.h"

LQPlaySession::LQPlaySession() = default;

LQPlaySession::~LQPlaySession() = default;

QList<double> LQPlaySession::subSessionLengths() const
{
    std::lock_guard lock(m_mutex);
    return m_subSessionLengths;
}

void LQPlaySession::setSubSessionLengths(const QList<double> &lengths)
{
    std::lock_guard lock(m_mutex);
    m_subSessionLengths = lengths;
}

QString LQPlaySession::path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

void LQPlaySession::setPath(const QString &path)
{
    std::lock_guard lock(m_mutex);
    m_path = path;
}

QString LQPlaySession::tempDir() const
{
    std::lock_guard lock(m_mutex);
    return m_tempDir;
}

void LQPlaySession::setTempDir(const QString &folder)
{
    std::lock_guard lock(m_mutex);
    m_tempDir = folder;
}
