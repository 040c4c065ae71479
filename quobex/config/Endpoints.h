#pragma once

#include <QByteArray>

namespace quobex {

// Every fixed address and identifier of the services outside the program.
// The program takes them from the build configuration; tests point them at
// loopback servers. Hosts are host[:port] without a scheme; the maker's
// server is scheme and host[:port].
struct Endpoints {
    QByteArray makerServer;

    QByteArray serviceHostUS;
    QByteArray serviceHostCA;
    QByteArray serviceHostUK;
    QByteArray serviceHostDE;
    QByteArray serviceHostFR;
    QByteArray serviceHostJP;

    QByteArray imageHost;
    QByteArray storeSite;

    QByteArray searchSubscriptionId;
    QByteArray lookupSubscriptionId;

    QByteArray associateTagDefault;
    QByteArray associateTagCA;
    QByteArray associateTagUK;
    QByteArray associateTagDE;
    QByteArray associateTagFR;

    // The values the build was configured with.
    static Endpoints configured();
    // Every web-service host, the image host and the store site set to
    // `hostAndPort`, the maker's server to http:// + `makerHostAndPort`.
    static Endpoints loopback(const QByteArray& hostAndPort, const QByteArray& makerHostAndPort);
};

} // namespace quobex
