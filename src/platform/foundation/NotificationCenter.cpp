#include "platform/foundation/NotificationCenter.h"

#include "platform/foundation/Log.h"

#include <algorithm>
#include <mutex>
#include <utility>
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
    QMetaObject::Connection contextWatch; // ends the observation with its context
    bool removed = false;                 // guarded by the center's mutex

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
        std::vector<QMetaObject::Connection> watches;
        {
            std::lock_guard lock(mutex);
            std::erase_if(observers, [&](const std::shared_ptr<Observer> &observer) {
                if (!matches(*observer))
                    return false;
                observer->removed = true;
                watches.push_back(std::exchange(observer->contextWatch, {}));
                return true;
            });
        }
        // Outside the lock: a context may be emitting its destruction on another thread.
        for (const QMetaObject::Connection &watch : watches)
            QObject::disconnect(watch);
    }

    ObserverId add(std::shared_ptr<Observer> observer)
    {
        std::lock_guard lock(mutex);
        observer->id = ++lastId;
        observers.push_back(observer);
        return observer->id;
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

NotificationCenter::~NotificationCenter()
{
    d->remove([](const Observer &) { return true; });
}

NotificationCenter &NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

namespace {

std::shared_ptr<Observer> makeObserver(const void *owner, const QString &name, const void *sender,
                                       NotificationCenter::Handler handler)
{
    if (!handler) {
        log(QStringLiteral("NotificationCenter: ignored an observer of \"%1\" without a handler")
                .arg(name));
        return nullptr;
    }
    auto observer = std::make_shared<Observer>();
    observer->owner = owner;
    observer->name = name;
    observer->sender = sender;
    observer->handler = std::move(handler);
    return observer;
}

} // namespace

NotificationCenter::ObserverId NotificationCenter::addObserver(const void *owner,
                                                               const QString &name,
                                                               const void *sender, Handler handler)
{
    std::shared_ptr<Observer> observer = makeObserver(owner, name, sender, std::move(handler));
    return observer ? d->add(std::move(observer)) : 0;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const QObject *context,
                                                               const QString &name,
                                                               const void *sender, Handler handler)
{
    std::shared_ptr<Observer> observer = makeObserver(context, name, sender, std::move(handler));
    if (!observer)
        return 0;
    const ObserverId id = d->add(observer);
    if (context) {
        // Connected after adding, so that the removal can disconnect it; a removal that came
        // in between leaves nothing to watch.
        QMetaObject::Connection watch =
            QObject::connect(context, &QObject::destroyed, [this, id] { removeObserver(id); });
        std::unique_lock lock(d->mutex);
        if (observer->removed) {
            lock.unlock();
            QObject::disconnect(watch);
        } else {
            observer->contextWatch = std::move(watch);
        }
    }
    return id;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(std::nullptr_t, const QString &name,
                                                               const void *sender, Handler handler)
{
    return addObserver(static_cast<const void *>(nullptr), name, sender, std::move(handler));
}

void NotificationCenter::removeObserver(ObserverId id)
{
    d->remove([id](const Observer &observer) { return observer.id == id; });
}

void NotificationCenter::removeObserver(const void *owner)
{
    if (!owner) {
        log(QStringLiteral("Program error, removeObserver without an owner; nothing removed"));
        return;
    }
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
