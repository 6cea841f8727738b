#include "platform/ui/FilePanel.h"

#include <QFileInfo>

namespace lq {

FilePanel::FilePanel(Kind kind) : m_kind(kind), m_canCreateFolders(kind == Kind::Save)
{}

FilePanel::~FilePanel() = default;

void FilePanel::setAllowedExtensions(const QStringList &extensions)
{
    if (extensions == m_allowedExtensions)
        return;
    m_allowedExtensions = extensions;
    Q_EMIT allowedExtensionsChanged(m_allowedExtensions);
}

void FilePanel::setAccessoryView(std::unique_ptr<QWidget> view)
{
    m_accessoryView = std::move(view);
}

QString FilePanel::completedPath(const QString &chosenPath) const
{
    if (m_kind != Kind::Save || m_allowedExtensions.isEmpty() ||
        m_allowedExtensions.contains(QFileInfo(chosenPath).suffix()))
        return chosenPath;
    return chosenPath + QLatin1Char('.') + m_allowedExtensions.first();
}

} // namespace lq
