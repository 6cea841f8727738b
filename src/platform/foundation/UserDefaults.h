#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <cstdint>
#include <memory>

namespace lq {

// A typed store of settings saved as a binary property list. A value keeps its kind: a number
// stays a number, a string a string, and an absent key is absent (an invalid QVariant).
// Kinds: bool, 32/64-bit integers, float, double, QString, QByteArray, lq::Date, QVariantList
// and QVariantMap of these. A stored value of another kind is skipped (and logged) but stays in
// the file. Saving writes only the keys this store changed into the file as it is then (see
// SettingsFile), so stores in several processes keep each other's settings.
class UserDefaults : public QObject
{
    Q_OBJECT
public:
    // The store in "$XDG_CONFIG_HOME/Luma Quill/"; made on first use.
    static UserDefaults &standard();
    // Points standard() at another file (tests); saves and drops the previous store.
    static void resetStandard(const QString &filePath = {});

    explicit UserDefaults(const QString &filePath, QObject *parent = nullptr);
    ~UserDefaults() override; // saves pending changes

    QString filePath() const;

    QVariant object(const QString &key) const; // invalid when absent
    bool contains(const QString &key) const;
    // Each answers the kind asked for; absent or unconvertible values answer zero or empty,
    // with numbers and numeric strings converting as a settings store is expected to.
    bool boolForKey(const QString &key) const;
    int64_t integerForKey(const QString &key) const;
    float floatForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    QString stringForKey(const QString &key) const; // numbers answer their text
    QByteArray dataForKey(const QString &key) const;
    QVariantList arrayForKey(const QString &key) const;
    QVariantMap dictionaryForKey(const QString &key) const;
    // Every key with its value.
    QVariantMap dictionaryRepresentation() const;

    void setObject(const QString &key, const QVariant &value); // an invalid value removes
    void setBool(const QString &key, bool value);
    void setInteger(const QString &key, int64_t value);
    void setFloat(const QString &key, float value);
    void setDouble(const QString &key, double value);
    void setString(const QString &key, const QString &value);
    void removeObject(const QString &key);

    // Writes pending changes now, atomically and synced. Changes are otherwise written once per
    // pass of the event loop and when the store is destroyed.
    bool synchronize(Error *error = nullptr);

Q_SIGNALS:
    void valueChanged(const QString &key);

private:
    class Private;
    std::unique_ptr<Private> d;
};

} // namespace lq
