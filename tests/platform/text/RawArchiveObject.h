#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/KeyedArchiver.h"

namespace lq::test {

// An archived object of any class with the given values, to build archives by hand.
class RawArchiveObject : public Archivable
{
public:
    RawArchiveObject(QString className, QList<std::pair<QString, ArchiveValue>> fields)
        : m_className(std::move(className)), m_fields(std::move(fields))
    {}

    static ArchiveValue make(QString className, QList<std::pair<QString, ArchiveValue>> fields)
    {
        return ArchiveValue::object(
            std::make_shared<RawArchiveObject>(std::move(className), std::move(fields)));
    }

    QStringList archiveClassNames() const override { return {m_className}; }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        for (const auto &[key, value] : m_fields)
            coder.encodeObject(key, value);
    }

private:
    QString m_className;
    QList<std::pair<QString, ArchiveValue>> m_fields;
};

} // namespace lq::test
