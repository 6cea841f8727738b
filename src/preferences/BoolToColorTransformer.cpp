#include "preferences/BoolToColorTransformer.h"

#include "platform/foundation/BoolValue.h"

QColor BoolToColorTransformer::transformedValue(const QVariant &value, const QPalette &palette)
{
    bool answers = false;
    const bool truth = lq::boolValue(value, &answers);
    if (value.isValid() && answers && !truth)
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    return palette.color(QPalette::Active, QPalette::WindowText);
}
