#include "document/PackageMember.h"

#include "platform/foundation/FileOperations.h"

PackageMember::PackageMember(const QString &package, const QString &name)
{
    const QString path = package + QLatin1Char('/') + name;
    m_exists = lq::FileOperations::current().exists(path);
    m_bytes = lq::readRegularFile(path, kMaxSize, lq::LinkHandling::Refuse, &m_error);
}
