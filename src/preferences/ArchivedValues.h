#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QUrl>

#include <optional>

namespace lq::ArchivedValues {

// Fonts, colours and folder locations as data values of the user defaults: a small typed
// encoding (magic, version, kind, payload). Decoding refuses anything else, including a value
// of another kind, so callers fall back to their defaults.
QByteArray encodeFont(const QFont &font);
std::optional<QFont> decodeFont(const QByteArray &data);

QByteArray encodeColor(const QColor &color);
std::optional<QColor> decodeColor(const QByteArray &data);

QByteArray encodeFolderURL(const QUrl &url); // a local folder
std::optional<QUrl> decodeFolderURL(const QByteArray &data);

} // namespace lq::ArchivedValues
