#pragma once

#include "document/TemporaryFolderClaim.h"
#include "model/ImportedMovie.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Media that a crash left in a note's temporary folder beyond what the note's package holds.
struct LeftoverRecording
{
    // Held until the user has decided, so that no other start offers it meanwhile.
    std::unique_ptr<TemporaryFolderClaim> claim;
    // Each readable, in the order they were recorded.
    std::vector<ImportedMovie> media;
    QDateTime began;
    double length = 0.0; // seconds
};

// What a start finds in the notes' temporary folders of the cache folder. A folder that a running
// copy holds is left alone; one that holds recorded media beyond its note's package is kept (its
// movies cut off by the crash repaired) to be offered back; any other is removed.
struct LeftoverRecordings
{
    static LeftoverRecordings find(const QString &cacheFolder);

    std::vector<LeftoverRecording> recordings;
    // The packages named by the folders that running copies hold.
    QStringList packagesInUse;
};
