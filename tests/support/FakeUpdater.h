#pragma once

#include "platform/update/Updater.h"

namespace lq::test {

// An updater that keeps its settings in memory and counts checks. Installs itself as the
// shared updater while it lives.
class FakeUpdater final : public Updater
{
public:
    FakeUpdater();
    ~FakeUpdater() override;

    bool automaticallyChecksForUpdates() const override { return m_automatic; }
    void setAutomaticallyChecksForUpdates(bool checks) override;
    QUrl feedURL() const override { return m_feed; }
    void setFeedURL(const QUrl &url) override;
    void checkForUpdates() override { ++m_checks; }
    void start() override {}

    int checks() const { return m_checks; }

private:
    bool m_automatic = false;
    QUrl m_feed;
    int m_checks = 0;
    Updater *m_previous;
};

} // namespace lq::test
