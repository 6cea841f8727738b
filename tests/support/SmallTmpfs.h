#pragma once

#include <QString>

namespace lq::test {

// A tmpfs of a few hundred kilobytes mounted for one test, to make writes run out of space for
// real. Mounting needs root (as in CI); where it cannot mount, mounted() is false and whyNot() says
// why, so the test can skip with that message. Unmounted and removed when it goes.
class SmallTmpfs
{
public:
    explicit SmallTmpfs(qint64 sizeBytes);
    ~SmallTmpfs();
    SmallTmpfs(const SmallTmpfs &) = delete;
    SmallTmpfs &operator=(const SmallTmpfs &) = delete;

    bool mounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString path() const { return m_path; }

private:
    QString m_path;
    QString m_whyNot;
    bool m_mounted = false;
};

} // namespace lq::test
