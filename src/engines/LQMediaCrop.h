#pragma once

#include <QString>
#include <QStringList>

// Keeps the first seconds of the files names in folder, one after the other, as one movie under
// the first file's name, and removes the other files; newFiles receives that one name. The movie
// is written as "tempCrop" in folder (a leftover one is removed first) and copies the kept
// samples without encoding them again where the files allow it. Any failure before the movie
// takes the first file's place leaves every file as it was. The main thread handles events
// meanwhile. Both engine families crop this way.
bool cropMediaFiles(const QString &folder, const QStringList &names, double seconds,
                    QStringList *newFiles);
