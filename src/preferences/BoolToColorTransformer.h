#pragma once

#include <QColor>
#include <QPalette>
#include <QVariant>

// Greys out labels bound to a setting: the control text colour for a true value (or one that
// has no truth value), the disabled control text colour for a false one.
class BoolToColorTransformer
{
public:
    static QColor transformedValue(const QVariant &value, const QPalette &palette = QPalette());
    static constexpr bool allowsReverseTransformation() { return false; }
};
