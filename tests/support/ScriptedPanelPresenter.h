#pragma once

#include "platform/ui/FilePanel.h"
#include "platform/ui/PanelPresenter.h"

#include <QList>

#include <deque>
#include <functional>

namespace lq::test {

// Stands in for the panel presenter while it lives: runs no dialog, records what each panel
// showed when it was run, and answers with the scripted choices in order, then by cancelling.
class ScriptedPanelPresenter : public PanelPresenter
{
public:
    struct Shown
    {
        FilePanel::Kind kind = FilePanel::Kind::Open;
        QString title;
        QString message;
        QString prompt;
        QString nameFieldLabel;
        QString directory;
        QStringList allowedExtensions;
        bool canCreateFolders = false;
        bool choosesFolder = false;
        QWidget *accessoryView = nullptr;
    };
    // Acts on the shown panel like a user (e.g. through its accessory view) and answers a path,
    // or nullopt to cancel.
    using Choice = std::function<std::optional<QString>(FilePanel &panel)>;

    ScriptedPanelPresenter();
    ~ScriptedPanelPresenter() override;
    ScriptedPanelPresenter(const ScriptedPanelPresenter &) = delete;
    ScriptedPanelPresenter &operator=(const ScriptedPanelPresenter &) = delete;

    void choose(const QString &path);
    void cancel();
    void choose(Choice choice);

    const QList<Shown> &shown() const { return m_shown; }

protected:
    std::optional<QString> choosePath(FilePanel &panel) override;

private:
    std::deque<Choice> m_choices;
    QList<Shown> m_shown;
    PanelPresenter *m_previous;
};

} // namespace lq::test
