#pragma once

#include <QString>

namespace lq::test {

// Runs this test program again with only the test named test (as "Suite.Name") and variable set
// to value in its environment; once the child has written its first output, waits a random
// 20 ms to longestMillis and kills it with SIGKILL. Fails the calling test when the child does
// not start or write; call it inside ASSERT_NO_FATAL_FAILURE.
void killChildAtRandom(const QString &test, const char *variable, const QString &value,
                       int longestMillis);

} // namespace lq::test
