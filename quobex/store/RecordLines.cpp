#include "quobex/store/RecordLines.h"

#include <QFile>

namespace quobex::RecordLines {

QByteArray escape(const QString& field)
{
    const QByteArray utf8 = field.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescape(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const char next = field[++i];
        out += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return QString::fromUtf8(out);
}

QByteArray line(const QStringList& fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += '\t';
        out += escape(fields.at(i));
    }
    out += '\n';
    return out;
}

QList<QStringList> parse(const QByteArray& text, const QByteArray& header)
{
    QList<QStringList> records;
    qsizetype start = 0;
    bool first = true;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArray raw = text.mid(start, end - start);
        start = end + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (first) {
            if (raw != header)
                return {};
            first = false;
            continue;
        }
        if (raw.isEmpty())
            continue;
        QStringList fields;
        for (const QByteArray& field : raw.split('\t'))
            fields << unescape(field);
        records << fields;
    }
    return records;
}

QList<QStringList> load(const QString& path, const QByteArray& header)
{
    QFile file(path);
    if (!file.exists() || file.size() > kMaxFileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.read(kMaxFileBytes), header);
}

} // namespace quobex::RecordLines
