#pragma once

#include <QString>

#include <memory>

class QCheckBox;
class QComboBox;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The widgets of the web sharing settings, built and styled in code: the first-use settings
// window (three bands; the middle one, with the default folder and the author's name, is also
// the Sharing pane of the preferences) and the share panel's accessory view with the include
// options. Every widget carries its role as object name. GUI thread only.
struct SharingViews
{
    SharingViews();
    ~SharingViews();
    SharingViews(const SharingViews &) = delete;
    SharingViews &operator=(const SharingViews &) = delete;

    std::unique_ptr<QDialog> sharingWindow;
    QFrame *topSectionView;
    QFrame *middleSectionView;
    QFrame *bottomSectionView;
    QFrame *defaultFolderView;
    QLineEdit *sharePathControl; // read-only; shows the default folder
    QPushButton *browseButton;
    QPushButton *clearButton;
    QLabel *dropboxStringField;
    QPushButton *learnDropboxButton;
    QLineEdit *authorNameField;
    QPushButton *cancelButton;
    QPushButton *needsToBeBlueButton; // Save

    std::unique_ptr<QWidget> shareAccessoryView;
    QCheckBox *includeAudioCheckbox;
    QCheckBox *includeVideoCheckbox;
    QCheckBox *includeSlidesCheckbox;
    QCheckBox *includeOriginalCheckbox;
    QComboBox *typeButton; // the export type; "HTML" is the only one

    // The folder hint as rich text: its first sentence bold, the example folder in the fixed
    // font.
    static QString folderHint();
};
