#pragma once

#include "engines/GapEntry.h"
#include "platform/foundation/Guarded.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class LQExportProgress;
class QWidget;

// A playback engine: plays, trims and exports a timeline of media files and gaps. Made with a
// plain constructor, then given its temporary folder before anything else is asked of it.
class LQPlaySession
{
public:
    LQPlaySession();
    virtual ~LQPlaySession();
    LQPlaySession(const LQPlaySession &) = delete;
    LQPlaySession &operator=(const LQPlaySession &) = delete;

    // Builds one timeline of the elements end to end, in order.
    virtual bool addMediaPaths(const QList<LQMediaElement> &elements) = 0;
    // The same for names in one folder; true without work when exactly these names from this
    // folder are loaded already; false when the folder is absent or playback runs.
    virtual bool addMediaFiles(const QStringList &names, const QString &folder) = 0;
    // Plays from offset. Without one: from the end at rate -1 when backwards, else from the
    // current position.
    virtual bool startPlaying(std::optional<double> offset, bool backwards) = 0;
    // False when nothing played.
    virtual bool stopPlaying() = 0;
    // Changes the speed of a running playback (negative plays backwards); false when nothing
    // plays.
    virtual bool setRate(float rate) = 0;
    // The playback position in seconds, only while playing.
    virtual bool currentTime(double *seconds) = 0;
    // The length of the loaded timeline in seconds.
    virtual bool length(double *seconds) = 0;
    virtual void setCurrentTime(double seconds) = 0;
    // Cuts the media after offset (none = 0) into a new file, whose name newFiles receives.
    virtual bool trimFrom(std::optional<double> offset, QStringList *newFiles) = 0;
    // Writes the loaded timeline to destination as the type token names (LQExportTypes.h),
    // scaled to size when given, serving progress until done. Shows its own error alert; true
    // when written.
    virtual bool exportMedia(const QString &destination, const QString &type,
                             LQExportProgress &progress, std::optional<QSize> size) = 0;
    // Ends a running export early, without an error alert.
    virtual void cancelExporting() = 0;
    virtual bool currentlyPlaying() const = 0;
    // The view the picture is drawn into from now on (none: not shown); engines that show
    // pictures otherwise ignore it.
    virtual void setPlayerView(QWidget *) {}

    // Per-file lengths in seconds, pushed by the session clock. Any thread.
    QList<double> subSessionLengths() const;
    void setSubSessionLengths(const QList<double> &lengths);
    // The folder of the loaded files.
    QString path() const;
    void setPath(const QString &path);
    // The folder for temporary files.
    QString tempDir() const;
    void setTempDir(const QString &folder);

private:
    lq::Guarded<QList<double>> m_subSessionLengths;
    lq::Guarded<QString> m_path;
    lq::Guarded<QString> m_tempDir;
};
