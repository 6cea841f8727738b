#pragma once

#include "document/ImportTarget.h"
#include "platform/foundation/MainThread.h"
#include "support/FakeOldMediaConversion.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <optional>

namespace lq::test {

// What the fake import target answers and what it was asked; lives longer than the controller
// that owns the target.
struct ImportScript
{
    struct Insertion
    {
        QString path;
        int32_t k = 0;
        bool replaceAll = false;
        bool operator==(const Insertion &) const = default;
    };

    QMap<QString, Error> openFailures;  // these paths do not open
    bool loadsAtOnce = true;            // else the loading waits for finishLoading()
    std::optional<Error> insertFailure; // the insertion fails with it (a null one: no error)
    FakeOldMediaConversion *conversion = nullptr;
    QString convertedFolder;

    QStringList opened;
    QList<Insertion> insertions;
    std::function<void()> pendingLoad;

    void finishLoading()
    {
        const std::function<void()> loaded = std::move(pendingLoad);
        pendingLoad = nullptr;
        if (loaded)
            loaded();
    }
};

class FakeImportTarget final : public ImportTarget
{
public:
    explicit FakeImportTarget(ImportScript &script) : m_script(script) {}

    std::optional<ImportedMovie> open(const QString &path, Error *error) override
    {
        m_script.opened.append(path);
        if (m_script.openFailures.contains(path)) {
            setError(error, m_script.openFailures.value(path));
            return std::nullopt;
        }
        return ImportedMovie{path, true, false, 90.0};
    }
    void loadInBackground(const QString &, const QObject *context,
                          std::function<void()> loaded) override
    {
        m_script.pendingLoad = [guard = QPointer<const QObject>(context), loaded] {
            if (guard)
                loaded();
        };
        if (m_script.loadsAtOnce)
            postToMainThread(context, [script = &m_script] { script->finishLoading(); });
    }
    bool insert(const ImportedMovie &movie, int32_t k, bool replaceAll, Error *error) override
    {
        m_script.insertions.append({movie.path, k, replaceAll});
        if (!m_script.insertFailure)
            return true;
        setError(error, *m_script.insertFailure);
        return false;
    }
    MediaPlayabilityCheck *playabilityCheck() const override { return m_script.conversion; }
    OldMediaConversion *conversion() const override { return m_script.conversion; }
    QString convertedFileFolder() const override { return m_script.convertedFolder; }

private:
    ImportScript &m_script;
};

} // namespace lq::test
