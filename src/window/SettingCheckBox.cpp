#include "window/SettingCheckBox.h"

#include "platform/foundation/UserDefaults.h"

SettingCheckBox::SettingCheckBox(const QString &text, Setting setting, QWidget *parent)
    : QCheckBox(text, parent), m_setting(std::move(setting))
{
    setObjectName(m_setting.key);
    load();
    connect(this, &QCheckBox::clicked, this, [this](bool checked) {
        lq::UserDefaults::standard().setBool(m_setting.key, checked != m_setting.inverted);
    });
}

void SettingCheckBox::load()
{
    const lq::UserDefaults &defaults = lq::UserDefaults::standard();
    const bool value = defaults.contains(m_setting.key) ? defaults.boolForKey(m_setting.key)
                                                        : m_setting.whenAbsent;
    setChecked(value != m_setting.inverted);
}
