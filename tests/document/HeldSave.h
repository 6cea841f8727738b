#pragma once

#include "platform/document/Document.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/MainThread.h"

#include <QFileInfo>
#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

namespace lq::test {

// Holds a save's thread in the file layer, just before it creates the member named last, until
// released: a test acts on the note while the save runs. Installed while it lives; going, it
// lets the save end first.
class HeldSave
{
public:
    HeldSave(Document &document, const QString &lastMember)
        : m_document(document)
        , m_operations([this, lastMember](const QString &operation, const QString &path) {
            if (operation == QLatin1String("writeFile") &&
                QFileInfo(path).fileName() == lastMember) {
                m_held = true;
                while (!m_released)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            return false;
        })
        , m_previous(FileOperations::setCurrent(&m_operations))
    {}
    ~HeldSave()
    {
        release();
        m_document.waitForSaves();
        FileOperations::setCurrent(m_previous);
    }
    HeldSave(const HeldSave &) = delete;
    HeldSave &operator=(const HeldSave &) = delete;

    // Waits, the event loop turning, until a save is held.
    bool waitUntilHeld(std::chrono::milliseconds limit)
    {
        return runEventLoopUntil([this] { return m_held.load(); }, limit);
    }
    void release() { m_released = true; }

private:
    Document &m_document;
    std::atomic<bool> m_held{false};
    std::atomic<bool> m_released{false};
    FailingFileOperations m_operations;
    FileOperations *m_previous;
};

} // namespace lq::test
