#include "platform/foundation/UserDefaults.h"

#include "platform/foundation/Date.h"
#include "platform/foundation/Plist.h"
#include "support/LogCapture.h"
#include "support/SmallTmpfs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lq {
namespace {

using namespace Qt::StringLiterals;

// Kind and value, all the way down: "qlonglong(-5)", "QVariantList(bool(true))".
QString describeValue(const QVariant &value)
{
    QStringList parts;
    switch (value.metaType().id()) {
    case QMetaType::QVariantList:
        for (const QVariant &item : value.toList())
            parts.append(describeValue(item));
        break;
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            parts.append(it.key() + QLatin1Char('=') + describeValue(it.value()));
        break;
    }
    case QMetaType::Double:
        parts.append(QString::number(value.toDouble(), 'g', 17));
        break;
    case QMetaType::QByteArray:
        parts.append(QString::fromLatin1(value.toByteArray().toHex()));
        break;
    default:
        parts.append(value.metaType() == QMetaType::fromType<Date>()
                         ? QString::number(value.value<Date>().secondsSinceReferenceDate(), 'g', 17)
                         : value.toString());
    }
    return QString::fromLatin1(value.typeName()) + u'(' + parts.join(u',') + u')';
}

std::string describe(const QVariant &value)
{
    return describeValue(value).toStdString();
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeContents(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class UserDefaultsTest : public testing::Test
{
protected:
    QTemporaryDir dir;
    const QString path = dir.filePath(u"settings.plist"_s);
};

struct Stored
{
    const char *key;
    QVariant written;
    QVariant readBack;
};

TEST_F(UserDefaultsTest, EveryKindSurvivesASecondStoreWithItsKind)
{
    const qint64 min = std::numeric_limits<qint64>::min();
    const qint64 max = std::numeric_limits<qint64>::max();
    const QByteArray bytes("\0\x01\xff", 3);
    const QVariantList nested{1, u"two"_s, QVariantList{true, 2.5f},
                              QVariantMap{{u"when"_s, QVariant::fromValue(Date(1.5))}}};
    const QVariantList nestedRead{qint64(1), u"two"_s, QVariantList{true, 2.5},
                                  QVariantMap{{u"when"_s, QVariant::fromValue(Date(1.5))}}};
    const std::vector<Stored> table{
        {"yes", true, true},
        {"no", false, false},
        {"int", -7, qint64(-7)},
        {"int32Min", std::numeric_limits<int>::min(), qint64(std::numeric_limits<int>::min())},
        {"uint", 4'000'000'000u, qint64(4'000'000'000)},
        {"minusOne", qint64(-1), qint64(-1)},
        {"int64Min", min, min},
        {"int64Max", max, max},
        {"float", 0.1f, double(0.1f)},
        {"double", 1e300, 1e300},
        {"negativeZero", -0.0, -0.0},
        {"emptyString", QString(), QString()},
        {"text", u"“Grüße” 🎙"_s, u"“Grüße” 🎙"_s},
        {"data", bytes, bytes},
        {"emptyData", QByteArray(), QByteArray()},
        // libplist's own date calls lose these: negative fractions, beyond 32-bit seconds.
        {"date", QVariant::fromValue(Date(12345.678)), QVariant::fromValue(Date(12345.678))},
        {"dateJustBefore2001", QVariant::fromValue(Date(-0.25)), QVariant::fromValue(Date(-0.25))},
        {"dateIn2200", QVariant::fromValue(Date(6.3e9)), QVariant::fromValue(Date(6.3e9))},
        {"nested", nested, nestedRead},
        {"map", QVariantMap{{u"list"_s, nested}}, QVariantMap{{u"list"_s, nestedRead}}},
        {"emptyList", QVariantList(), QVariantList()},
        {"emptyMap", QVariantMap(), QVariantMap()},
    };
    {
        UserDefaults writer(path);
        for (const Stored &row : table)
            writer.setObject(QString::fromLatin1(row.key), row.written);
        for (const Stored &row : table)
            EXPECT_EQ(describe(writer.object(QString::fromLatin1(row.key))), describe(row.readBack))
                << row.key << " before saving";
        ASSERT_TRUE(writer.synchronize());
    }
    UserDefaults reader(path);
    for (const Stored &row : table)
        EXPECT_EQ(describe(reader.object(QString::fromLatin1(row.key))), describe(row.readBack))
            << row.key;
}

TEST_F(UserDefaultsTest, AbsentIsNotZero)
{
    UserDefaults defaults(path);
    defaults.setInteger(u"zero"_s, 0);
    defaults.setString(u"gone"_s, u"x"_s);
    defaults.setObject(u"gone"_s, QVariant());
    defaults.setBool(u"removed"_s, false);
    defaults.removeObject(u"removed"_s);
    ASSERT_TRUE(defaults.synchronize());

    UserDefaults reader(path);
    EXPECT_TRUE(reader.contains(u"zero"_s));
    EXPECT_EQ(reader.object(u"zero"_s), QVariant(qint64(0)));
    for (const QString &key : {u"gone"_s, u"removed"_s, u"neverSet"_s}) {
        EXPECT_FALSE(reader.contains(key)) << qPrintable(key);
        EXPECT_FALSE(reader.object(key).isValid()) << qPrintable(key);
    }
}

struct Conversion
{
    QVariant stored; // invalid: absent
    bool asBool;
    int64_t asInteger;
    double asDouble;
    QString asString;
};

TEST_F(UserDefaultsTest, TypedGettersConvertAsASettingsStoreDoes)
{
    const auto text = [](const char *s) { return QVariant(QString::fromUtf8(s)); };
    const int64_t max = std::numeric_limits<int64_t>::max();
    const std::vector<Conversion> table{
        {QVariant(), false, 0, 0.0, u""_s},      {true, true, 1, 1.0, u"1"_s},
        {qint64(0), false, 0, 0.0, u"0"_s},      {qint64(-42), true, -42, -42.0, u"-42"_s},
        {2.9, true, 2, 2.9, u"2.9"_s},           {-2.9, true, -2, -2.9, u"-2.9"_s},
        {0.5, true, 0, 0.5, u"0.5"_s},           {1e30, true, max, 1e30, u"1e+30"_s},
        {text("YES"), true, 0, 0.0, u"YES"_s},   {text("true"), true, 0, 0.0, u"true"_s},
        {text("1"), true, 1, 1.0, u"1"_s},       {text(" 12 "), true, 12, 12.0, u" 12 "_s},
        {text("3.7"), true, 3, 3.7, u"3.7"_s},   {text("no"), false, 0, 0.0, u"no"_s},
        {text("0"), false, 0, 0.0, u"0"_s},      {QByteArray("1"), false, 0, 0.0, u""_s},
        {QVariantList{1}, false, 0, 0.0, u""_s},
    };
    UserDefaults defaults(path);
    const QString key = u"value"_s;
    for (const Conversion &row : table) {
        defaults.setObject(key, row.stored);
        SCOPED_TRACE(describe(row.stored));
        EXPECT_EQ(defaults.boolForKey(key), row.asBool);
        EXPECT_EQ(defaults.integerForKey(key), row.asInteger);
        EXPECT_EQ(defaults.doubleForKey(key), row.asDouble);
        EXPECT_EQ(defaults.floatForKey(key), static_cast<float>(row.asDouble));
        EXPECT_EQ(defaults.stringForKey(key).toStdString(), row.asString.toStdString());
    }
    defaults.setFloat(key, 0.1f);
    EXPECT_EQ(defaults.floatForKey(key), 0.1f);
    EXPECT_TRUE(defaults.dataForKey(key).isEmpty());
    defaults.setObject(key, QByteArray("raw"));
    EXPECT_EQ(defaults.dataForKey(key), QByteArray("raw"));
    EXPECT_TRUE(defaults.arrayForKey(key).isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey(key).isEmpty());
}

TEST_F(UserDefaultsTest, UnreadableFileIsKeptAsideBeforeTheFirstSave)
{
    UserDefaults validList(dir.filePath(u"valid.plist"_s));
    validList.setObject(u"list"_s, QVariantList{1, 2, 3});
    ASSERT_TRUE(validList.synchronize());
    const QByteArray valid = contentsOf(validList.filePath());
    const QByteArray array = plistToBinary(PlistPtr(plist_new_array()).get());
    const std::vector<QByteArray> unreadable{
        QByteArray("not a property list"), valid.left(valid.size() - 4),
        QByteArray(), // an empty file is no property list either
        array,        // nor is a list where a dictionary belongs
    };
    const QString damaged = path + u".damaged"_s;
    test::LogCapture log;
    for (const QByteArray &bytes : unreadable) {
        writeContents(path, bytes);
        log.clear();
        {
            UserDefaults defaults(path);
            EXPECT_FALSE(defaults.contains(u"list"_s));
            EXPECT_TRUE(defaults.synchronize());
            EXPECT_EQ(contentsOf(path), bytes); // nothing changed, nothing written
            defaults.setBool(u"fresh"_s, true);
            ASSERT_TRUE(defaults.synchronize());
        }
        EXPECT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.contains(path));
        EXPECT_EQ(contentsOf(damaged), bytes);
        UserDefaults reader(path);
        EXPECT_TRUE(reader.boolForKey(u"fresh"_s));
        EXPECT_FALSE(reader.contains(u"list"_s));
    }
}

