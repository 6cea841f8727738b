#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <initializer_list>
#include <utility>

namespace lq::test {

// One test of this test program (as "Suite.Name") run in a child process, with variables added
// to its environment and its output forwarded. The child keeps its temporary files (TMPDIR) in
// a folder of this object's, so that a child killed half-way leaves nothing behind: when this
// object goes, a child still running is killed and the folder removed.
class ChildTestProcess
{
public:
    using Variables = std::initializer_list<std::pair<const char *, QString>>;

    ChildTestProcess(const QString &test, Variables variables);
    ~ChildTestProcess();
    ChildTestProcess(const ChildTestProcess &) = delete;
    ChildTestProcess &operator=(const ChildTestProcess &) = delete;

    QProcess &process() { return m_process; }

private:
    QTemporaryDir m_temporaryFolder;
    QProcess m_process;
};

// Runs the test named test with variable set to value in a ChildTestProcess; once the child
// has written mark (without one, anything), waits a random 20 ms to longestMillis, kills it with
// SIGKILL and answers how long it waited. Fails the calling test when the child does not start
// or write; call it inside ASSERT_NO_FATAL_FAILURE.
int killChildAtRandom(const QString &test, const char *variable, const QString &value,
                      int longestMillis, const QByteArray &mark = QByteArray());

} // namespace lq::test
