#include "engines/LQEngineFactory.h"

#include "support/FakePlaySession.h"
#include "support/FakeRecSession.h"

#include <gtest/gtest.h>

namespace {

using Family = LQEngineFactory::Family;

// Makes fakes and remembers which family was asked for.
class FakeEngineFactory final : public LQEngineFactory
{
public:
    QList<Family> asked;

private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family family) override
    {
        asked.append(family);
        return std::make_unique<lq::test::FakeRecSession>();
    }
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family family) override
    {
        asked.append(family);
        return std::make_unique<lq::test::FakePlaySession>();
    }
};

// Sets LUMAQUILL_MEDIA_ENGINE while it lives.
class EngineSwitch
{
public:
    explicit EngineSwitch(const QByteArray &value) : m_previous(qgetenv(kName))
    {
        if (value.isNull())
            qunsetenv(kName);
        else
            qputenv(kName, value);
    }
    ~EngineSwitch()
    {
        if (m_previous.isNull())
            qunsetenv(kName);
        else
            qputenv(kName, m_previous);
    }

private:
    static constexpr const char *kName = "LUMAQUILL_MEDIA_ENGINE";
    QByteArray m_previous;
};

TEST(LQEngineFactoryTest, RunTimeFamilyFollowsThePlatformSwitch)
{
    const std::pair<QByteArray, Family> cases[] = {
        {QByteArray(), Family::Modern},
        {"legacy", Family::Legacy},
        {"modern", Family::Modern},
        {"LEGACY", Family::Modern}, // the switch is exact
    };
    for (const auto &[value, family] : cases) {
        EngineSwitch engineSwitch(value);
        FakeEngineFactory factory;
        EXPECT_EQ(factory.runTimeFamily(), family) << value.constData();
        ASSERT_TRUE(factory.makeRecordingEngine());
        ASSERT_TRUE(factory.makePlaybackEngine());
        ASSERT_TRUE(factory.makePlaybackEngine(Family::Legacy)); // trimming asks by name
        EXPECT_EQ(factory.asked, (QList<Family>{family, family, Family::Legacy}));
    }
}

TEST(LQEngineFactoryTest, InstalledFactoryServesEveryCallerUntilRemoved)
{
    EXPECT_FALSE(LQEngineFactory::current().makeRecordingEngine());
    EXPECT_FALSE(LQEngineFactory::current().makePlaybackEngine());

    FakeEngineFactory fakes;
    LQEngineFactory *previous = LQEngineFactory::setCurrent(&fakes);
    auto engine = LQEngineFactory::current().makeRecordingEngine();
    EXPECT_TRUE(dynamic_cast<lq::test::FakeRecSession *>(engine.get()));
    EXPECT_EQ(LQEngineFactory::setCurrent(previous), &fakes);
    EXPECT_FALSE(LQEngineFactory::current().makeRecordingEngine());
}

} // namespace
