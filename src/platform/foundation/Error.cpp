#include "platform/foundation/Error.h"

namespace lq {

Error::Error(QString domain, int code, QString localizedDescription)
    : m_domain(std::move(domain)), m_code(code), m_description(std::move(localizedDescription))
{}

Error Error::withUnderlyingError(const Error &underlying) const
{
    Error copy = *this;
    copy.m_underlying = std::make_shared<const Error>(underlying);
    return copy;
}

Error Error::withFailureReason(const QString &reason) const
{
    Error copy = *this;
    copy.m_failureReason = reason;
    return copy;
}

QString Error::descriptionWithCause() const
{
    // An error with a reason of its own tells it in its description already.
    if (!m_failureReason.isEmpty())
        return m_description;
    for (const Error *cause = underlyingError(); cause; cause = cause->underlyingError()) {
        if (!cause->failureReason().isEmpty())
            return m_description + QLatin1Char(' ') + cause->failureReason();
    }
    return m_description;
}

} // namespace lq
