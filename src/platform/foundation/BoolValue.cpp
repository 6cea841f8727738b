#include "platform/foundation/BoolValue.h"

namespace lq {

bool boolValue(const QVariant &value, bool *answers)
{
    if (answers)
        *answers = true;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong() != 0;
    case QMetaType::Float:
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = value.toString();
        qsizetype i = 0;
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            ++i;
        while (i < text.size() && text[i] == QLatin1Char('0'))
            ++i;
        if (i == text.size())
            return false;
        const QChar first = text[i];
        return QStringLiteral("YyTt123456789").contains(first);
    }
    default:
        if (answers)
            *answers = false;
        return false;
    }
}

} // namespace lq
