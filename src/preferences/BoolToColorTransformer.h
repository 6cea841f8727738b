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

// The truth value of a setting as the original store reads it: booleans and numbers are true
// when not zero; strings after leading spaces, a sign and zeros are true when they start with
// Y, y, T, t or 1 to 9. Other kinds (dates, data) have none: answers is set to false.
bool nsBoolValue(const QVariant &value, bool *answers = nullptr);
