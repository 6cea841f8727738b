#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>

class MyDocument;
class QCheckBox;
class QWidget;
struct SharingViews;

namespace lq {
class Error;
}

// The user's side of sharing a note for the web: the settings window shown until a default
// folder and an author name are stored, the share panel with the include options, and the
// hand-off to the note's web export. The preferences make an instance of their own for their
// Sharing pane. GUI thread only.
class LQSharingController : public QObject
{
    Q_OBJECT
public:
    // Writes the note as web pages into folder with what include says; false on failure, with
    // an error when there is something to tell.
    using Exporter = std::function<bool(MyDocument &note, const QString &folder,
                                        const QVariantMap &include, lq::Error *error)>;

    LQSharingController();
    ~LQSharingController() override;

    static LQSharingController &sharedSharingController();

    // The note being shared (not owned); none between shares.
    MyDocument *currentDoc() const { return m_currentDoc; }
    void setCurrentDoc(MyDocument *note) { m_currentDoc = note; }
    // What the note can offer; all true until set.
    bool audioPossible() const { return m_audioPossible; }
    void setAudioPossible(bool possible) { m_audioPossible = possible; }
    bool videoPossible() const { return m_videoPossible; }
    void setVideoPossible(bool possible) { m_videoPossible = possible; }
    bool slidesPossible() const { return m_slidesPossible; }
    void setSlidesPossible(bool possible) { m_slidesPossible = possible; }
    // The note's own web export unless replaced; an empty one restores it.
    void setExporter(Exporter exporter);

    // The share panel when both defaults are stored, else the settings window first.
    void showPrefsWindowIfNecessary();
    // Runs the settings window modally; Save goes on to the share panel, Cancel restores the
    // defaults it found.
    void showPrefsWindow();
    // The share panel; on Share the note is exported, and a failure with an error is told on
    // the note's window.
    void openShareDialog();
    // The settings' middle band, taken out of the window, as the preferences' Sharing pane.
    std::unique_ptr<QWidget> sharingPrefsView();

    // The settings' actions.
    void browseButtonPressed();
    void clearButtonPressed();
    void saveButtonPressed();
    void cancelButtonPressed();
    void learnDropboxPressed();
    void includeAudioCheckboxPressed();

    // A box the note makes possible is ticked and enabled, otherwise unticked and disabled.
    static void markPossible(QCheckBox &box, bool possible);
    static void setInclude(const QCheckBox &box, const QString &key, QVariantMap &include);

    // The settings: the default folder (archived) and the author's name.
    static constexpr char kDefaultShareLocationKey[] = "defaultShareLocation";
    static constexpr char kDefaultShareAuthorNameKey[] = "defaultShareAuthorName";

private:
    // Builds the widgets afresh and shows the stored defaults in them.
    void loadNib();
    void loadUnboundDefaults();
    void stopModal(int result);
    // Hands the ticked options to the note's export; tells a failure that has an error.
    void exportTo(const QString &folder);

    std::unique_ptr<SharingViews> m_views;
    QVariant m_beginningLocation;
    QVariant m_beginningName;
    MyDocument *m_currentDoc = nullptr;
    bool m_audioPossible = true;
    bool m_videoPossible = true;
    bool m_slidesPossible = true;
    Exporter m_exporter;
};
