#pragma once

#include "platform/foundation/UserDefaults.h"

#include <QTemporaryDir>

namespace lq::test {

// Points the standard user defaults at an empty store of its own while it lives.
class TestUserDefaults
{
public:
    TestUserDefaults() { UserDefaults::resetStandard(path()); }
    ~TestUserDefaults() { UserDefaults::resetStandard(); }
    TestUserDefaults(const TestUserDefaults &) = delete;
    TestUserDefaults &operator=(const TestUserDefaults &) = delete;

    // Saves the store and reads it back from its file, as the next start of the program does.
    void restart() { UserDefaults::resetStandard(path()); }

    UserDefaults &operator*() const { return UserDefaults::standard(); }
    UserDefaults *operator->() const { return &UserDefaults::standard(); }

private:
    QString path() const { return m_folder.filePath(QStringLiteral("defaults.plist")); }

    QTemporaryDir m_folder;
};

} // namespace lq::test
