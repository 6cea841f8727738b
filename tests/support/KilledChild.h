#pragma once

#include <QByteArray>
#include <QString>

namespace lq::test {

// What the parent saw of a child it killed.
struct KilledChildRun
{
    QByteArray output; // what it wrote before the wait
    int waitedMillis = 0;
};

// Runs this test program again with only the test named test (as "Suite.Name") and variable set
// to value in its environment; once the child has written mark (without one, anything), waits a
// random 20 ms to longestMillis and kills it with SIGKILL. Fails the calling test when the child
// does not start or write; call it inside ASSERT_NO_FATAL_FAILURE.
KilledChildRun killChildAtRandom(const QString &test, const char *variable, const QString &value,
                                 int longestMillis, const QByteArray &mark = QByteArray());

} // namespace lq::test
