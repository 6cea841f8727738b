#pragma once

#include "model/MediaPlayabilityCheck.h"
#include "model/OldMediaConverter.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

namespace lq::test {

// Plays every file except those named in `unplayable`; converts by writing a playable file at
// the destination, unless told to fail or to write nothing.
class FakeOldMediaConversion final : public OldMediaConversion, public MediaPlayabilityCheck
{
public:
    struct Script
    {
        bool converts = true;
        bool outputOpens = true;
        bool writesOutput = true;
    };

    Script script;
    QSet<QString> unplayable; // file names
    QStringList calls;

    bool isPlayable(const QString &path) override
    {
        return !unplayable.contains(QFileInfo(path).fileName()) || m_written.contains(path);
    }

    std::unique_ptr<OldMediaConverter> makeConverter() override
    {
        return std::make_unique<Converter>(*this);
    }
    void showProgress(int fileCount) override
    {
        calls.append(QStringLiteral("showProgress:%1").arg(fileCount));
    }
    void advanceProgress() override { calls.append(QStringLiteral("advanceProgress")); }
    void closeProgress() override { calls.append(QStringLiteral("closeProgress")); }

private:
    class Converter final : public OldMediaConverter
    {
    public:
        explicit Converter(FakeOldMediaConversion &host) : m_host(host) {}
        bool convertFile(const QString &path, int32_t session) override
        {
            m_host.calls.append(
                QStringLiteral("convert:%1:%2").arg(QFileInfo(path).fileName()).arg(session));
            return m_host.script.converts;
        }
        bool outputOpens(QString *error) override
        {
            if (!m_host.script.outputOpens)
                *error = QStringLiteral("no movie");
            return m_host.script.outputOpens;
        }
        void saveAsMovFile(const QString &destination) override
        {
            if (!m_host.script.writesOutput)
                return;
            QFile file(destination);
            if (file.open(QIODevice::WriteOnly) && file.write("converted") > 0)
                m_host.m_written.insert(destination);
        }

    private:
        FakeOldMediaConversion &m_host;
    };

    QSet<QString> m_written;
};

} // namespace lq::test
