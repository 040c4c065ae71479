#pragma once

#include "quobex/model/AlertTree.h"

#include <QByteArray>
#include <QString>

class QDateTime;
class QIODevice;

// The items file: the whole alert tree in one chunked little-endian file
// (format version 2). Every node is a node chunk holding a base chunk (node
// structure, then the node chunks of its children), a user-data chunk (the
// record's 21 slots) and, when the node's display text is not empty, a
// caption chunk with that text.
//
// Files of the format versions 0 and 1 are refused like any malformed file:
// this program has only ever written version 2, so such a file can only be
// foreign, and guessing at an older layout would risk building a tree from
// misread bytes.
namespace quobex::ItemsFile {

enum class LoadResult {
    Missing,   // no file: the tree was left as it was
    Loaded,    // the tree holds the file's content
    Malformed, // unreadable or not well-formed: the tree is empty
};

// Writes the tree in one buffered pass and replaces the file atomically;
// a failed save leaves the previous file whole. Throws IoError.
void save(const AlertTree& tree, const QString& path);
// The bytes save() writes.
QByteArray encode(const AlertTree& tree);

// Replaces the tree's content by the file's. Any fault in the file, or in
// opening or reading it, leaves the tree empty; the file is never touched.
// Every reload notifies the tree's observers as a reset.
LoadResult load(const QString& path, AlertTree& tree);
// Reads a whole file's bytes from `device` into `into`, which must be empty.
// Returns false when they are not well-formed; `into` then holds whatever
// was read before the fault and should be thrown away.
bool read(QIODevice& device, AlertTree& into);
bool decode(const QByteArray& bytes, AlertTree& into);

// Renames a file that load() found malformed to
// `<path>.unreadable-YYYYMMDD-HHMMSS` (the local time `when`; "-2", "-3" …
// follow when that name is taken), so that the next save cannot replace it.
// Returns the new path. Throws IoError when it cannot be renamed.
QString moveAside(const QString& path, const QDateTime& when);

} // namespace quobex::ItemsFile
