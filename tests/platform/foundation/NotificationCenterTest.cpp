#include "platform/foundation/NotificationCenter.h"

#include "support/LogCapture.h"

#include <QObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {

using lq::Notification;
using lq::NotificationCenter;

const char senderOne = 1;
const char senderTwo = 2;

TEST(NotificationCenterTest, FiltersByNameAndSender)
{
    NotificationCenter center;
    QStringList calls;
    const auto record = [&](const char *label) {
        return [&calls, label](const Notification &) { calls.append(QString::fromLatin1(label)); };
    };
    center.addObserver(nullptr, "A", nullptr, record("A/any"));
    center.addObserver(nullptr, "A", &senderOne, record("A/one"));
    center.addObserver(nullptr, {}, nullptr, record("all/any"));
    center.addObserver(nullptr, {}, &senderTwo, record("all/two"));

    struct Case
    {
        const char *name;
        const void *sender;
        QStringList expected;
    };
    const Case cases[] = {
        {"A", &senderOne, {"A/any", "A/one", "all/any"}},
        {"A", &senderTwo, {"A/any", "all/any", "all/two"}},
        {"A", nullptr, {"A/any", "all/any"}},
        {"B", nullptr, {"all/any"}},
        {"B", &senderTwo, {"all/any", "all/two"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        center.post(c.name, c.sender);
        EXPECT_EQ(calls, c.expected);
    }
}

TEST(NotificationCenterTest, ObserversMayChangeTheListWhileNotified)
{
    NotificationCenter center;
    QStringList calls;
    NotificationCenter::ObserverId self = 0;
    NotificationCenter::ObserverId victim = 0;
    center.addObserver(nullptr, "N", nullptr, [&](const Notification &) {
        calls.append("remover");
        center.removeObserver(victim);
    });
    self = center.addObserver(nullptr, "N", nullptr, [&](const Notification &) {
        calls.append("once");
        center.removeObserver(self);
        center.addObserver(nullptr, "N", nullptr,
                           [&](const Notification &) { calls.append("added"); });
    });
    victim = center.addObserver(nullptr, "N", nullptr,
                                [&](const Notification &) { calls.append("victim"); });

    center.post("N");
    EXPECT_EQ(calls, QStringList({"remover", "once"}));
    calls.clear();
    center.post("N");
    EXPECT_EQ(calls, QStringList({"remover", "added"}));
}

TEST(NotificationCenterTest, RemovesByOwnerAndByIdAndRefusesAnEmptyHandler)
{
    NotificationCenter center;
    const int ownerA = 0;
    const int ownerB = 0;
    QStringList calls;
    center.addObserver(&ownerA, "N", nullptr, [&](const Notification &) { calls.append("a1"); });
    center.addObserver(&ownerA, {}, nullptr, [&](const Notification &) { calls.append("a2"); });
    const auto b =
        center.addObserver(&ownerB, "N", nullptr, [&](const Notification &) { calls.append("b"); });
    center.removeObserver(&ownerA);
    center.removeObserver(NotificationCenter::ObserverId(9999)); // unknown: no effect
    center.post("N");
    EXPECT_EQ(calls, QStringList({"b"}));
    center.removeObserver(b);
    center.post("N");
    EXPECT_EQ(calls, QStringList({"b"}));

    lq::test::LogCapture log;
    EXPECT_EQ(center.addObserver(nullptr, "N", nullptr, {}), 0u); // no handler: refused
    EXPECT_TRUE(log.contains("without a handler"));
    center.post("N");
}

TEST(NotificationCenterTest, RemovingWithoutAnOwnerRemovesNothing)
{
    NotificationCenter center;
    int calls = 0;
    center.addObserver(nullptr, "N", nullptr, [&](const Notification &) { ++calls; });
    lq::test::LogCapture log;
    center.removeObserver(nullptr);
    EXPECT_TRUE(log.contains("Program error"));
    center.post("N");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, ObservationsOfAContextEndWithIt)
{
    struct Case
    {
        const char *what;
        std::function<void(NotificationCenter &, std::unique_ptr<QObject> &,
                           NotificationCenter::ObserverId)>
            end;
        QStringList calls;
    };
    const Case cases[] = {
        {"context kept", [](auto &, auto &, auto) {}, {"context", "other"}},
        {"context destroyed", [](auto &, auto &context, auto) { context.reset(); }, {"other"}},
        {"removed by context",
         [](auto &center, auto &context, auto) { center.removeObserver(context.get()); },
         {"other"}},
        {"removed by id, then the context destroyed",
         [](auto &center, auto &context, auto id) {
             center.removeObserver(id);
             context.reset();
         },
         {"other"}},
        {"context destroyed on another thread",
         [](auto &, auto &context, auto) {
             QObject *raw = context.release();
             raw->moveToThread(nullptr);
             std::thread([raw] { delete raw; }).join();
         },
         {"other"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        NotificationCenter center;
        auto context = std::make_unique<QObject>();
        const int other = 0;
        QStringList calls;
        const auto id = center.addObserver(context.get(), "N", nullptr,
                                           [&](const Notification &) { calls.append("context"); });
        center.addObserver(&other, "N", nullptr,
                           [&](const Notification &) { calls.append("other"); });
        c.end(center, context, id);
        center.post("N");
        EXPECT_EQ(calls, c.calls);
    }

    // A center that goes first leaves nothing behind for the context's destruction.
    QObject outliving;
    {
        NotificationCenter center;
        center.addObserver(&outliving, "N", nullptr, [](const Notification &) {});
    }
}

TEST(NotificationCenterTest, DeliversOnThePostingThread)
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    EXPECT_EQ(&center, &NotificationCenter::defaultCenter());
    const int owner = 0;
    Notification received;
    std::thread::id deliveredOn;
    center.addObserver(&owner, "Saved", nullptr, [&](const Notification &notification) {
        received = notification;
        deliveredOn = std::this_thread::get_id();
    });
    std::thread::id workerId;
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        center.post("Saved", &senderOne, {{"path", "/tmp/a"}, {"count", 3}});
    });
    worker.join();
    center.removeObserver(&owner);
    EXPECT_EQ(deliveredOn, workerId);
    EXPECT_EQ(received.name, "Saved");
    EXPECT_EQ(received.sender, &senderOne);
    EXPECT_EQ(received.userInfo.value("path").toString(), "/tmp/a");
    EXPECT_EQ(received.userInfo.value("count").toInt(), 3);
}

TEST(NotificationCenterTest, RegistrationFromManyThreadsAtOnce)
{
    NotificationCenter center;
    constexpr int threadCount = 4;
    constexpr int rounds = 200;
    std::atomic<int> delivered{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            const QString name = QStringLiteral("T%1").arg(t);
            for (int i = 0; i < rounds; ++i) {
                const auto id = center.addObserver(&center, name, nullptr,
                                                   [&](const Notification &) { ++delivered; });
                center.post(name);
                center.removeObserver(id);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(delivered.load(), threadCount * rounds);
}

} // namespace