// A property list with the given items in its root dictionary.
QByteArray dictionaryWith(const std::vector<std::pair<const char *, plist_t>> &items)
{
    const PlistPtr root(plist_new_dict());
    for (const auto &[key, item] : items)
        plist_dict_set_item(root.get(), key, item);
    return plistToBinary(root.get());
}

plist_t arrayOf(plist_t item)
{
    plist_t array = plist_new_array();
    plist_array_append_item(array, item);
    return array;
}

TEST_F(UserDefaultsTest, ValuesOfUnknownKindsAreSkippedAloneAndKeptInTheFile)
{
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "deep", arrayOf(plist_new_uid(3)));
    writeContents(path, dictionaryWith({
                            {"kept", plist_new_string("yes")},
                            {"uid", plist_new_uid(7)},
                            {"listWithUid", arrayOf(plist_new_uid(1))},
                            {"mapWithUid", dict},
                            {"number", plist_new_uint(5)},
                        }));
    const QStringList unknown{u"uid"_s, u"listWithUid"_s, u"mapWithUid"_s};
    test::LogCapture log;
    {
        UserDefaults defaults(path);
        EXPECT_EQ(defaults.stringForKey(u"kept"_s), u"yes"_s);
        EXPECT_EQ(defaults.integerForKey(u"number"_s), 5);
        for (const QString &key : unknown) {
            EXPECT_FALSE(defaults.contains(key)) << qPrintable(key);
            EXPECT_TRUE(log.contains(u"“%1”"_s.arg(key))) << qPrintable(key);
        }
        EXPECT_EQ(log.lines().size(), unknown.size());
        defaults.setInteger(u"number"_s, 6);
        ASSERT_TRUE(defaults.synchronize());
    }
    EXPECT_FALSE(QFile::exists(path + u".damaged"_s));
    const PlistPtr root = plistFromBinary(contentsOf(path));
    ASSERT_TRUE(root);
    EXPECT_EQ(plist_dict_get_size(root.get()), 5u);
    EXPECT_EQ(plist_get_node_type(plist_dict_get_item(root.get(), "uid")), PLIST_UID);
    const plist_t list = plist_dict_get_item(root.get(), "listWithUid");
    EXPECT_EQ(plist_get_node_type(plist_array_get_item(list, 0)), PLIST_UID);
    EXPECT_EQ(UserDefaults(path).integerForKey(u"number"_s), 6);
}

