#pragma once

#include "platform/HttpClient.h"

#include <QByteArray>
#include <QString>

namespace updater {

// Where Updater finds the installer and how it knows the maker's signature.
struct UpdaterEndpoints {
    QByteArray makerServer; // scheme and host[:port]
    QByteArray publicKey;   // base64 line of the maker's minisign public key; empty: none
    // The values the build was configured with.
    static UpdaterEndpoints configured();
};

inline constexpr char kInstallerPath[] = "/exe/download/setup.exe";
inline constexpr char kSignaturePath[] = "/exe/download/setup.exe.minisig";
inline constexpr char kChangesPath[] = "/exe/download/changes.html";
inline const QString kInstallerName = QStringLiteral("Setup.exe");

// Fetches the installer into a temporary file beside "Setup.exe" in
// `folder`, fetches its signature and checks it against the maker's key.
// Only a complete, verified installer replaces "Setup.exe" (made executable
// for the user); otherwise the temporary file is removed and the previous
// "Setup.exe" stays as it was. Blocking; meant for a worker thread, whose
// interruption gives the download up.
class InstallerDownload {
public:
    struct Result {
        bool ok = false;
        QString reason;    // why it failed
        QString installer; // the verified "Setup.exe"
    };

    InstallerDownload(UpdaterEndpoints endpoints, QString folder);
    void setTimeouts(int inactivityMs, int totalMs);

    Result run(const platform::HttpClient::Progress& progress);

    static constexpr int kInactivityMs = 60000;

private:
    UpdaterEndpoints m_endpoints;
    QString m_folder;
    int m_inactivityMs = kInactivityMs;
    int m_totalMs = 0; // a large installer on a slow line may take long
};

} // namespace updater
