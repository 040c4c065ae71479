#pragma once

#include "standin/StoreService.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>

namespace standin {

// The maker's web server: the help, tell-a-friend, contact and redirect
// pages, the usage ping (counted, shown on "/status"), and the download
// folder with the announced version, the changes page and the signed
// installer.
class MakerSite {
public:
    // `downloads` holds "setup.exe" and "setup.exe.minisig"; the version
    // file announces `announcedVersion`.
    MakerSite(QString downloads, QByteArray announcedVersion);

    HttpReply answer(const QByteArray& target, const QByteArray& userAgent);

    int pingCount() const;
    QByteArray announcedVersion() const { return m_version; }

private:
    HttpReply statusPage() const;
    HttpReply download(const QString& name, const QByteArray& contentType) const;

    QString m_downloads;
    QByteArray m_version;
    mutable std::mutex m_mutex;
    int m_pings = 0;
    QList<QByteArray> m_agents; // the latest first, a few only
};

// Wraps a body in the stand-in's page frame.
QByteArray page(const QString& title, const QString& body);

} // namespace standin