struct StoreStep
{
    int store; // which of two stores on one file
    const char *key;
    QVariant value; // invalid: removed
};

// Each store saves only the keys it changed, so two stores (two processes) on one file keep
// each other's keys; the last to save a key decides it.
TEST_F(UserDefaultsTest, StoresSharingAFileKeepEachOthersKeys)
{
    const std::vector<StoreStep> steps{
        {0, "a", 1}, {1, "b", 2},          {0, "c", 3},         {1, "a", 10},
        {0, "d", 4}, {1, "b", QVariant()}, {0, "c", u"drei"_s},
    };
    const QVariantMap expected{{u"a"_s, qint64(10)}, {u"c"_s, u"drei"_s}, {u"d"_s, qint64(4)}};
    UserDefaults first(path);
    UserDefaults second(path);
    UserDefaults *stores[] = {&first, &second};
    for (const StoreStep &step : steps) {
        stores[step.store]->setObject(QString::fromLatin1(step.key), step.value);
        ASSERT_TRUE(stores[step.store]->synchronize());
    }
    UserDefaults reader(path);
    for (const QString &key : {u"a"_s, u"b"_s, u"c"_s, u"d"_s})
        EXPECT_EQ(describe(reader.object(key)), describe(expected.value(key))) << qPrintable(key);
}

