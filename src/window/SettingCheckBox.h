#pragma once

#include <QCheckBox>
#include <QString>

// A check box that shows and sets one boolean user default, named after its key. An absent key
// counts as whenAbsent; an inverted box is ticked when the value is false. Only the user's
// clicks store. GUI thread only.
class SettingCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    struct Setting
    {
        QString key;
        bool whenAbsent = false;
        bool inverted = false;
    };

    SettingCheckBox(const QString &text, Setting setting, QWidget *parent = nullptr);

    // Shows the stored value again.
    void load();

private:
    Setting m_setting;
};
