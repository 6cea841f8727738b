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

} // namespace lq
