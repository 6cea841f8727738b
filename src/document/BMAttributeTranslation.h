#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/text/TextAttributes.h"

#include <QHash>

#include <optional>

// The translations between the text's attributes and the plain property-list values of the
// portable text archive, one pair per portable key. Each reader answers nullopt, and logs, when
// the value cannot be read.

inline const QString kBMFont = QStringLiteral("BMFont");
inline const QString kBMTextList = QStringLiteral("BMTextList");
inline const QString kBMBackgroundColor = QStringLiteral("BMBackgroundColor");
inline const QString kBMUnderlineStyle = QStringLiteral("BMUnderlineStyle");
inline const QString kBMUnderlineColor = QStringLiteral("BMUnderlineColor");
inline const QString kBMImageAttachment = QStringLiteral("BMImageAttachment");

// {"name": PostScript name, "size": point size as a 32-bit float}.
lq::ArchiveValue BMFontAttributeFromMac(const lq::TextFont &font);
std::optional<lq::TextFont> macFontAttributeFromBM(const lq::ArchiveValue &value);

// {"bulletFormat": innermost list's marker format, "parent": the same for the enclosing list};
// nullopt for a style without lists.
std::optional<lq::ArchiveValue> BMTextListAttributeFromMac(const lq::TextParagraphStyle &style);
// The default paragraph style with the lists (outermost first) and the indent and tab stops of
// their depth. The "parent" chain is walked with a depth limit and stops at a repeated link.
std::optional<lq::TextParagraphStyle> macTextListAttributeFromBM(const lq::ArchiveValue &value);
// Head indent 36 points a level; left tab stops at 11 + 36 (depth - 1), 36 depth, then every
// multiple of 28 from there, each only below 340 points.
void addMacTextTabsAndIndentsForDepth(lq::TextParagraphStyle &style, qsizetype depth);

// [red, green, blue, alpha], converted to RGB first.
lq::ArchiveValue BMBackgroundColorAttributeFromMac(const lq::TextColor &color);
std::optional<lq::TextColor> macBackgroundColorAttributeFromBM(const lq::ArchiveValue &value);

lq::ArchiveValue BMUnderlineStyleAttributeFromMac(int64_t style);
std::optional<int64_t> macUnderlineStyleAttributeFromBM(const lq::ArchiveValue &value);

// By the colour's components: [white, alpha], [red, green, blue, alpha] or
// [cyan, magenta, yellow, black, alpha].
lq::ArchiveValue BMUnderlineColorAttributeFromMac(const lq::TextColor &color);
std::optional<lq::TextColor> macUnderlineColorAttributeFromBM(const lq::ArchiveValue &value);

// {"imgName": preferred file name, "imgPath": file name inside the package}.
lq::ArchiveValue BMImageAttachmentAttributeFromMac(const QString &imageName,
                                                   const QString &imagePath);
// The attachment read from imageDir/"imgPath"; nullopt (logged) when the value has no usable
// path, there is no folder, or the file cannot be read. filesRead keeps the bytes of each file
// read, so that many images of one file share them.
std::optional<lq::TextAttachment>
macImageAttachmentAttributeFromBM(const lq::ArchiveValue &value, const QString &imageDir,
                                  QHash<QString, QByteArray> &filesRead);

// A file name an image may have inside the package: one plain path component (no "/", not "."
// or "..", no NUL, not empty).
bool isPlainImageFileName(const QString &name);
