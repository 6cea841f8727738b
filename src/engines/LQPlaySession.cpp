#include "engines/LQPlaySession.h"

LQPlaySession::LQPlaySession() = default;

LQPlaySession::~LQPlaySession() = default;

QList<double> LQPlaySession::subSessionLengths() const
{
    return m_subSessionLengths.get();
}

void LQPlaySession::setSubSessionLengths(const QList<double> &lengths)
{
    m_subSessionLengths.set(lengths);
}

QString LQPlaySession::path() const
{
    return m_path.get();
}

void LQPlaySession::setPath(const QString &path)
{
    m_path.set(path);
}

QString LQPlaySession::tempDir() const
{
    return m_tempDir.get();
}

void LQPlaySession::setTempDir(const QString &folder)
{
    m_tempDir.set(folder);
}
