// The stand-in for the retired store service and the maker's web server:
// serves until SIGTERM or SIGINT, then ends cleanly.

#include "standin/StandinServer.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

#ifndef QUOBEX_STANDIN_CATALOGUE
#define QUOBEX_STANDIN_CATALOGUE ""
#endif
#ifndef QUOBEX_STANDIN_DOWNLOADS
#define QUOBEX_STANDIN_DOWNLOADS ""
#endif
#ifndef QUOBEX_STANDIN_VERSION
#define QUOBEX_STANDIN_VERSION "1.0.8.49"
#endif

using standin::Store;

namespace {

void fail(const QString& message)
{
    std::fprintf(stderr, "quobex-standin: %s\n", qPrintable(message));
    std::exit(2);
}

int portValue(const QString& text)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 0 || port > 65535)
        fail(QStringLiteral("not a port: %1").arg(text));
    return port;
}

} // namespace

int main(int argc, char** argv)
{
    // Block the ending signals before any thread starts, so every server
    // thread inherits the mask and the main thread alone receives them.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);

    // Pictures are drawn with fonts, which need a GUI application; it never
    // shows a window.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quobex-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A stand-in for the store's retired 2005-07-26 product service (six stores), its image host and the "
        "maker's web server, for trying Quobex out. Ports: maker = base, images = base+1, then the US, CA, UK, "
        "DE, FR and JP stores = base+2 ... base+7."));
    parser.addHelpOption();
    const QCommandLineOption bind(QStringLiteral("bind"), QStringLiteral("Address to listen on."),
                                  QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption basePort(QStringLiteral("base-port"), QStringLiteral("First of the eight ports."),
                                      QStringLiteral("port"), QStringLiteral("47780"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("One port by role: maker, images, us, ca, uk, de, fr, jp "
                                                 "(e.g. de=8080); 0 takes any free port. Repeatable."),
                                  QStringLiteral("role=port"));
    const QCommandLineOption catalogue(QStringLiteral("catalogue"), QStringLiteral("The catalogue file (JSON)."),
                                       QStringLiteral("file"), QStringLiteral(QUOBEX_STANDIN_CATALOGUE));
    const QCommandLineOption downloads(QStringLiteral("downloads"),
                                       QStringLiteral("Folder of setup.exe and setup.exe.minisig."),
                                       QStringLiteral("folder"), QStringLiteral(QUOBEX_STANDIN_DOWNLOADS));
    const QCommandLineOption version(QStringLiteral("announce-version"),
                                     QStringLiteral("The version /exe/download/version.txt announces."),
                                     QStringLiteral("version"), QStringLiteral(QUOBEX_STANDIN_VERSION));
    const QCommandLineOption startTime(QStringLiteral("start-time"),
                                       QStringLiteral("The clock's zero, in seconds since 1970 (default: now); the "
                                                      "catalogue grows from there."),
                                       QStringLiteral("seconds"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("How much faster than real time "
                                                  "the catalogue grows."),
                                   QStringLiteral("factor"), QStringLiteral("1"));
    const QCommandLineOption minute(QStringLiteral("minute"),
                                    QStringLiteral("Serve the catalogue as it is this many minutes after the start, "
                                                   "always."),
                                    QStringLiteral("minutes"));
    const QCommandLineOption portsFile(QStringLiteral("ports-file"),
                                       QStringLiteral("Write role=port lines here once listening."),
                                       QStringLiteral("file"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("No line per request."));
    parser.addOptions(
        {bind, basePort, port, catalogue, downloads, version, startTime, speed, minute, portsFile, quiet});
    parser.process(app);

    standin::StandinOptions options;
    options.bindAddress = parser.value(bind).toLatin1();
    const int base = portValue(parser.value(basePort));
    options.makerPort = base;
    options.imagePort = base == 0 ? 0 : base + 1;
    int offset = 2;
    for (const Store store : standin::kStores)
        options.storePorts.insert(store, base == 0 ? 0 : base + offset++);
    for (const QString& pair : parser.values(port)) {
        const QString role = pair.section(u'=', 0, 0).toLower();
        const int value = portValue(pair.section(u'=', 1));
        Store store = Store::US;
        if (role == QLatin1String("maker"))
            options.makerPort = value;
        else if (role == QLatin1String("images"))
            options.imagePort = value;
        else if (standin::storeFromName(role.toLatin1(), &store))
            options.storePorts.insert(store, value);
        else
            fail(QStringLiteral("unknown role in --port %1").arg(pair));
    }
    options.cataloguePath = parser.value(catalogue);
    options.downloads = parser.value(downloads);
    options.announcedVersion = parser.value(version).toLatin1();
    if (parser.isSet(startTime))
        options.startMs = qint64(parser.value(startTime).toDouble() * 1000);
    options.speed = parser.value(speed).toDouble();
    if (options.speed <= 0)
        fail(QStringLiteral("--speed must be above 0"));
    if (parser.isSet(minute))
        options.fixedMinutes = parser.value(minute).toInt();
    if (!parser.isSet(quiet)) {
        options.log = [](const QByteArray& line) {
            std::fprintf(stderr, "%s\n", line.constData());
            std::fflush(stderr);
        };
    }

    try {
        standin::StandinServer server(options);
        server.start();
        QByteArray ports = "maker=" + QByteArray::number(server.makerPort()) +
                           "\nimages=" + QByteArray::number(server.imagePort()) + "\n";
        for (const Store store : standin::kStores) {
            ports += standin::storeName(store).toLower() + "=" + QByteArray::number(server.storePort(store)) + "\n";
        }
        std::fprintf(stderr, "quobex-standin: %lld products; listening on %s\n%s",
                     static_cast<long long>(server.catalogue().entries().size()), options.bindAddress.constData(),
                     ports.constData());
        std::fflush(stderr);
        if (parser.isSet(portsFile)) {
            QFile file(parser.value(portsFile));
            if (!file.open(QIODevice::WriteOnly) || file.write(ports) != ports.size())
                fail(QStringLiteral("cannot write %1").arg(file.fileName()));
        }

        int received = 0;
        sigwait(&endSignals, &received);
        std::fprintf(stderr, "quobex-standin: signal %d, stopping\n", received);
        server.stop();
    } catch (const std::exception& error) {
        fail(QString::fromLocal8Bit(error.what()));
    }
    return 0;
}
