#include "document/DefaultWindowState.h"

#include "platform/foundation/UserDefaults.h"

#include <QVariantList>
#include <QVariantMap>

namespace {

const QString kWinFrame = QStringLiteral("winFrame");
const QString kRecControllerState = QStringLiteral("recControllerState");
const QString kDividerPosition = QStringLiteral("dividerPosition");

// The settings store holds plain values: objects have no place there and are left out, as
// are dictionary keys that are neither strings nor numbers.
QVariant toVariant(const lq::ArchiveValue &value)
{
    using Kind = lq::ArchiveValue::Kind;
    switch (value.kind()) {
    case Kind::Bool:
        return value.toBool();
    case Kind::Integer:
        return QVariant::fromValue<qint64>(value.toInteger());
    case Kind::Real:
        return value.toReal();
    case Kind::String:
        return value.toString();
    case Kind::Data:
        return value.toData();
    case Kind::Date:
        return QVariant::fromValue(value.toDate());
    case Kind::Array: {
        QVariantList list;
        for (const lq::ArchiveValue &item : value.toArray())
            if (const QVariant converted = toVariant(item); converted.isValid())
                list.append(converted);
        return list;
    }
    case Kind::Dictionary: {
        QVariantMap map;
        for (const auto &[key, item] : value.toDictionary()) {
            const QString name = key.kind() == Kind::String ? key.toString()
                                 : key.isNumber()           ? QString::number(key.toReal())
                                                            : QString();
            const QVariant converted = toVariant(item);
            if (!name.isNull() && converted.isValid())
                map.insert(name, converted);
        }
        return map;
    }
    case Kind::Null:
    case Kind::Object:
        break;
    }
    return {};
}

lq::ArchiveValue fromVariant(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return lq::ArchiveValue::boolean(value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return lq::ArchiveValue::integer(value.toLongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return lq::ArchiveValue::real(value.toDouble());
    case QMetaType::QString:
        return lq::ArchiveValue::string(value.toString());
    case QMetaType::QByteArray:
        return lq::ArchiveValue::data(value.toByteArray());
    case QMetaType::QVariantList: {
        lq::ArchiveArray array;
        for (const QVariant &item : value.toList())
            array.append(fromVariant(item));
        return lq::ArchiveValue::array(array);
    }
    case QMetaType::QVariantMap: {
        lq::ArchiveDictionary dictionary;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            dictionary.append({lq::ArchiveValue::string(it.key()), fromVariant(it.value())});
        return lq::ArchiveValue::dictionary(dictionary);
    }
    default:
        if (value.typeId() == qMetaTypeId<lq::Date>())
            return lq::ArchiveValue::date(value.value<lq::Date>());
        return {};
    }
}

} // namespace

std::optional<DefaultWindowState> DefaultWindowState::load(const lq::UserDefaults &defaults)
{
    const QVariant stored = defaults.object(QLatin1String(kDefaultsKey));
    if (stored.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    const QVariantMap map = stored.toMap();
    DefaultWindowState state;
    if (const QVariant frame = map.value(kWinFrame); frame.typeId() == QMetaType::QString)
        state.winFrame = frame.toString();
    if (const QVariant controller = map.value(kRecControllerState);
        controller.typeId() == QMetaType::QVariantMap)
        state.recControllerState = fromVariant(controller).toDictionary();
    if (const lq::ArchiveValue divider = fromVariant(map.value(kDividerPosition));
        divider.isNumber())
        state.dividerPosition = divider.toReal();
    return state;
}

void DefaultWindowState::store(lq::UserDefaults &defaults) const
{
    QVariantMap map;
    if (winFrame)
        map.insert(kWinFrame, *winFrame);
    if (recControllerState)
        map.insert(kRecControllerState,
                   toVariant(lq::ArchiveValue::dictionary(*recControllerState)));
    if (dividerPosition)
        map.insert(kDividerPosition, *dividerPosition);
    defaults.setObject(QLatin1String(kDefaultsKey), map);
}
