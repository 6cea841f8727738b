#pragma once

#include "platform/foundation/ArchiveValue.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>

namespace lq {
class KeyedArchiver;
}

// Archives made to cost a reader far more than their size, for the tests and as fuzzing seeds.
// Only lq_platform_foundation is needed, so the fuzz build compiles this file too.
namespace lq::test {

// How the objects that decode the same bytes reach them.
enum class Sharing {
    SameOffset,      // many object numbers whose offsets in the offset table are one
    SeparateObjects, // many small objects that refer to one list or text
};

// A keyed archive of about size bytes whose root array refers to many objects that each decode
// one list of null references (arrays), or one text (strings).
QByteArray sharedListArchive(qsizetype size, Sharing sharing);
QByteArray sharedTextArchive(qsizetype size, Sharing sharing);

// A keyed archive of about size bytes whose root array refers to many numbers of one object of
// className whose keys are all one unused text, passed over by every look-up of its decoder.
QByteArray repeatedKeysArchive(const QString &className, qsizetype size);

// An object under a chosen class name whose keys the caller writes.
ArchiveValue handMadeObject(const QString &className, std::function<void(KeyedArchiver &)> encode);

// A file of size bytes, head first and zeros after, that takes almost no room on the disk (a
// package of a few kilobytes whose member reads as 100 GiB). False when it cannot be made.
bool makeSparseFile(const QString &path, qint64 size, const QByteArray &head = {});

// An archived time stamp with the given fields, and an event store of the given stamps.
ArchiveValue timeStampObject(int32_t type, int32_t session, double offset, uint32_t index);
QByteArray eventsArchive(const ArchiveArray &stamps);

} // namespace lq::test
