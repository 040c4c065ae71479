// The items file loader over any bytes: it must neither read outside the
// file nor allocate from an unchecked count nor recurse without bound, and
// what it accepts it must write back in a form it reads again.

#include "fuzz/FuzzMain.h"
#include "quobex/model/AlertTree.h"
#include "quobex/store/ItemsFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    quobex::AlertTree tree;
    if (!quobex::ItemsFile::decode(bytes, tree))
        return 0;
    const QByteArray written = quobex::ItemsFile::encode(tree);
    quobex::AlertTree back;
    if (!quobex::ItemsFile::decode(written, back) || quobex::ItemsFile::encode(back) != written)
        std::abort(); // a tree this program wrote must read back the same
    return 0;
}
