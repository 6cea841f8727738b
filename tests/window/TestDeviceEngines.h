#pragma once

#include "engines/LQEngineFactory.h"
#include "engines/avf/LQPlayerSession.h"
#include "engines/avf/LQRecordingSession.h"

#include <memory>

namespace lq::test {

// The program's own engines while it lives, over the test devices and preferences of the test.
class TestDeviceEngines final : public LQEngineFactory
{
public:
    explicit TestDeviceEngines(LQRecordingSession::Services services)
        : m_services(services), m_previous(LQEngineFactory::setCurrent(this))
    {}
    ~TestDeviceEngines() override { LQEngineFactory::setCurrent(m_previous); }
    TestDeviceEngines(const TestDeviceEngines &) = delete;
    TestDeviceEngines &operator=(const TestDeviceEngines &) = delete;

private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family) override
    {
        return std::make_unique<LQRecordingSession>(m_services);
    }
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family) override
    {
        return std::make_unique<LQPlayerSession>();
    }

    LQRecordingSession::Services m_services;
    LQEngineFactory *m_previous;
};

} // namespace lq::test
