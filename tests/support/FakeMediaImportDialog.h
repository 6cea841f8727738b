#pragma once

#include "model/MediaImportDialog.h"

#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace lq::test {

// Installs itself as the import dialog factory while it lives; its dialogs log what they are
// given into it, and it counts the dialogs it made.
class FakeMediaImportDialogFactory final : public MediaImportDialogFactory
{
public:
    FakeMediaImportDialogFactory() : m_previous(MediaImportDialogFactory::setCurrent(this)) {}
    ~FakeMediaImportDialogFactory() override { MediaImportDialogFactory::setCurrent(m_previous); }
    FakeMediaImportDialogFactory(const FakeMediaImportDialogFactory &) = delete;
    FakeMediaImportDialogFactory &operator=(const FakeMediaImportDialogFactory &) = delete;

    std::unique_ptr<MediaImportDialog> makeImportDialog(WrenRecording &) override
    {
        ++made;
        return std::make_unique<Dialog>(*this);
    }

    int made = 0;
    QStringList imported;                          // the paths, in turn
    std::vector<size_t> sessionCounts;             // the sessions each import was given
    std::function<void(const QString &)> onImport; // what the dialog does with a path

private:
    class Dialog final : public MediaImportDialog
    {
    public:
        explicit Dialog(FakeMediaImportDialogFactory &host) : m_host(host) {}
        void setTimerSessions(std::vector<std::shared_ptr<WrenTimerSession>> sessions) override
        {
            m_host.sessionCounts.push_back(sessions.size());
        }
        void importMediaFromFile(const QString &path) override
        {
            m_host.imported.append(path);
            if (m_host.onImport)
                m_host.onImport(path);
        }

    private:
        FakeMediaImportDialogFactory &m_host;
    };

    MediaImportDialogFactory *m_previous;
};

} // namespace lq::test
