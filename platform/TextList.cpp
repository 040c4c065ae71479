#include "platform/TextList.h"

#include "platform/Errors.h"
#include "platform/SaveFile.h"

#include <QFile>
#include <QFileInfo>

namespace platform::TextList {

Lines parse(const QByteArray& text)
{
    Lines lines;
    qsizetype end = text.indexOf('\0');
    if (end < 0)
        end = text.size();
    const char* data = text.constData();
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < end) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            lines.append(QByteArray(data + start, i - start));
            if (c == '\r' && i + 1 < end && data[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < end)
        lines.append(QByteArray(data + start, end - start));
    return lines;
}

QByteArray join(const Lines& lines)
{
    qsizetype size = 0;
    for (const QByteArray& line : lines)
        size += line.size() + 2;
    QByteArray out;
    out.reserve(size);
    for (const QByteArray& line : lines) {
        out.append(line);
        out.append("\r\n", 2);
    }
    return out;
}

Lines load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw IoError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()).toStdString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw IoError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()).toStdString());
    return parse(bytes);
}

bool loadIfExists(const QString& path, Lines& lines)
{
    if (!QFileInfo::exists(path))
        return false;
    lines = load(path);
    return true;
}

void save(const QString& path, const Lines& lines)
{
    SaveFile::write(path, join(lines));
}

} // namespace platform::TextList
