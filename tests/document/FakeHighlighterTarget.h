#pragma once

#include <QColor>
#include <QObject>
#include <QStringList>

// What the picker sends to its target.
class FakeTarget : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void highlightSelectedAction(const QColor &color)
    {
        calls.append(QStringLiteral("select ") + color.name());
    }
    Q_INVOKABLE void highlightDeselectedAction() { calls.append(QStringLiteral("deselect")); }
    QStringList calls;
Q_SIGNALS:
    void editableChanged(bool editable);
};
