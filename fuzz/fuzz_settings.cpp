// The settings file as the program reads it at start-up and rewrites it when
// the user presses OK: any bytes in the file, every key read, one written;
// the written value reads back and no other value changes.

#include "fuzz/FuzzMain.h"
#include "platform/Errors.h"
#include "quobex/settings/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>

namespace {

QTemporaryDir* folder = nullptr;

// A value as far as a rewrite must keep it: the writer indents an element
// whose text is broken up by other nodes, which changes only white space.
std::optional<QString> kept(const std::optional<QString>& value)
{
    if (!value)
        return value;
    QString text = *value;
    text.removeIf([](QChar c) { return c.isSpace(); });
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::startQt();
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = folder->filePath(QStringLiteral("QuobexSettings.xml"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    quobex::SettingsFile settings(path);
    settings.readBool(QStringLiteral("PlaySound"), true);
    settings.readBool(QStringLiteral("ShowBaloon"), true);
    settings.readBool(QStringLiteral("ShowBrowser"), true);
    settings.readInt(QStringLiteral("RefreshInterval"), 24);
    settings.readInt(QStringLiteral("KeepArticles"), 20);
    const QString others[] = {QStringLiteral("PlaySound"), QStringLiteral("ShowBaloon"), QStringLiteral("ShowBrowser"),
                              QStringLiteral("RefreshInterval")};
    std::optional<QString> before[std::size(others)];
    for (std::size_t i = 0; i < std::size(others); ++i)
        before[i] = kept(settings.read(others[i]));
    try {
        settings.writeInt(QStringLiteral("KeepArticles"), 7);
    } catch (const platform::IoError&) {
        return 0;
    }
    if (settings.readInt(QStringLiteral("KeepArticles"), 20) != 7)
        std::abort(); // a value just written must read back
    for (std::size_t i = 0; i < std::size(others); ++i) {
        if (kept(settings.read(others[i])) != before[i])
            std::abort(); // and the write loses no other setting
    }
    return 0;
}
