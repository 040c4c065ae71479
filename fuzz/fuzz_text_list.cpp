// The line files (alert definitions, latest-alert index): any bytes split
// into lines, and the lines written and read back unchanged.

#include "platform/TextList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const platform::TextList::Lines lines = platform::TextList::parse(bytes);
    if (platform::TextList::parse(platform::TextList::join(lines)) != lines)
        std::abort();
    return 0;
}
