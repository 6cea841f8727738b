#pragma once

#include "platform/document/Document.h"

#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class LumaDocumentController;
class MyDocument;
class QButtonGroup;
class QComboBox;
class QDialog;
class QLabel;

// A short-lived document for a slides or media file opened from outside: it asks which note
// receives the file (an open one or a new one), remembers the choice, hands the path to that
// note's window controller and closes itself. With no note open a new note receives the file at
// once and the question is never shown. It owns no contents and is never saved.
class ImportProxy final : public lq::Document
{
    Q_OBJECT
public:
    static constexpr char kImportTypeKey[] = "importType";
    // The ids of the two choices.
    static constexpr int kOpenNote = 1;
    static constexpr int kNewNote = 0;

    explicit ImportProxy(LumaDocumentController &controller, QObject *parent = nullptr);
    ~ImportProxy() override;

    QString importUrl() const { return m_importUrl; }
    void setImportUrl(const QString &path) { m_importUrl = path; }
    // Stores the path; the file itself is not read.
    bool readFromUrl(const QString &path, lq::Error *error) override;

    // Sets the question up and shows it, or, with no note open, hands the file to a new note.
    void showWindow();

    // The question's widgets (null until showWindow).
    QDialog *importWindow() const { return m_importWindow.get(); }
    QButtonGroup *choice() const { return m_choice; }
    QComboBox *documentButton() const { return m_documentButton; }
    QLabel *questionTextField() const { return m_questionTextField; }

    void choiceChanged();
    void okClicked();
    void cancelClicked();
    // Hands the file to note, or to a new note when it is null, then closes.
    void addToDoc(MyDocument *note);

protected:
    Writing beginWriting(const QString &target, lq::SaveOperation operation,
                         lq::Error *error) override;

private:
    void buildWindow();
    void closeAfterDelay();

    LumaDocumentController &m_controller;
    QString m_importUrl;
    std::unique_ptr<QDialog> m_importWindow;
    QButtonGroup *m_choice = nullptr;
    QComboBox *m_documentButton = nullptr;
    QLabel *m_questionTextField = nullptr;
    // The notes of the pop-up's items, in order: several may share a display name.
    std::vector<QPointer<MyDocument>> m_listedNotes;
};
