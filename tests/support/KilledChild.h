#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
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
    // Runs the event loop until the child has written line on a line of its own, for limit at
    // most; false when it did not. output() holds what it wrote.
    bool waitForLine(const QByteArray &line, std::chrono::milliseconds limit);
    const QByteArray &output() const { return m_output; }
    // Lets the child run for runFor, then kills it with SIGKILL; false when it did not end.
    bool killAfter(std::chrono::milliseconds runFor);

private:
    QTemporaryDir m_temporaryFolder;
    QProcess m_process;
    QByteArray m_output;
};

// Runs the test named test with variable set to value in a ChildTestProcess; once the child
// has written mark (without one, anything), waits a random 20 ms to longestMillis, kills it with
// SIGKILL and answers how long it waited. Fails the calling test when the child does not start
// or write; call it inside ASSERT_NO_FATAL_FAILURE.
int killChildAtRandom(const QString &test, const char *variable, const QString &value,
                      int longestMillis, const QByteArray &mark = QByteArray());

} // namespace lq::test
