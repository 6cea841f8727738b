#pragma once

// The preferences window over its own model, with fake capture devices and updater, an empty
// store of settings, and the notifications the model's side posts recorded.

#include "platform/foundation/NotificationCenter.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"
#include "window/PrefsWindowController.h"

#include <QAction>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace lq::test {

class PreferencesTest : public testing::Test
{
protected:
    PreferencesTest()
    {
        devices.setDevices({{"mic-1", "Test Microphone", CaptureDeviceKind::Audio, true, false},
                            {"mic-usb", "USB Microphone", CaptureDeviceKind::Audio, false, false},
                            {"cam-hd", "Test Camera HD", CaptureDeviceKind::Video, true, true},
                            {"cam-sd", "Test Camera", CaptureDeviceKind::Video, false, false}});
        open();
        NotificationCenter::defaultCenter().addObserver(this, QString(), nullptr,
                                                        [this](const Notification &notification) {
                                                            if (notification.sender == prefs.get())
                                                                posted.append(notification.name);
                                                        });
    }
    ~PreferencesTest() override { NotificationCenter::defaultCenter().removeObserver(this); }

    // A model and window made afresh over the store as it is, shown.
    void open()
    {
        window.reset();
        prefs = std::make_unique<PrefsController>(PrefsController::Services{&devices, &updater});
        window = std::make_unique<PrefsWindowController>(*prefs);
        window->show();
    }
    // The program's next start: the store read back from its file, a new window.
    void restart()
    {
        window.reset();
        defaults.restart();
        open();
    }

    template <class Widget>
    Widget *find(const QString &name) const
    {
        auto *found = window->prefsWindow()->findChild<Widget *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    QWidget *toolbarButton(const QString &item) const
    {
        return window->prefsWindow()->findChild<QToolBar *>()->widgetForAction(find<QAction>(item));
    }
    // Clicks a toolbar item as the user does.
    void openPane(const QString &item) const
    {
        QTest::mouseClick(toolbarButton(item), Qt::LeftButton);
    }
    // Clicks a check box on its box, as the user does (its label may end before its middle).
    static void tick(QWidget *box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    // Replaces a field's text by typing, then presses Return.
    static void typeInto(QWidget *field, const QString &text)
    {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    TestUserDefaults defaults;
    FakeCaptureDevices devices;
    FakeUpdater updater;
    std::unique_ptr<PrefsController> prefs;
    std::unique_ptr<PrefsWindowController> window;
    QStringList posted; // names posted by the model's side, in order
};

} // namespace lq::test
