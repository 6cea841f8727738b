#include "engines/LQMediaFileNames.h"

#include <QRegularExpression>

namespace LQMediaFileNames {

// One-pass arg(): a folder that contains "%2" must come through as it is.
QString sessionStem(const QString &folder, int session)
{
    return QStringLiteral("%1/recording-%2.").arg(folder, QString::number(session));
}

QString fileName(const QString &stem, int fileNumber)
{
    return QStringLiteral("%1%2.mov").arg(stem, QString::number(fileNumber));
}

bool isMediaFileName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^recording-\\d+([.-]\\d+)?\\.mov$"));
    return pattern.match(name).hasMatch();
}

} // namespace LQMediaFileNames