TEST_F(UserDefaultsTest, StoresSavingAtTheSameTimeLoseNoKey)
{
    constexpr int kKeys = 25;
    std::vector<std::thread> threads;
    for (int store = 0; store < 3; ++store) {
        threads.emplace_back([this, store] {
            UserDefaults defaults(path);
            for (int i = 0; i < kKeys; ++i) {
                defaults.setInteger(u"s%1-%2"_s.arg(store).arg(i), i);
                EXPECT_TRUE(defaults.synchronize());
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    UserDefaults reader(path);
    for (int store = 0; store < 3; ++store)
        for (int i = 0; i < kKeys; ++i)
            EXPECT_TRUE(reader.contains(u"s%1-%2"_s.arg(store).arg(i))) << store << ' ' << i;
}

TEST_F(UserDefaultsTest, TemporaryFilesOfAKilledSaveGoAtTheNextStart)
{
    const std::vector<std::pair<QString, bool>> table{
        {u".settings.plist.k3x9a.tmp"_s, true}, {u".settings.plist.0.tmp"_s, true},
        {u".settings.plist.lock"_s, false},     {u"settings.plist.damaged"_s, false},
        {u".other.plist.k3x9a.tmp"_s, false},   {u".settings.plist.not-ours.tmp"_s, false},
    };
    for (const auto &[name, leftover] : table)
        writeContents(dir.filePath(name), "x");
    UserDefaults defaults(path);
    for (const auto &[name, leftover] : table)
        EXPECT_EQ(QFile::exists(dir.filePath(name)), !leftover) << qPrintable(name);
}

TEST(UserDefaultsFullDiskTest, SaveOntoAFullDiskFailsAndKeepsTheFileAsItWas)
{
    test::SmallTmpfs disk(256 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << qPrintable(disk.whyNot());
    const QString path = disk.path() + u"/settings.plist"_s;
    UserDefaults defaults(path);
    defaults.setString(u"kept"_s, u"yes"_s);
    ASSERT_TRUE(defaults.synchronize());
    const QByteArray before = contentsOf(path);
    {
        QFile filler(disk.path() + u"/filler"_s);
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
        }
    }
    defaults.setObject(u"big"_s, QByteArray(64 * 1024, 'b'));
    Error error;
    EXPECT_FALSE(defaults.synchronize(&error));
    EXPECT_TRUE(error.localizedDescription().contains(path))
        << qPrintable(error.localizedDescription());
    EXPECT_EQ(contentsOf(path), before);
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u".settings.plist.lock"_s, u"filler"_s, u"settings.plist"_s}));

    ASSERT_TRUE(QFile::remove(disk.path() + u"/filler"_s));
    EXPECT_TRUE(defaults.synchronize()); // the change was kept for the next try
    EXPECT_EQ(UserDefaults(path).dataForKey(u"big"_s).size(), 64 * 1024);
}

TEST_F(UserDefaultsTest, ValueChangedOncePerRealChange)
{
    UserDefaults defaults(path);
    QSignalSpy spy(&defaults, &UserDefaults::valueChanged);
    const QString key = u"k"_s;
    const QVariantList list{1, u"a"_s};
    defaults.setInteger(key, 1);
    defaults.setInteger(key, 1);
    defaults.setObject(key, 1);  // an int is stored as the same integer
    defaults.setBool(key, true); // a kind change is a change, though QVariant finds true == 1
    defaults.setObject(key, list);
    defaults.setObject(key, list);
    defaults.setObject(key, QVariantList{true, u"a"_s});
    defaults.setDouble(key, 0.5);
    defaults.setFloat(key, 0.5f);
    defaults.removeObject(key);
    defaults.removeObject(key);
    EXPECT_EQ(spy.count(), 6);
    for (const QList<QVariant> &arguments : spy)
        EXPECT_EQ(arguments.at(0).toString(), key);
}

TEST_F(UserDefaultsTest, OtherKindsAreRefusedWithALogLine)
{
    UserDefaults defaults(path);
    const QString key = u"k"_s;
    defaults.setString(key, u"kept"_s);
    QSignalSpy spy(&defaults, &UserDefaults::valueChanged);
    const std::vector<QVariant> refused{
        QPoint(1, 2),
        QStringList{u"a"_s},
        QVariantList{1, QPoint()},
        QVariantMap{{u"deep"_s, QVariantList{QVariant()}}},
        u"cut%1short"_s.arg(QChar(u'\0')),
        QVariant::fromValue(quint64(1)),
    };
    for (const QVariant &value : refused) {
        test::LogCapture log;
        defaults.setObject(key, value);
        EXPECT_EQ(log.lines().size(), 1) << value.typeName();
    }
    EXPECT_EQ(defaults.object(key), QVariant(u"kept"_s));
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(UserDefaultsTest, ChangesAreSavedOnTheNextEventLoopPassAndOnDestruction)
{
    auto defaults = std::make_unique<UserDefaults>(path);
    defaults->setInteger(u"a"_s, 1);
    defaults->setInteger(u"b"_s, 2);
    EXPECT_FALSE(QFile::exists(path));
    QCoreApplication::sendPostedEvents(defaults.get());
    EXPECT_EQ(UserDefaults(path).integerForKey(u"b"_s), 2);

    defaults->setInteger(u"c"_s, 3);
    defaults.reset();
    EXPECT_EQ(UserDefaults(path).integerForKey(u"c"_s), 3);
}

TEST_F(UserDefaultsTest, FailedSaveReportsAndRetriesLater)
{
    const QString blocker = dir.filePath(u"blocker"_s);
    writeContents(blocker, "a file where a folder should be");
    const QString nestedPath = blocker + u"/Luma Quill/settings.plist"_s;
    UserDefaults defaults(nestedPath);
    defaults.setInteger(u"a"_s, 1);
    Error error;
    EXPECT_FALSE(defaults.synchronize(&error));
    EXPECT_TRUE(error.localizedDescription().contains(nestedPath));

    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(defaults.synchronize()); // creates the missing folders
    EXPECT_EQ(UserDefaults(nestedPath).integerForKey(u"a"_s), 1);
}

TEST_F(UserDefaultsTest, SettersFromManyThreads)
{
    UserDefaults defaults(path);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&defaults, t] {
            for (int i = 0; i < 200; ++i) {
                const QString key = u"t%1-%2"_s.arg(t).arg(i);
                defaults.setInteger(key, i);
                EXPECT_EQ(defaults.integerForKey(key), i);
            }
        });
    }
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    for (std::thread &thread : threads)
        thread.join();
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(path).integerForKey(u"t3-199"_s), 199);
}

