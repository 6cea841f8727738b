#include "platform/ui/QtPanelPresenter.h"

#include "platform/ui/FilePanel.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

namespace lq {
namespace {

QString nameFilterFor(const QStringList &extensions)
{
    if (extensions.isEmpty())
        return QStringLiteral("*");
    QStringList patterns;
    for (const QString &extension : extensions)
        patterns.append(QStringLiteral("*.") + extension);
    return patterns.join(QLatin1Char(' '));
}

// A file dialog that shows a panel, keeps its file filter in step with the panel's allowed
// extensions, and completes a typed save name before the overwrite check sees it.
class PanelDialog : public QFileDialog
{
public:
    explicit PanelDialog(FilePanel &panel) : m_panel(panel)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        const bool saving = panel.kind() == FilePanel::Kind::Save;
        setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (saving)
            setFileMode(QFileDialog::AnyFile);
        else
            setFileMode(panel.choosesFolder() ? QFileDialog::Directory : QFileDialog::ExistingFile);
        setOption(QFileDialog::ShowDirsOnly, panel.choosesFolder());
        setOption(QFileDialog::ReadOnly, !panel.canCreateFolders());
        setWindowTitle(panel.title());
        if (!panel.message().isEmpty())
            showMessage(panel.message());
        if (!panel.prompt().isEmpty())
            setLabelText(QFileDialog::Accept, panel.prompt());
        if (!panel.nameFieldLabel().isEmpty())
            setLabelText(QFileDialog::FileName, panel.nameFieldLabel());
        if (!panel.directory().isEmpty())
            setDirectory(panel.directory());
        if (saving && !panel.nameFieldStringValue().isEmpty())
            selectFile(panel.nameFieldStringValue());
        applyExtensions(panel.allowedExtensions());
        connect(&panel, &FilePanel::allowedExtensionsChanged, this, &PanelDialog::applyExtensions);
        if (QWidget *accessory = panel.accessoryView()) {
            auto *grid = qobject_cast<QGridLayout *>(layout());
            grid->addWidget(accessory, grid->rowCount(), 0, 1, grid->columnCount());
            accessory->show();
        }
    }

    ~PanelDialog() override
    {
        // The accessory belongs to the panel and outlives the dialog.
        if (QWidget *accessory = m_panel.accessoryView()) {
            layout()->removeWidget(accessory);
            accessory->setParent(nullptr);
        }
    }

    void accept() override
    {
        if (acceptMode() == QFileDialog::AcceptSave) {
            const QString typed = selectedFiles().value(0);
            const QString completed = m_panel.completedPath(typed);
            if (!typed.isEmpty() && completed != typed)
                selectFile(completed);
        }
        QFileDialog::accept();
    }

private:
    // Above everything the dialog lays out: its grid moves down a row.
    void showMessage(const QString &message)
    {
        auto *grid = qobject_cast<QGridLayout *>(layout());
        struct Placed
        {
            QLayoutItem *item;
            int row, column, rowSpan, columnSpan;
        };
        QList<Placed> placed;
        while (grid->count() > 0) {
            Placed p{};
            grid->getItemPosition(0, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
            p.item = grid->takeAt(0);
            placed.append(p);
        }
        for (const Placed &p : placed)
            grid->addItem(p.item, p.row + 1, p.column, p.rowSpan, p.columnSpan);
        auto *label = new QLabel(message, this);
        label->setWordWrap(true);
        grid->addWidget(label, 0, 0, 1, grid->columnCount());
    }

    void applyExtensions(const QStringList &extensions)
    {
        setNameFilter(nameFilterFor(extensions));
        setDefaultSuffix(extensions.value(0));
    }

    FilePanel &m_panel;
};

} // namespace

std::optional<QString> QtPanelPresenter::choosePath(FilePanel &panel)
{
    PanelDialog dialog(panel);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.first();
}

} // namespace lq
