#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// Names of the keyed-archive layout, shared by KeyedArchiver and KeyedUnarchiver.
namespace lq::archive_keys {

inline constexpr QStringView kArchiver = u"$archiver";
inline constexpr QStringView kArchiverName = u"NSKeyedArchiver";
inline constexpr QStringView kVersion = u"$version";
inline constexpr int64_t kArchiveVersion = 100000;
inline constexpr QStringView kTop = u"$top";
inline constexpr QStringView kRoot = u"root";
inline constexpr QStringView kObjectList = u"$objects";
inline constexpr QStringView kNullObject = u"$null";

inline constexpr QStringView kClassReference = u"$class";
inline constexpr QStringView kClassName = u"$classname";
inline constexpr QStringView kClassChain = u"$classes";
inline constexpr QStringView kRootClass = u"NSObject";

inline constexpr QStringView kArrayClass = u"NSArray";
inline constexpr QStringView kMutableArrayClass = u"NSMutableArray";
inline constexpr QStringView kDictionaryClass = u"NSDictionary";
inline constexpr QStringView kMutableDictionaryClass = u"NSMutableDictionary";
inline constexpr QStringView kDateClass = u"NSDate";
inline constexpr QStringView kStringClass = u"NSString";
inline constexpr QStringView kMutableStringClass = u"NSMutableString";
inline constexpr QStringView kDataClass = u"NSData";
inline constexpr QStringView kMutableDataClass = u"NSMutableData";

inline constexpr QStringView kObjects = u"NS.objects";
inline constexpr QStringView kKeys = u"NS.keys";
inline constexpr QStringView kTime = u"NS.time";
inline constexpr QStringView kString = u"NS.string";
inline constexpr QStringView kData = u"NS.data";

// A key of an archived object as stored: one starting with "$" gets another "$" in front, so
// that it never collides with "$class".
inline QString escapedKey(const QString &key)
{
    return key.startsWith(u'$') ? u'$' + key : key;
}

} // namespace lq::archive_keys
