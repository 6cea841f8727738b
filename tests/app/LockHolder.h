#pragma once

#include <QProcess>
#include <QString>

namespace lq::test {

// Another process that holds the POSIX lock of path until it is killed; fcntl locks belong to a
// process, so the test's own process cannot stand in for another copy.
class LockHolder
{
public:
    explicit LockHolder(const QString &path)
    {
        m_process.start(QStringLiteral("python3"),
                        {QStringLiteral("-c"),
                         QStringLiteral("import fcntl,sys,time\n"
                                        "f=open(sys.argv[1],'a+')\n"
                                        "fcntl.lockf(f,fcntl.LOCK_EX|fcntl.LOCK_NB)\n"
                                        "print('locked',flush=True)\n"
                                        "time.sleep(60)\n"),
                         path});
        m_locked = m_process.waitForReadyRead(10000) &&
                   m_process.readAllStandardOutput().startsWith("locked");
    }
    ~LockHolder()
    {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool locked() const { return m_locked; }

private:
    QProcess m_process;
    bool m_locked = false;
};

} // namespace lq::test
