// The depth measures that run before a page or a reply is parsed: any bytes
// as HTML and as XML, against a bound that is met exactly or missed by one.

#include "fuzz/FuzzMain.h"
#include "platform/HtmlNesting.h"
#include "platform/XmlDocument.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString html = QString::fromUtf8(bytes);
    for (const int bound : {0, 1, 3, 256}) {
        // A deeper bound never refuses what a shallower one lets through.
        if (platform::HtmlNestedWithin(html, bound) && !platform::HtmlNestedWithin(html, bound + 1))
            std::abort();
        if (platform::Xml::nestedWithin(bytes, bound) && !platform::Xml::nestedWithin(bytes, bound + 1))
            std::abort();
    }
    return 0;
}
