// The data folder's own record files (products already seen, the checks of
// alerts and lists): any bytes after either header, read, written and read
// back to the same text.

#include "fuzz/FuzzMain.h"
#include "quobex/store/AlertChecks.h"
#include "quobex/store/RecordLines.h"
#include "quobex/store/SeenItems.h"

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
    const QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    // The fields of every record survive escaping.
    for (const QStringList& record : quobex::RecordLines::parse("fuzz\n" + body, "fuzz")) {
        for (const QString& field : record) {
            if (quobex::RecordLines::unescape(quobex::RecordLines::escape(field)) != field)
                std::abort();
        }
    }

    const QByteArray seenText = quobex::SeenItems::kHeader + '\n' + body;
    const QByteArray seen = quobex::SeenItems::parse(seenText).serialize();
    if (quobex::SeenItems::parse(seen).serialize() != seen)
        std::abort();

    const QByteArray checksText = quobex::AlertChecks::kHeader + '\n' + body;
    const QByteArray checks = quobex::AlertChecks::parse(checksText).serialize();
    if (quobex::AlertChecks::parse(checks).serialize() != checks)
        std::abort();
    return 0;
}
