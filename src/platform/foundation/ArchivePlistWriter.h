#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lq {

// Builds a binary property list object by object, in linear time. Repeated scalars are stored
// once (equal UIDs always, others when seen recently); containers refer to their items by the
// references this answers. Up to 2^31 scalars and 2^31 containers.
class ArchivePlistWriter
{
public:
    using Ref = uint32_t;
    using Entry = std::pair<Ref, Ref>; // key, value

    Ref boolean(bool value);
    Ref integer(int64_t value); // a negative value takes eight bytes and reads back signed
    Ref real(double value);
    Ref real32(float value);
    Ref string(QStringView value);
    Ref data(QByteArrayView value);
    Ref uid(uint64_t value);
    Ref array(std::span<const Ref> items);
    Ref dictionary(std::span<const Entry> entries);

    // The property list whose top object is root.
    QByteArray finish(Ref root) const;

private:
    // A reference to a container has this bit set over the container's number; containers are
    // written after the scalars, so their object numbers are known only at the end.
    static constexpr Ref kContainerBit = 0x80000000u;
    static constexpr uint64_t kDictionaryFlag = uint64_t(1) << 63;

    struct Container
    {
        uint64_t firstRef;
        uint64_t refCount;
        bool isDictionary;
        uint64_t itemCount() const { return isDictionary ? refCount / 2 : refCount; }
    };
    struct ScalarSlot
    {
        uint64_t start = 0;
        uint32_t size = 0;
        uint32_t hash = 0;
        Ref refPlusOne = 0; // 0: free
    };

    Container container(size_t index) const;
    Ref fixedScalar(uint8_t marker, uint64_t value, int size);
    // Adds a scalar unless an equal one is still remembered among the recent scalars.
    Ref internScalar(std::string_view bytes);

    std::string m_scalarBytes; // the scalars in the order of their numbers
    std::string m_scratch;     // a string or data scalar being made
    uint64_t m_scalarCount = 0;
    std::vector<Ref> m_refs;                 // of a dictionary: its keys, then its values
    std::vector<uint64_t> m_containerStarts; // in m_refs, with kDictionaryFlag for a dictionary
    // The last scalar seen per hash slot: a fixed table that finds repeated values (keys, class
    // references, common numbers) without growing with the archive.
    static constexpr size_t kRecentScalarSlots = 1 << 16;
    std::vector<ScalarSlot> m_recentScalars = std::vector<ScalarSlot>(kRecentScalarSlots);
    // By UID value: its scalar + 1, or 0.
    static constexpr uint64_t kIndexedUidLimit = uint64_t(1) << 31;
    std::vector<Ref> m_uidRefs;
};

} // namespace lq
