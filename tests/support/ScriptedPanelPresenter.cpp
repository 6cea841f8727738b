#include "support/ScriptedPanelPresenter.h"

namespace lq::test {

ScriptedPanelPresenter::ScriptedPanelPresenter() : m_previous(PanelPresenter::setCurrent(this))
{}

ScriptedPanelPresenter::~ScriptedPanelPresenter()
{
    PanelPresenter::setCurrent(m_previous);
}

void ScriptedPanelPresenter::choose(const QString &path)
{
    choose([path](FilePanel &) { return std::optional<QString>(path); });
}

void ScriptedPanelPresenter::cancel()
{
    choose([](FilePanel &) { return std::optional<QString>(); });
}

void ScriptedPanelPresenter::choose(Choice choice)
{
    m_choices.push_back(std::move(choice));
}

std::optional<QString> ScriptedPanelPresenter::choosePath(FilePanel &panel)
{
    m_shown.append({panel.kind(), panel.title(), panel.message(), panel.prompt(),
                    panel.nameFieldLabel(), panel.directory(), panel.allowedExtensions(),
                    panel.canCreateFolders(), panel.choosesFolder(), panel.accessoryView()});
    if (m_choices.empty())
        return std::nullopt;
    const Choice choice = std::move(m_choices.front());
    m_choices.pop_front();
    return choice(panel);
}

} // namespace lq::test
