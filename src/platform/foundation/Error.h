#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace lq {

// A failure the user may see: a domain per activity, a small code, a full-sentence message.
class Error
{
public:
    Error() = default;
    Error(QString domain, int code, QString localizedDescription);

    const QString &domain() const { return m_domain; }
    int code() const { return m_code; }
    const QString &localizedDescription() const { return m_description; }
    const QStringList &recoveryOptions() const { return m_recoveryOptions; }
    const Error *underlyingError() const { return m_underlying.get(); }

    Error withUnderlyingError(const Error &underlying) const;
    bool isNull() const { return m_domain.isEmpty() && m_description.isEmpty(); }

private:
    QString m_domain;
    int m_code = 0;
    QString m_description;
    QStringList m_recoveryOptions{QStringLiteral("OK")};
    std::shared_ptr<const Error> m_underlying;
};

// Stores an error through an optional out-parameter.
inline void setError(Error *out, const Error &error)
{
    if (out)
        *out = error;
}

} // namespace lq
