#include "support/FakeUpdater.h"

namespace lq::test {

FakeUpdater::FakeUpdater() : m_previous(Updater::setShared(this))
{}

FakeUpdater::~FakeUpdater()
{
    Updater::setShared(m_previous);
}

void FakeUpdater::setAutomaticallyChecksForUpdates(bool checks)
{
    m_automatic = checks;
    Q_EMIT automaticallyChecksForUpdatesChanged(checks);
}

void FakeUpdater::setFeedURL(const QUrl &url)
{
    m_feed = url;
    Q_EMIT feedURLChanged(url);
}

} // namespace lq::test
