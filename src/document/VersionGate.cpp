#include "document/VersionGate.h"

#include <QStringList>

#include <limits>

namespace VersionGate {

namespace {

// The number the component starts with, after blanks and an optional sign; 0 without digits.
int64_t leadingNumber(const QString &component)
{
    qsizetype i = 0;
    while (i < component.size() && component.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < component.size() && (component.at(i) == u'-' || component.at(i) == u'+'))
        negative = component.at(i++) == u'-';
    int64_t value = 0;
    for (; i < component.size() && component.at(i) >= u'0' && component.at(i) <= u'9'; ++i) {
        if (value > (std::numeric_limits<int32_t>::max() - 9) / 10)
            break; // the component is past any version number; it stays the largest value
        value = value * 10 + (component.at(i).unicode() - u'0');
    }
    return negative ? -value : value;
}

} // namespace

bool accepts(const QString &minimumVersion, const QString &applicationVersion)
{
    const QStringList minimum = minimumVersion.split(u'.');
    const QStringList application = applicationVersion.split(u'.');
    const qsizetype shorter = std::min(minimum.size(), application.size());
    for (qsizetype i = 0; i < shorter; ++i) {
        const int64_t needed = leadingNumber(minimum.at(i));
        const int64_t have = leadingNumber(application.at(i));
        if (have != needed)
            return have > needed;
    }
    return true;
}

lq::Error refusal(const QString &minimumVersion, const QString &applicationVersion)
{
    return lq::Error(
        QStringLiteral("Error loading file"), -1,
        QStringLiteral("This file requires a minimum of Luma Quill version %1, and you "
                       "are using version %2. Please update now.")
            .arg(minimumVersion, applicationVersion));
}

} // namespace VersionGate
