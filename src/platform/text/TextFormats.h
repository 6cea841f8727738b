#pragma once

#include "platform/text/TextAttributes.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <optional>

namespace lq {

// The QTextDocument form of text attributes. What Qt cannot hold (colour spaces, the underline
// style number, link values, the stored font name, attachments, list and tab attributes) goes
// into user properties; the native properties are set from them for display only.
namespace text_formats {

// A character format; an attachment gives an image format without a resource name (the
// storage names the image it registers for display).
QTextCharFormat charFormat(const TextAttributes &attributes);
// The character attributes of a format (no paragraph style).
TextAttributes characterAttributes(const QTextCharFormat &format);

QTextBlockFormat blockFormat(const std::optional<TextParagraphStyle> &style);
std::optional<TextParagraphStyle> paragraphStyle(const QTextBlockFormat &format);

// The Qt underline style that displays a stored underline style number.
QTextCharFormat::UnderlineStyle displayUnderlineStyle(int64_t underlineStyle);

} // namespace text_formats

} // namespace lq
