#include "standin/MakerSite.h"

#include "standin/replies/ServiceReplies.h"

#include <QDateTime>
#include <QFile>

namespace standin {

namespace {

HttpReply html(const QByteArray& body)
{
    return {200, "text/html; charset=UTF-8", body};
}

QString escapedText(const QByteArray& bytes)
{
    return queryText(bytes).toHtmlEscaped();
}

} // namespace

QByteArray page(const QString& title, const QString& body)
{
    return QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                          "<body style=\"font-family: Verdana, sans-serif; color: #003850;\">"
                          "<h2 style=\"color: #006699;\">%1</h2>%2"
                          "<p style=\"color: #6d8fa3; font-size: small;\">Quobex stand-in server</p></body></html>\n")
        .arg(title.toHtmlEscaped(), body)
        .toUtf8();
}

MakerSite::MakerSite(QString downloads, QByteArray announcedVersion)
    : m_downloads(std::move(downloads)), m_version(std::move(announcedVersion))
{
}

int MakerSite::pingCount() const
{
    std::lock_guard lock(m_mutex);
    return m_pings;
}

HttpReply MakerSite::answer(const QByteArray& target, const QByteArray& userAgent)
{
    const qsizetype mark = target.indexOf('?');
    const QByteArray path = mark < 0 ? target : target.left(mark);
    if (path == "/exe/help/index.html") {
        return html(
            page(QStringLiteral("Welcome to Quobex"),
                 QStringLiteral("<p>Quobex watches the store for you. Every alert is a keyword, an item type and a "
                                "store; Quobex checks them regularly and tells you when something new turns up.</p>"
                                "<ul><li>Right-click the tree and choose <b>Add Alert</b> to watch a keyword.</li>"
                                "<li>Select a product to read its details.</li>"
                                "<li><b>Top Sellers</b> and <b>New Releases</b> are checked for you.</li></ul>")));
    }
    if (path == "/tell/index.php") {
        return html(page(QStringLiteral("Tell a friend"),
                         QStringLiteral("<p>Know someone who would like Quobex? Send them this page.</p>")));
    }
    if (path == "/main/contact.php") {
        return html(
            page(QStringLiteral("Contact"), QStringLiteral("<p>Questions or ideas: write to the Quobex team.</p>")));
    }
    if (path == "/exe/frame/frame.php") {
        const QMap<QByteArray, QByteArray> query = servicereplies::parseQuery(target);
        const QString url = queryText(query.value("url"));
        return html(page(QStringLiteral("On to the store"),
                         QStringLiteral("<p>Keyword: <b>%1</b><br>Item type: <b>%2</b><br>Store: <b>%3</b></p>"
                                        "<p><a href=\"%4\">Open the product page</a></p>")
                             .arg(escapedText(query.value("keyword")), escapedText(query.value("type")),
                                  escapedText(query.value("country")), url.toHtmlEscaped())));
    }
    if (path == "/exe/ping.php") {
        std::lock_guard lock(m_mutex);
        ++m_pings;
        m_agents.prepend(userAgent);
        if (m_agents.size() > 10)
            m_agents.removeLast();
        return html("OK");
    }
    if (path == "/" || path == "/status")
        return statusPage();
    if (path == "/exe/download/version.txt")
        return {200, "text/plain", m_version};
    if (path == "/exe/download/changes.html") {
        return html(page(QStringLiteral("What is new in Quobex %1").arg(QString::fromLatin1(m_version)),
                         QStringLiteral("<ul><li>Faster checks of your alerts.</li>"
                                        "<li>Wider number fields in the notification settings.</li>"
                                        "<li>The installer is signed, and Updater checks the signature.</li></ul>")));
    }
    if (path == "/exe/download/setup.exe")
        return download(QStringLiteral("setup.exe"), "application/octet-stream");
    if (path == "/exe/download/setup.exe.minisig")
        return download(QStringLiteral("setup.exe.minisig"), "text/plain");
    return {404, "text/html", page(QStringLiteral("Not found"), QStringLiteral("<p>No such page.</p>"))};
}

HttpReply MakerSite::statusPage() const
{
    std::lock_guard lock(m_mutex);
    QString agents;
    for (const QByteArray& agent : m_agents)
        agents += QStringLiteral("<li>%1</li>").arg(QString::fromLatin1(agent).toHtmlEscaped());
    return html(page(QStringLiteral("Stand-in status"),
                     QStringLiteral("<p>Pings received: <b id=\"pings\">%1</b></p>"
                                    "<p>Announced version: <b>%2</b></p><p>Latest pings from:</p><ul>%3</ul>")
                         .arg(m_pings)
                         .arg(QString::fromLatin1(m_version), agents)));
}

HttpReply MakerSite::download(const QString& name, const QByteArray& contentType) const
{
    QFile file(m_downloads + u'/' + name);
    if (m_downloads.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {404, "text/html", page(QStringLiteral("Not found"), QStringLiteral("<p>No such file.</p>"))};
    return {200, contentType, file.readAll()};
}

} // namespace standin
