#pragma once

#include "engines/LQEngineFactory.h"
#include "support/FakePlaySession.h"
#include "support/FakeRecSession.h"

namespace lq::test {

// Makes fake engines of the family given while it lives, and keeps a pointer to the last ones
// made (owned by whoever asked for them).
class FakeEngineFactory final : public LQEngineFactory
{
public:
    explicit FakeEngineFactory(Family family = Family::Modern)
        : m_family(family), m_previous(LQEngineFactory::setCurrent(this))
    {}
    ~FakeEngineFactory() override { LQEngineFactory::setCurrent(m_previous); }
    FakeEngineFactory(const FakeEngineFactory &) = delete;
    FakeEngineFactory &operator=(const FakeEngineFactory &) = delete;

    Family runTimeFamily() const override { return m_family; }

    FakeRecSession *lastRecordingEngine = nullptr;
    FakePlaySession *lastPlaybackEngine = nullptr;
    QList<Family> playbackFamilies;
    // Given to every playback engine made from now on.
    FakePlaySession::Script playbackScript;
    std::function<void(FakePlaySession &)> onExport;

private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family) override
    {
        auto engine = std::make_unique<FakeRecSession>();
        lastRecordingEngine = engine.get();
        return engine;
    }
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family family) override
    {
        playbackFamilies.append(family);
        auto engine = std::make_unique<FakePlaySession>();
        engine->script = playbackScript;
        engine->onExport = onExport;
        lastPlaybackEngine = engine.get();
        return engine;
    }

    Family m_family;
    LQEngineFactory *m_previous;
};

} // namespace lq::test
