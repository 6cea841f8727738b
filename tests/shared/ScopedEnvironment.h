#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

// Sets environment variables for one test and puts the old values back afterwards.
class ScopedEnvironment
{
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

    ~ScopedEnvironment()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
            if (it.value())
                qputenv(it.key().constData(), *it.value());
            else
                qunsetenv(it.key().constData());
        }
    }

    void set(const char *name, const QString &value)
    {
        remember(name);
        qputenv(name, value.toUtf8());
    }

    void unset(const char *name)
    {
        remember(name);
        qunsetenv(name);
    }

private:
    void remember(const char *name)
    {
        if (m_saved.contains(name))
            return;
        m_saved.insert(name, qEnvironmentVariableIsSet(name)
                                 ? std::optional<QByteArray>(qgetenv(name))
                                 : std::nullopt);
    }

    QMap<QByteArray, std::optional<QByteArray>> m_saved;
};
