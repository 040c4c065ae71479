#include "standin/StandinServer.h"

#include "standin/Pictures.h"

#include <QDateTime>
#include <QRegularExpression>

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace standin {

namespace {

void send(httplib::Response& response, const HttpReply& reply)
{
    response.status = reply.status;
    response.set_content(reply.body.toStdString(), reply.contentType.toStdString());
}

} // namespace

StandinServer::StandinServer(StandinOptions options)
    : m_options(std::move(options)), m_catalogue(Catalogue::load(m_options.cataloguePath)),
      m_maker(std::make_unique<MakerSite>(m_options.downloads, m_options.announcedVersion)),
      m_fixedMinutes(m_options.fixedMinutes)
{
    if (m_options.startMs <= 0)
        m_options.startMs = QDateTime::currentMSecsSinceEpoch();
}

StandinServer::~StandinServer()
{
    stop();
}

QByteArray StandinServer::hostAndPort(int port) const
{
    return m_options.bindAddress + ":" + QByteArray::number(port);
}

int StandinServer::elapsedMinutes() const
{
    const int fixed = m_fixedMinutes.load();
    if (fixed >= 0)
        return fixed;
    const double ms = double(QDateTime::currentMSecsSinceEpoch() - m_options.startMs) * m_options.speed;
    return ms <= 0 ? 0 : int(ms / 60000.0);
}

void StandinServer::log(const QByteArray& role, const void* request, int status, qsizetype bytes) const
{
    if (!m_options.log)
        return;
    const auto* r = static_cast<const httplib::Request*>(request);
    m_options.log(QDateTime::currentDateTime().toString(Qt::ISODate).toLatin1() + " " + role + " " +
                  QByteArray::fromStdString(r->method) + " " + QByteArray::fromStdString(r->target) + " -> " +
                  QByteArray::number(status) + " " + QByteArray::number(bytes) + " bytes (minute " +
                  QByteArray::number(elapsedMinutes()) + ")");
}

httplib::Server& StandinServer::addServer(const QByteArray& role, int port, int* boundPort)
{
    auto server = std::make_unique<httplib::Server>();
    const std::string address = m_options.bindAddress.toStdString();
    const int bound = port == 0 ? server->bind_to_any_port(address) : (server->bind_to_port(address, port) ? port : -1);
    if (bound <= 0) {
        throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + " for the " +
                                 role.toStdString());
    }
    *boundPort = bound;
    server->set_logger([this, role](const httplib::Request& request, const httplib::Response& response) {
        log(role, &request, response.status, qsizetype(response.body.size()));
    });
    httplib::Server& ref = *server;
    m_servers.push_back({role, std::move(server), {}});
    return ref;
}

HttpReply StandinServer::imageHost(const QByteArray& target) const
{
    static const QRegularExpression starPath(
        QStringLiteral("^/images/G/01/x-locale/common/customer-reviews/stars-([0-9]+-[0-9]+)\\.gif$"));
    static const QRegularExpression picturePath(QStringLiteral("^/images/P/([0-9A-Z]+)\\.01\\.[_A-Z]+\\.jpg$"));
    static const QRegularExpression productPath(QStringLiteral("^/exec/obidos/ASIN/([0-9A-Z]+)/([a-z]+)$"));
    const QString path =
        QString::fromLatin1(target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?')));
    if (const auto match = starPath.match(path); match.hasMatch()) {
        const QByteArray picture = starPicture(match.captured(1));
        if (!picture.isEmpty())
            return {200, "image/png", picture};
    }
    if (const auto match = picturePath.match(path); match.hasMatch()) {
        for (const CatalogueEntry& entry : m_catalogue.entries()) {
            if (entry.asin == match.captured(1))
                return {200, "image/png", coverPicture(entry.asin, entry.title, entry.byline)};
        }
    }
    if (const auto match = productPath.match(path); match.hasMatch()) {
        Store store = Store::US;
        storeFromName(match.captured(2).toLatin1(), &store);
        if (const CatalogueEntry* entry = m_catalogue.find(store, match.captured(1), elapsedMinutes())) {
            const servicereplies::Product p = m_catalogue.product(*entry);
            return {200, "text/html; charset=UTF-8",
                    page(entry->title,
                         QStringLiteral("<p><img src=\"%1\" align=\"left\" hspace=\"12\">by %2<br>List price: %3<br>"
                                        "Our price: <b>%4</b></p><p>%5</p>")
                             .arg(p.mediumImageUrl, entry->byline.toHtmlEscaped(), p.listPrice, p.lowestNewPrice,
                                  entry->review))};
        }
    }
    return {404, "text/plain", "Not Found"};
}

void StandinServer::start()
{
    if (!m_servers.empty())
        return;

    httplib::Server& images = addServer("images", m_options.imagePort, &m_imagePort);
    m_catalogue.setImageHost(hostAndPort(m_imagePort));
    images.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        send(response, imageHost(QByteArray::fromStdString(request.target)));
    });

    httplib::Server& maker = addServer("maker", m_options.makerPort, &m_makerPort);
    maker.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        send(response, m_maker->answer(QByteArray::fromStdString(request.target),
                                       QByteArray::fromStdString(request.get_header_value("User-Agent"))));
    });

    for (const Store store : kStores) {
        int bound = 0;
        httplib::Server& server = addServer("store-" + storeName(store), m_options.storePorts.value(store), &bound);
        m_storePorts.insert(store, bound);
        server.Get(".*", [this, store](const httplib::Request& request, httplib::Response& response) {
            send(response,
                 answerServiceRequest(m_catalogue, store, QByteArray::fromStdString(request.target), elapsedMinutes()));
        });
    }

    for (Running& running : m_servers) {
        httplib::Server* server = running.server.get();
        running.thread = std::thread([server] { server->listen_after_bind(); });
    }
    // stop() is ignored until a server's loop has begun, so wait for every
    // one of them (bounded) before anyone may call it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (Running& running : m_servers) {
        while (!running.server->is_running()) {
            if (std::chrono::steady_clock::now() > deadline) {
                stop();
                throw std::runtime_error("the " + running.role.toStdString() + " server did not start");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

void StandinServer::stop()
{
    for (Running& running : m_servers)
        running.server->stop();
    for (Running& running : m_servers) {
        if (running.thread.joinable())
            running.thread.join();
    }
    m_servers.clear();
}

} // namespace standin
