#include "platform/foundation/NotificationCenter.h"

#include "platform/foundation/Log.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace lq {

namespace {

struct Observer
{
    NotificationCenter::ObserverId id = 0;
    const void *owner = nullptr;
    QString name;
    const void *sender = nullptr;
    NotificationCenter::Handler handler;
    bool removed = false; // guarded by the center's mutex

    bool observes(const Notification &notification) const
    {
        return (name.isEmpty() || name == notification.name) &&
               (!sender || sender == notification.sender);
    }
};

} // namespace

class NotificationCenter::Private
{
public:
    // Takes the observers out of the list, and marks them so that a post already under way
    // skips them from now on.
    template <class Predicate>
    void remove(Predicate matches)
    {
        std::lock_guard lock(mutex);
        std::erase_if(observers, [&](const std::shared_ptr<Observer> &observer) {
            if (!matches(*observer))
                return false;
            observer->removed = true;
            return true;
        });
    }

    bool isRemoved(const Observer &observer)
    {
        std::lock_guard lock(mutex);
        return observer.removed;
    }

    std::mutex mutex;
    std::vector<std::shared_ptr<Observer>> observers; // in registration order
    ObserverId lastId = 0;
};

NotificationCenter::NotificationCenter() : d(std::make_unique<Private>())
{}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const void *owner,
                                                               const QString &name,
                                                               const void *sender, Handler handler)
{
    if (!handler) {
        log(QStringLiteral("NotificationCenter: ignored an observer of \"%1\" without a handler")
                .arg(name));
        return 0;
    }
    auto observer = std::make_shared<Observer>();
    observer->owner = owner;
    observer->name = name;
    observer->sender = sender;
    observer->handler = std::move(handler);
    std::lock_guard lock(d->mutex);
    observer->id = ++d->lastId;
    d->observers.push_back(observer);
    return observer->id;
}

void NotificationCenter::removeObserver(ObserverId id)
{
    d->remove([id](const Observer &observer) { return observer.id == id; });
}

void NotificationCenter::removeObserver(const void *owner)
{
    d->remove([owner](const Observer &observer) { return observer.owner == owner; });
}

void NotificationCenter::post(const QString &name, const void *sender, const QVariantMap &userInfo)
{
    const Notification notification{name, sender, userInfo};
    // Handlers run without the lock held, on a copy of the list: they may change the list.
    std::vector<std::shared_ptr<Observer>> receivers;
    {
        std::lock_guard lock(d->mutex);
        for (const std::shared_ptr<Observer> &observer : d->observers) {
            if (observer->observes(notification))
                receivers.push_back(observer);
        }
    }
    for (const std::shared_ptr<Observer> &observer : receivers) {
        if (!d->isRemoved(*observer))
            observer->handler(notification);
    }
}

} // namespace lq
