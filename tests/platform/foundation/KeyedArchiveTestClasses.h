#pragma once

#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

#include <cstdint>
#include <memory>

namespace lq::test {

// An object with one field of every coder kind; "$class" is an ordinary key of its own.
class ArchiveTestNote : public Archivable
{
public:
    int32_t number = 0;
    int64_t wide = 0;
    float ratio = 0.0f;
    double weight = 0.0;
    bool flag = false;
    int32_t dollar = 0;
    ArchiveValue attachment;

    QStringList archiveClassNames() const override { return {QStringLiteral("TestNote")}; }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        coder.encodeInt32(QStringLiteral("number"), number);
        coder.encodeInt64(QStringLiteral("wide"), wide);
        coder.encodeFloat(QStringLiteral("ratio"), ratio);
        coder.encodeDouble(QStringLiteral("weight"), weight);
        coder.encodeBool(QStringLiteral("flag"), flag);
        coder.encodeInt32(QStringLiteral("$class"), dollar);
        coder.encodeObject(QStringLiteral("attachment"), attachment);
    }
    template <class Note>
    static ArchivablePtr decode(KeyedUnarchiver &coder)
    {
        auto note = std::make_shared<Note>();
        note->number = coder.decodeInt32(QStringLiteral("number"));
        note->wide = coder.decodeInt64(QStringLiteral("wide"));
        note->ratio = coder.decodeFloat(QStringLiteral("ratio"));
        note->weight = coder.decodeDouble(QStringLiteral("weight"));
        note->flag = coder.decodeBool(QStringLiteral("flag"));
        note->dollar = coder.decodeInt32(QStringLiteral("$class"));
        note->attachment = coder.decodeObject(QStringLiteral("attachment"));
        return note;
    }
};

// A subclass, for the class chain.
class ArchiveTestDerivedNote : public ArchiveTestNote
{
public:
    QStringList archiveClassNames() const override
    {
        return {QStringLiteral("TestDerivedNote"), QStringLiteral("TestNote")};
    }
};

// Points at another value, for shared objects and cycles.
class ArchiveTestLink : public Archivable
{
public:
    ArchiveValue target;

    QStringList archiveClassNames() const override { return {QStringLiteral("TestLink")}; }
    void encodeWithCoder(KeyedArchiver &coder) const override
    {
        coder.encodeObject(QStringLiteral("target"), target);
    }
    static ArchivablePtr decode(KeyedUnarchiver &coder)
    {
        auto link = std::make_shared<ArchiveTestLink>();
        link->target = coder.decodeObject(QStringLiteral("target"));
        return link;
    }
};

inline const QString kRefusalReason = QStringLiteral("The test object refuses to be read.");

// The test classes an archive of the tests may hold.
inline const ArchiveClasses kArchiveTestClasses{
    QStringLiteral("TestNote"), QStringLiteral("TestDerivedNote"), QStringLiteral("TestLink"),
    QStringLiteral("TestRefusing"), QStringLiteral("TestNull")};

// Registers the decoders of the test classes, and two that refuse: "TestRefusing" fails with a
// reason, "TestNull" answers null.
inline void registerArchiveTestClasses()
{
    registerArchiveClass(QStringLiteral("TestNote"), ArchiveTestNote::decode<ArchiveTestNote>);
    registerArchiveClass(QStringLiteral("TestDerivedNote"),
                         ArchiveTestNote::decode<ArchiveTestDerivedNote>);
    registerArchiveClass(QStringLiteral("TestLink"), ArchiveTestLink::decode);
    registerArchiveClass(QStringLiteral("TestRefusing"), [](KeyedUnarchiver &coder) {
        coder.failWithReason(kRefusalReason);
        return ArchivablePtr();
    });
    registerArchiveClass(QStringLiteral("TestNull"),
                         [](KeyedUnarchiver &) { return ArchivablePtr(); });
}

} // namespace lq::test
