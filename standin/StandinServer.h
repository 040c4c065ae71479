#pragma once

#include "standin/Catalogue.h"
#include "standin/MakerSite.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace standin {

// What the stand-in serves and where. A port of 0 takes any free port.
struct StandinOptions {
    QByteArray bindAddress = "127.0.0.1";
    int makerPort = 0;
    int imagePort = 0;
    QMap<Store, int> storePorts; // a store without an entry gets any free port
    QString cataloguePath;
    QString downloads;
    QByteArray announcedVersion = "1.0.8.49";
    // The clock: minutes since `startMs` (milliseconds since the epoch),
    // sped up by `speed`. Tests pin it with `fixedMinutes` >= 0 instead.
    qint64 startMs = 0;
    double speed = 1.0;
    int fixedMinutes = -1;
    // One line per request; none when empty.
    std::function<void(const QByteArray&)> log;
};

// The retired store service for all six stores, its image host, and the
// maker's web server, each on its own port, each on a thread of its own.
class StandinServer {
public:
    // Reads the catalogue; throws std::runtime_error when it cannot.
    explicit StandinServer(StandinOptions options);
    ~StandinServer();
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    // Binds every port and returns once all of them accept connections;
    // throws std::runtime_error naming a port that cannot be bound.
    void start();
    void stop();

    int makerPort() const { return m_makerPort; }
    int imagePort() const { return m_imagePort; }
    int storePort(Store store) const { return m_storePorts.value(store); }
    // "<bind address>:<port>"
    QByteArray hostAndPort(int port) const;

    int elapsedMinutes() const;
    // Moves the pinned clock on (tests).
    void setFixedMinutes(int minutes) { m_fixedMinutes = minutes; }

    const Catalogue& catalogue() const { return m_catalogue; }
    const MakerSite& makerSite() const { return *m_maker; }

private:
    httplib::Server& addServer(const QByteArray& role, int port, int* boundPort);
    void log(const QByteArray& role, const void* request, int status, qsizetype bytes) const;
    HttpReply imageHost(const QByteArray& target) const;

    StandinOptions m_options;
    Catalogue m_catalogue;
    std::unique_ptr<MakerSite> m_maker;
    std::atomic<int> m_fixedMinutes;
    struct Running {
        QByteArray role;
        std::unique_ptr<httplib::Server> server;
        std::thread thread;
    };
    std::vector<Running> m_servers;
    int m_makerPort = 0;
    int m_imagePort = 0;
    QMap<Store, int> m_storePorts;
};

} // namespace standin
