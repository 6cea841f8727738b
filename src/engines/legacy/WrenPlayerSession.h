#pragma once

#include "engines/LQPlaySession.h"
#include "platform/media/MovieTimeline.h"

#include <memory>

class LQMediaExport;

// The playback engine of the legacy family. It does not play: it assembles media files and gaps
// into one movie timeline (movie()) that a view shows and seeks, and crops and exports it. A gap
// is filled with silence until a picture was seen and with black after it; a file that cannot be
// read keeps its length from subSessionLengths() when known. A timeline of several pieces is
// described in "playerTmp-<n>.mov" (the first free name in tempDir()) and read back from there;
// reset() removes that file. Main thread only.
class WrenPlayerSession final : public LQPlaySession
{
public:
    WrenPlayerSession();
    ~WrenPlayerSession() override;

    // One path: the file alone is the timeline, false when it cannot be read. Several elements:
    // true when any stretch went in; false at once when a file cannot be read and its length is
    // not known, or without a temporary folder.
    bool addMediaPaths(const QList<LQMediaElement> &elements) override;
    bool addMediaFiles(const QStringList &names, const QString &folder) override;
    // This engine never plays: these answer false.
    bool startPlaying(std::optional<double> offset, bool backwards) override;
    bool stopPlaying() override { return false; }
    bool setRate(float) override { return false; }
    bool currentTime(double *) override { return false; }
    bool length(double *) override { return false; }
    bool currentlyPlaying() const override { return false; }
    // Moves the moment the movie shows.
    void setCurrentTime(double seconds) override;
    // A view that hosts a timeline (lq::MovieTimelineHost) is given the movie loaded last.
    void setPlayerView(QWidget *view) override;
    // Crops the files last given with addMediaFiles at offset (none: 0; beyond the end keeps
    // them whole) as today's engine does, then resets. False for a negative offset or without
    // files.
    bool trimFrom(std::optional<double> offset, QStringList *newFiles) override;
    // Writes the timeline as the type says (WrenExportSettings.h). False when cancelled, or after
    // telling a failure in an alert; false, logged, without a destination, a timeline or for a
    // type this engine does not write.
    bool exportMedia(const QString &destination, const QString &type, LQExportProgress &progress,
                     std::optional<QSize> size) override;
    void cancelExporting() override;

    // The timeline; null until something is loaded.
    lq::MovieTimeline *movie() const { return m_movie.get(); }
    // The description of the assembled timeline; empty when there is none.
    QString temporaryMovieFile() const { return m_tmpMovieFile; }
    // Lets go of the timeline and the files, removes the description and forgets the folders.
    void reset();

private:
    bool assemble(const QList<LQMediaElement> &elements);
    void removeTemporaryMovie();

    std::unique_ptr<lq::MovieTimeline> m_movie;
    QStringList m_movieFiles;
    QString m_tmpMovieFile;
    LQMediaExport *m_export = nullptr; // while exporting
};
