#include "updater/InstallerDownload.h"

#include "UpdaterConfig.h"
#include "updater/Minisign.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <cstdio>
#include <exception>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace updater {

namespace {

// Puts `from` in the place of `to` in one step: there is never a moment
// without a whole "Setup.exe" or with a partial one.
bool replaceFile(const QString& from, const QString& to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(to).utf16()), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

} // namespace

UpdaterEndpoints UpdaterEndpoints::configured()
{
    return {QByteArray(QUOBEX_MAKER_SERVER), QByteArray(QUOBEX_UPDATE_PUBLIC_KEY)};
}

InstallerDownload::InstallerDownload(UpdaterEndpoints endpoints, QString folder)
    : m_endpoints(std::move(endpoints)), m_folder(std::move(folder))
{
}

void InstallerDownload::setTimeouts(int inactivityMs, int totalMs)
{
    m_inactivityMs = inactivityMs;
    m_totalMs = totalMs;
}

InstallerDownload::Result InstallerDownload::run(const platform::HttpClient::Progress& progress)
{
    Result result;
    if (m_endpoints.publicKey.isEmpty()) {
        result.reason = QStringLiteral("This updater has no key to check the installer's signature with.");
        return result;
    }
    const std::optional<Minisign::PublicKey> key = Minisign::ReadPublicKey(m_endpoints.publicKey, &result.reason);
    if (!key)
        return result;

    const QString target = QDir(m_folder).filePath(kInstallerName);
    QTemporaryFile part(target + QStringLiteral(".XXXXXX.part"));
    if (!part.open()) {
        result.reason = QStringLiteral("Cannot create %1: %2")
                            .arg(QDir::toNativeSeparators(part.fileTemplate()), part.errorString());
        return result;
    }

    platform::HttpClient client;
    client.setUserAgent("Mozilla/3.0 (compatible; Indy Library)");
    client.setHeader("Accept", "text/html, */*");
    client.setHeader("Content-Type", "text/html");
    client.setTimeouts(m_inactivityMs, m_totalMs);

    qint64 announced = 0;
    platform::HttpClient::Progress watched = progress;
    watched.begin = [&announced, &progress](qint64 total) {
        announced = total;
        if (progress.begin)
            progress.begin(total);
    };
    QByteArray signatureText;
    try {
        client.download(m_endpoints.makerServer + kInstallerPath, part, watched);
        if (!part.flush())
            throw std::runtime_error("Cannot write the downloaded installer: " + part.errorString().toStdString());
        if (announced > 0 && part.size() != announced)
            throw std::runtime_error("The installer arrived incomplete.");
    } catch (const std::exception& e) {
        result.reason = QString::fromLocal8Bit(e.what());
        return result;
    }
    try {
        signatureText = client.get(m_endpoints.makerServer + kSignaturePath);
    } catch (const std::exception& e) {
        result.reason =
            QStringLiteral("The installer's signature could not be fetched: ") + QString::fromLocal8Bit(e.what());
        return result;
    }

    const std::optional<Minisign::Signature> signature = Minisign::ReadSignature(signatureText, &result.reason);
    if (!signature || !Minisign::Verify(*key, *signature, part, &result.reason))
        return result;

    part.setPermissions(part.permissions() | QFileDevice::ExeOwner | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    part.close();
    if (!replaceFile(part.fileName(), target)) {
        result.reason = QStringLiteral("Cannot replace %1.").arg(QDir::toNativeSeparators(target));
        return result;
    }
    part.setAutoRemove(false); // it is Setup.exe now
    result.ok = true;
    result.installer = target;
    return result;
}

} // namespace updater
