#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace lq {

struct Notification
{
    QString name;
    const void *sender = nullptr;
    QVariantMap userInfo;
};

// Named notifications between objects that do not know each other. Delivery is synchronous,
// on the posting thread, in registration order; observers may add and remove observers while
// being notified: a removed observer is not called afterwards, an added one only from the next
// post on. Removing from one thread (also by destroying a context) does not wait for a
// delivery running on another.
class NotificationCenter
{
public:
    using Handler = std::function<void(const Notification &notification)>;
    using ObserverId = uint64_t;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    static NotificationCenter &defaultCenter();

    // Observes name (every name when empty) from sender (any sender when null). The owner
    // identifies the observer for removeObserver(owner); null for none. An empty handler is
    // refused (id 0).
    ObserverId addObserver(const void *owner, const QString &name, const void *sender,
                           Handler handler);
    // The same with a QObject as owner, whose observations also end when it is destroyed.
    ObserverId addObserver(const QObject *context, const QString &name, const void *sender,
                           Handler handler);
    ObserverId addObserver(std::nullptr_t, const QString &name, const void *sender,
                           Handler handler);
    void removeObserver(ObserverId id);
    // Removes every observation made for owner; a null owner is refused, removing nothing.
    void removeObserver(const void *owner);

    void post(const QString &name, const void *sender = nullptr, const QVariantMap &userInfo = {});

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace lq
