#pragma once

#include "model/OldMediaConverter.h"

#include <QString>

// Converts a media file the player cannot play into a movie it plays: every sound is encoded
// again as AAC and the first video stream as H.264, into "converter-<n>.mp4" in the recording's
// temporary folder, from where saveAsMovFile writes it as a flattened movie. The temporary file
// goes with cleanup() or with the converter. The main thread handles events while it works.
class LQOldMediaConverter final : public OldMediaConverter
{
public:
    // temporaryFolder: the recording's, where the converted file is written.
    explicit LQOldMediaConverter(QString temporaryFolder);
    ~LQOldMediaConverter() override;
    LQOldMediaConverter(const LQOldMediaConverter &) = delete;
    LQOldMediaConverter &operator=(const LQOldMediaConverter &) = delete;

    // False, leaving no file, when path is no media or cannot be converted.
    bool convertFile(const QString &path, int32_t session) override;
    bool outputOpens(QString *error) override;
    // Nothing before a conversion succeeded. destination may be the source itself: it is
    // replaced only by a complete movie. Failures are logged.
    void saveAsMovFile(const QString &destination) override;
    // Removes the converted file.
    void cleanup();

    // The converted file; empty until a conversion succeeded and after cleanup().
    QString outputFile() const { return m_outputFile; }

private:
    QString m_temporaryFolder;
    QString m_outputFile;
};
