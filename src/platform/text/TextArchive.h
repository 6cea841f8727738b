#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/AttributedString.h"

#include <QByteArray>

#include <optional>

namespace lq {

// The keyed archive of a whole text (the note's "text" member): the attributed-string layout with
// the attributes "NSFont", "NSColor", "NSBackgroundColor", "NSUnderline", "NSUnderlineColor",
// "NSLink", "NSParagraphStyle" and "NSAttachment", whose values are objects of the classes
// "LQFont", "LQColor", "LQParagraphStyle" and "LQTextAttachment" (numbers and strings as they
// are). An attachment's file name inside the package is not archived here. A value that cannot
// be read is logged and left out of its run.
QByteArray archivedText(const AttributedString &text);
std::optional<AttributedString> unarchivedText(const QByteArray &data, Error *error = nullptr);

} // namespace lq
