#pragma once

#include <QByteArray>
#include <QString>

namespace lq::test {

// Runs this test program again with only the test named test (as "Suite.Name") and variable set
// to value in its environment; once the child has written mark (without one, anything), waits a
// random 20 ms to longestMillis, kills it with SIGKILL and answers how long it waited. Fails the
// calling test when the child does not start or write; call it inside ASSERT_NO_FATAL_FAILURE.
int killChildAtRandom(const QString &test, const char *variable, const QString &value,
                      int longestMillis, const QByteArray &mark = QByteArray());

} // namespace lq::test
