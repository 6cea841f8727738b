#pragma once

#include "platform/foundation/UserDefaults.h"

#include <QTemporaryDir>

namespace lq::test {

// Points the standard user defaults at an empty store of its own while it lives.
class TestUserDefaults
{
public:
    TestUserDefaults()
    {
        UserDefaults::resetStandard(m_folder.filePath(QStringLiteral("defaults.plist")));
    }
    ~TestUserDefaults() { UserDefaults::resetStandard(); }
    TestUserDefaults(const TestUserDefaults &) = delete;
    TestUserDefaults &operator=(const TestUserDefaults &) = delete;

    UserDefaults &operator*() const { return UserDefaults::standard(); }
    UserDefaults *operator->() const { return &UserDefaults::standard(); }

private:
    QTemporaryDir m_folder;
};

} // namespace lq::test
