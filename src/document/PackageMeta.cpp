#include "document/PackageMeta.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"

namespace {

using lq::ArchiveValue;
using Kind = lq::ArchiveValue::Kind;

void logWrongType(const QString &key)
{
    lq::log(QStringLiteral("The note's settings hold a value of the wrong type under \"%1\"; it "
                           "is ignored.\n")
                .arg(key));
}

} // namespace

void PackageMeta::setNeedsImages(bool images)
{
    minVersionCanRead = images ? QStringLiteral("3.1") : QStringLiteral("1.1");
    miniOSVersionCanRead = images ? QStringLiteral("2.1") : QStringLiteral("0.0");
}

QByteArray PackageMeta::archivedData() const
{
    lq::ArchiveDictionary entries;
    const auto add = [&entries](const char *key, ArchiveValue value) {
        entries.append({ArchiveValue::string(QLatin1String(key)), std::move(value)});
    };
    if (winFrame)
        add(kWinFrame, ArchiveValue::string(*winFrame));
    if (playbackMode)
        add(kPlaybackMode, ArchiveValue::integer(*playbackMode));
    if (recControllerState)
        add(kRecControllerState, ArchiveValue::dictionary(*recControllerState));
    if (minVersionCanRead)
        add(kMinVersionCanRead, ArchiveValue::string(*minVersionCanRead));
    if (miniOSVersionCanRead)
        add(kMiniOSVersionCanRead, ArchiveValue::string(*miniOSVersionCanRead));
    if (serialNumber)
        add(kSerialNumber, ArchiveValue::integer(static_cast<int64_t>(*serialNumber)));
    if (dividerPosition)
        add(kDividerPosition, ArchiveValue::real(*dividerPosition));
    if (autorecovery)
        add(kAutorecovery, ArchiveValue::boolean(true));
    return lq::KeyedArchiver::archivedData(ArchiveValue::dictionary(std::move(entries)));
}

std::optional<PackageMeta> PackageMeta::unarchived(const QByteArray &data, lq::Error *error)
{
    // Plain values only.
    const std::optional<ArchiveValue> root = lq::KeyedUnarchiver::unarchive(data, {}, error);
    if (!root)
        return std::nullopt;
    if (root->kind() != Kind::Dictionary) {
        lq::setError(error, lq::Error(QStringLiteral("meta"), -4,
                                      QStringLiteral("The note's settings are not a dictionary.")));
        return std::nullopt;
    }
    PackageMeta meta;
    for (const auto &[keyValue, value] : root->toDictionary()) {
        if (keyValue.kind() != Kind::String)
            continue;
        const QString key = keyValue.toString();
        const Kind kind = value.kind();
        const bool isString = kind == Kind::String;
        const bool isInteger = kind == Kind::Integer;
        if (key == QLatin1String(kWinFrame) && isString) {
            meta.winFrame = value.toString();
        } else if (key == QLatin1String(kPlaybackMode) && isInteger &&
                   value.toInteger() >= std::numeric_limits<int32_t>::min() &&
                   value.toInteger() <= std::numeric_limits<int32_t>::max()) {
            meta.playbackMode = static_cast<int32_t>(value.toInteger());
        } else if (key == QLatin1String(kRecControllerState) && kind == Kind::Dictionary) {
            meta.recControllerState = value.toDictionary();
        } else if (key == QLatin1String(kMinVersionCanRead) && isString) {
            meta.minVersionCanRead = value.toString();
        } else if (key == QLatin1String(kMiniOSVersionCanRead) && isString) {
            meta.miniOSVersionCanRead = value.toString();
        } else if (key == QLatin1String(kSerialNumber) && isInteger) {
            meta.serialNumber = static_cast<uint64_t>(value.toInteger());
        } else if (key == QLatin1String(kDividerPosition) && value.isNumber()) {
            // Zero (no text area when saved) or less places nothing.
            if (value.toReal() > 0.0)
                meta.dividerPosition = value.toReal();
        } else if (key == QLatin1String(kAutorecovery) &&
                   (value.isNumber() || kind == Kind::Bool)) {
            meta.autorecovery = value.toBool() || value.toInteger() != 0;
        } else if (key == QLatin1String(kWinFrame) || key == QLatin1String(kPlaybackMode) ||
                   key == QLatin1String(kRecControllerState) ||
                   key == QLatin1String(kMinVersionCanRead) ||
                   key == QLatin1String(kMiniOSVersionCanRead) ||
                   key == QLatin1String(kSerialNumber) || key == QLatin1String(kDividerPosition) ||
                   key == QLatin1String(kAutorecovery)) {
            logWrongType(key);
        }
    }
    return meta;
}
