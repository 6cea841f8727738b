#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/text/ArchiveAttributes.h"

#include <memory>

namespace lq {

// An attributed string in a keyed archive, in the attributed-string layout: "NSString" (a string
// object), "NSAttributes" (one dictionary, or an array of the distinct dictionaries) and, with
// more than one run, "NSAttributeInfo": data of unsigned variable-length pairs (run length in
// UTF-16 units, index into "NSAttributes"). Reading is tolerant: runs that overrun the string are
// cut, a bad index gives no attributes, characters left over have none.
class CodedAttributedString : public Archivable
{
public:
    explicit CodedAttributedString(ArchivedAttributedString string) : m_string(std::move(string)) {}

    const ArchivedAttributedString &string() const { return m_string; }

    QStringList archiveClassNames() const override;
    void encodeWithCoder(KeyedArchiver &coder) const override;

    // Makes the layout's class names known to the unarchiver and answers them; safe to call
    // more than once.
    static const ArchiveClasses &registerArchiveClasses();

private:
    ArchivedAttributedString m_string;
};

// The archive value of an attributed string, and back; nullopt when the value is not one.
ArchiveValue attributedStringArchiveValue(ArchivedAttributedString string);
std::optional<ArchivedAttributedString> attributedStringFromArchiveValue(const ArchiveValue &value);

} // namespace lq