TEST_F(UserDefaultsTest, FileIsAPropertyListOtherToolsRead)
{
    const QString tool = QStandardPaths::findExecutable(u"plistutil"_s);
    if (tool.isEmpty())
        GTEST_SKIP() << "plistutil is not installed";
    {
        UserDefaults defaults(path);
        defaults.setInteger(u"offset"_s, -5);
        defaults.setString(u"name"_s, u"Grüße"_s);
        defaults.setObject(u"when"_s, QVariant::fromValue(Date(0.0)));
    }
    QProcess process;
    process.start(tool, {u"-i"_s, path});
    ASSERT_TRUE(process.waitForFinished());
    EXPECT_EQ(process.exitCode(), 0);
    const QString xml = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(xml.contains(u"<key>offset</key>\n\t<integer>-5</integer>")) << qPrintable(xml);
    EXPECT_TRUE(xml.contains(u"<string>Grüße</string>"));
    EXPECT_TRUE(xml.contains(u"<date>2001-01-01T00:00:00Z</date>"));
}

TEST_F(UserDefaultsTest, StandardStoreCanBePointedElsewhere)
{
    UserDefaults::resetStandard(path);
    EXPECT_EQ(UserDefaults::standard().filePath(), path);
    UserDefaults::standard().setBool(u"flag"_s, true);
    UserDefaults::resetStandard(); // saves the store it drops
    EXPECT_TRUE(UserDefaults(path).boolForKey(u"flag"_s));

    const QString expected =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        u"/Luma Quill/settings.plist"_s;
    EXPECT_EQ(UserDefaults::standard().filePath(), expected);
    UserDefaults::resetStandard();
}

} // namespace
} // namespace lq
