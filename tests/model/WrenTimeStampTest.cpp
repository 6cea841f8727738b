#include "model/WrenTimeStamp.h"

#include "model/ModelArchiveClasses.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Plist.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

static_assert(!std::is_default_constructible_v<WrenTimeStamp>, "stamps are made by a factory");

WrenTimeStampPtr roundTrip(const WrenTimeStampPtr &stamp)
{
    registerModelArchiveClasses();
    const QByteArray bytes = lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(stamp));
    lq::Error error;
    WrenTimeStampPtr decoded = lq::KeyedUnarchiver::unarchiveObject<WrenTimeStamp>(
        bytes, registerModelArchiveClasses(), &error);
    EXPECT_TRUE(decoded) << error.localizedDescription().toStdString();
    return decoded;
}

// The "index" values of every archived object that has one.
std::vector<int64_t> archivedIndexes(const QByteArray &bytes)
{
    std::vector<int64_t> indexes;
    const lq::PlistPtr root = lq::plistFromBinary(bytes);
    plist_t objects = root ? plist_dict_get_item(root.get(), "$objects") : nullptr;
    for (uint32_t i = 0; objects && i < plist_array_get_size(objects); ++i) {
        plist_t object = plist_array_get_item(objects, i);
        plist_t index = plist_get_node_type(object) == PLIST_DICT
                            ? plist_dict_get_item(object, "index")
                            : nullptr;
        if (index && plist_get_node_type(index) == PLIST_UINT) {
            uint64_t value = 0;
            plist_get_uint_val(index, &value);
            indexes.push_back(static_cast<int64_t>(value));
        }
    }
    return indexes;
}

TEST(WrenTimeStampTest, FactoriesSetTypeAndFields)
{
    const WrenTimeStampPtr key = WrenTimeStamp::initWithKey(5, 2, 12.5);
    EXPECT_EQ(key->type(), WrenTimeStampTypeKey);
    EXPECT_EQ(key->index(), 5u);
    EXPECT_EQ(key->session(), 2);
    EXPECT_EQ(key->offset(), 12.5);
    EXPECT_FALSE(key->isEmpty());

    const WrenTimeStampPtr slide = WrenTimeStamp::initWithSlide(3, 0, 1.0);
    EXPECT_EQ(slide->type(), WrenTimeStampTypeSlide);
    EXPECT_EQ(slide->index(), 3u);

    const WrenTimeStampPtr empty = WrenTimeStamp::emptyKey(4);
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_EQ(empty->offset(), 0.0);
    EXPECT_EQ(empty->index(), 4u);
}

TEST(WrenTimeStampTest, DescriptionNamesTypeAndFields)
{
    EXPECT_EQ(WrenTimeStamp::initWithKey(5, 2, 12.5)->description(),
              QStringLiteral("<WrenTimeStamp \"key\": session=2, offset=12.500000, and index=5>"));
    EXPECT_TRUE(WrenTimeStamp::initWithSlide(1, -1, 0)->description().contains(
        QStringLiteral("\"slide\": session=-1")));
}

TEST(WrenTimeStampTest, CopyIsASeparateStampWithEqualFields)
{
    const WrenTimeStampPtr original = WrenTimeStamp::initWithSlide(7, 1, 3.25);
    const WrenTimeStampPtr copy = original->copy();
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), original.get());
    EXPECT_EQ(copy->type(), WrenTimeStampTypeSlide);
    EXPECT_EQ(copy->session(), 1);
    EXPECT_EQ(copy->offset(), 3.25);
    copy->setIndex(8);
    EXPECT_EQ(original->index(), 7u);
}

TEST(WrenTimeStampTest, ArchiveRoundTripKeepsSignedAndUnsignedFields)
{
    const struct
    {
        WrenTimeStampPtr stamp;
        int64_t archivedIndex;
    } cases[] = {
        {WrenTimeStamp::initWithKey(0x80000001u, -1, 0.0), -2147483647},
        {WrenTimeStamp::initWithKey(0xFFFFFFFFu, 3, 1e-9), -1},
        {WrenTimeStamp::initWithSlide(2, 0, 1234.5678), 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stamp->description().toStdString());
        const WrenTimeStampPtr decoded = roundTrip(c.stamp);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->type(), c.stamp->type());
        EXPECT_EQ(decoded->session(), c.stamp->session());
        EXPECT_EQ(decoded->offset(), c.stamp->offset());
        EXPECT_EQ(decoded->index(), c.stamp->index());
        const QByteArray bytes = lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(c.stamp));
        EXPECT_EQ(archivedIndexes(bytes), std::vector<int64_t>{c.archivedIndex});
    }
}

// A stamp archived with a type of its own decodes, but cannot be copied.
class ForeignTypeStamp : public lq::Archivable
{
public:
    QStringList archiveClassNames() const override
    {
        return {QStringLiteral("WrenTimeStamp"), QStringLiteral("NSObject")};
    }
    void encodeWithCoder(lq::KeyedArchiver &coder) const override
    {
        coder.encodeInt32(QStringLiteral("type"), 3);
        coder.encodeInt32(QStringLiteral("session"), 0);
        coder.encodeDouble(QStringLiteral("offset"), 1.0);
        coder.encodeInt32(QStringLiteral("index"), 9);
    }
};

TEST(WrenTimeStampTest, DecodedUnknownTypeExistsButCannotBeCopied)
{
    registerModelArchiveClasses();
    const QByteArray bytes = lq::KeyedArchiver::archivedData(
        lq::ArchiveValue::object(std::make_shared<ForeignTypeStamp>()));
    const WrenTimeStampPtr decoded =
        lq::KeyedUnarchiver::unarchiveObject<WrenTimeStamp>(bytes, registerModelArchiveClasses());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->type(), 3);
    EXPECT_EQ(decoded->index(), 9u);
    EXPECT_FALSE(decoded->copy());
    EXPECT_TRUE(decoded->description().contains(QStringLiteral("\"unknown\"")));
}

} // namespace
