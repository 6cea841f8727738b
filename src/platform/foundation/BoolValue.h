#pragma once

#include <QVariant>

namespace lq {

// The truth value of a setting: booleans and numbers are true when not zero; strings, after
// leading spaces, a sign and zeros, are true when they start with Y, y, T, t or 1 to 9. Other
// kinds (dates, data) have none: answers is set to false.
bool boolValue(const QVariant &value, bool *answers = nullptr);

} // namespace lq
