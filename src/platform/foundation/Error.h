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
    // Why it failed, as a sentence of its own ("There isn't enough space."); empty when unknown.
    const QString &failureReason() const { return m_failureReason; }

    Error withUnderlyingError(const Error &underlying) const;
    Error withFailureReason(const QString &reason) const;
    // The description, then (unless the error has a reason of its own) the first reason an
    // underlying error gives, as a second sentence: what an alert about the failure tells.
    QString descriptionWithCause() const;
    bool isNull() const { return m_domain.isEmpty() && m_description.isEmpty(); }

private:
    QString m_domain;
    int m_code = 0;
    QString m_description;
    QString m_failureReason;
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
