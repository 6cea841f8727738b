#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace lq {

// What an open or save panel shows and allows. A panel presenter runs it; the allowed
// extensions may change while it is shown.
class FilePanel : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Open, Save };

    explicit FilePanel(Kind kind);
    ~FilePanel() override;

    Kind kind() const { return m_kind; }

    QString title() const { return m_title; }
    void setTitle(const QString &title) { m_title = title; }
    // A line telling what to choose, shown above the files; empty for none.
    QString message() const { return m_message; }
    void setMessage(const QString &message) { m_message = message; }
    // The text of the confirming button, e.g. "Export".
    QString prompt() const { return m_prompt; }
    void setPrompt(const QString &prompt) { m_prompt = prompt; }
    QString nameFieldLabel() const { return m_nameFieldLabel; }
    void setNameFieldLabel(const QString &label) { m_nameFieldLabel = label; }
    // The folder the panel starts in; empty for the presenter's choice.
    QString directory() const { return m_directory; }
    void setDirectory(const QString &directory) { m_directory = directory; }
    // The name a save panel proposes; empty for none.
    QString nameFieldStringValue() const { return m_nameFieldStringValue; }
    void setNameFieldStringValue(const QString &name) { m_nameFieldStringValue = name; }
    // Save panels may create folders by default, open panels may not.
    bool canCreateFolders() const { return m_canCreateFolders; }
    void setCanCreateFolders(bool can) { m_canCreateFolders = can; }
    // An open panel that chooses one folder instead of a file.
    bool choosesFolder() const { return m_choosesFolder; }
    void setChoosesFolder(bool chooses) { m_choosesFolder = chooses; }

    // Extensions without the dot, compared exactly; empty allows any file.
    QStringList allowedExtensions() const { return m_allowedExtensions; }
    void setAllowedExtensions(const QStringList &extensions);

    // A widget shown below the file list; the panel owns it.
    QWidget *accessoryView() const { return m_accessoryView.get(); }
    void setAccessoryView(std::unique_ptr<QWidget> view);

    // The path a save panel answers for a chosen path: with the first allowed extension
    // appended when the chosen path's extension is not allowed.
    QString completedPath(const QString &chosenPath) const;

Q_SIGNALS:
    void allowedExtensionsChanged(const QStringList &extensions);

private:
    Kind m_kind;
    QString m_title;
    QString m_message;
    QString m_prompt;
    QString m_nameFieldLabel;
    QString m_directory;
    QString m_nameFieldStringValue;
    bool m_canCreateFolders;
    bool m_choosesFolder = false;
    QStringList m_allowedExtensions;
    std::unique_ptr<QWidget> m_accessoryView;
};

} // namespace lq
