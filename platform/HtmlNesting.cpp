#include "platform/HtmlNesting.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace platform {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isNameChar(QChar c)
{
    return isAsciiLetter(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

bool nests(const QString& name)
{
    static const QSet<QString> flat = {
        // no content
        QStringLiteral("area"), QStringLiteral("base"), QStringLiteral("basefont"), QStringLiteral("br"),
        QStringLiteral("col"), QStringLiteral("embed"), QStringLiteral("frame"), QStringLiteral("hr"),
        QStringLiteral("img"), QStringLiteral("input"), QStringLiteral("isindex"), QStringLiteral("link"),
        QStringLiteral("meta"), QStringLiteral("param"), QStringLiteral("source"), QStringLiteral("track"),
        QStringLiteral("wbr"),
        // closed by the next of their kind
        QStringLiteral("p"), QStringLiteral("li"), QStringLiteral("dt"), QStringLiteral("dd"), QStringLiteral("tr"),
        QStringLiteral("td"), QStringLiteral("th"), QStringLiteral("option"), QStringLiteral("optgroup"),
        QStringLiteral("thead"), QStringLiteral("tbody"), QStringLiteral("tfoot"), QStringLiteral("colgroup"),
        QStringLiteral("caption")};
    return !flat.contains(name);
}

} // namespace

bool HtmlNestedWithin(QStringView html, int maxDepth)
{
    QList<QString> open;       // the counted elements still open, innermost last
    QHash<QString, int> named; // how many of each name are open
    const qsizetype n = html.size();
    qsizetype i = 0;
    while ((i = html.indexOf(QLatin1Char('<'), i)) >= 0) {
        if (html.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype end = html.indexOf(QLatin1String("-->"), i + 4);
            if (end < 0)
                break;
            i = end + 3;
            continue;
        }
        qsizetype p = i + 1;
        const bool closing = p < n && html[p] == QLatin1Char('/');
        if (closing)
            ++p;
        const qsizetype nameStart = p;
        if (p >= n || !isAsciiLetter(html[p])) {
            ++i; // a "<" of the text, a declaration or a processing instruction
            continue;
        }
        while (p < n && isNameChar(html[p]))
            ++p;
        const QString name = html.mid(nameStart, p - nameStart).toString().toLower();
        QChar quote;
        while (p < n) {
            const QChar c = html[p];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
            } else if (c == QLatin1Char('>')) {
                break;
            }
            ++p;
        }
        if (p >= n)
            break; // the page ends inside a tag
        const bool empty = html[p - 1] == QLatin1Char('/');
        i = p + 1;
        if (!nests(name))
            continue;
        if (closing) {
            if (named.value(name) == 0)
                continue; // closes nothing
            // Everything opened inside it closes with it.
            for (;;) {
                const QString inner = open.takeLast();
                --named[inner];
                if (inner == name)
                    break;
            }
            continue;
        }
        if (name == QLatin1String("script") || name == QLatin1String("style")) {
            // Their text is not markup; it never shows.
            const qsizetype end = html.indexOf(QString(QLatin1String("</") + name), i, Qt::CaseInsensitive);
            if (end < 0)
                break;
            i = end;
            continue;
        }
        if (empty)
            continue;
        if (open.size() >= maxDepth)
            return false;
        open.append(name);
        ++named[name];
    }
    return true;
}

} // namespace platform
