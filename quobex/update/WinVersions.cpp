#include "quobex/update/WinVersions.h"

#include "platform/CodePage.h"

#include <QFile>
#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace quobex {

namespace {

constexpr quint32 kPlatformWin32s = 0;
constexpr quint32 kPlatformWindows = 1;
constexpr quint32 kPlatformNT = 2;
constexpr quint8 kWorkstation = 1;
constexpr quint8 kServer = 3;
constexpr quint16 kSuiteEnterprise = 0x0002;
constexpr quint16 kSuiteDatacenter = 0x0080;
constexpr quint16 kSuitePersonal = 0x0200;
constexpr quint16 kSuiteBlade = 0x0400;

char secondChar(const QByteArray& text)
{
    return text.size() >= 2 ? text.at(1) : '\0';
}

QByteArray ntEdition(const OSVersionRecord& r)
{
    const quint32 major = r.majorVersion;
    const quint32 minor = r.minorVersion;
    if (r.productType == kWorkstation) {
        if (major == 4)
            return " Workstation 4.0";
        if (r.suiteMask & kSuitePersonal)
            return " Home Edition";
        return " Professional";
    }
    if (r.productType == kServer) {
        if (major == 5 && minor == 2) {
            if (r.suiteMask & kSuiteDatacenter)
                return " Datacenter Edition";
            if (r.suiteMask & kSuiteEnterprise)
                return " Enterprise Edition";
            if (r.suiteMask == kSuiteBlade)
                return " Web Edition";
            return " Standard Edition";
        }
        if (major == 5 && minor == 0) {
            if (r.suiteMask & kSuiteDatacenter)
                return " Datacenter Server";
            if (r.suiteMask & kSuiteEnterprise)
                return " Advanced Server";
            return " Server";
        }
        QByteArray text = " Server " + QByteArray::number(major) + "." + QByteArray::number(minor);
        if (r.suiteMask & kSuiteEnterprise)
            text += ", Enterprise Edition";
        return text;
    }
    return {};
}

QByteArray ntDescription(const OSVersionRecord& r)
{
    QByteArray text;
    if (r.majorVersion == 5 && r.minorVersion == 2)
        text = "Microsoft Windows Server 2003";
    else if (r.majorVersion == 5 && r.minorVersion == 1)
        text = "Microsoft Windows XP";
    else if (r.majorVersion == 5 && r.minorVersion == 0)
        text = "Microsoft Windows 2000";
    else
        text = "Microsoft Windows NT";
    text += ntEdition(r);
    if (r.majorVersion == 4 && r.servicePack.compare("Service Pack 6", Qt::CaseInsensitive) == 0 && r.hotfixKeyOpens)
        text += " Service Pack 6a";
    else
        text += " " + r.servicePack;
    text += " (Build " + QByteArray::number(r.buildNumber & 0xFFFF) + ")";
    return text;
}

// A value of an os-release line: quotes taken off, backslash escapes undone.
QByteArray osReleaseValue(QByteArray value)
{
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        const char quote = value.front();
        value = value.mid(1, value.size() - 2);
        if (quote == '\'')
            return value;
        QByteArray out;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value.at(i) == '\\' && i + 1 < value.size())
                ++i;
            out += value.at(i);
        }
        return out;
    }
    return value;
}

// The text goes into a request header: no control character may reach it.
QByteArray singleLine(const QByteArray& utf8)
{
    QString text = QString::fromUtf8(utf8);
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return platform::CodePage::fromUnicode(text.simplified());
}

} // namespace

QByteArray OSDescription(const OSVersionRecord& record)
{
    switch (record.platformId) {
    case kPlatformWin32s:
        return "Microsoft Win32s";
    case kPlatformWindows:
        if (record.majorVersion == 4 && record.minorVersion == 0) {
            const char c = secondChar(record.servicePack);
            return QByteArray("Microsoft Windows 95") + (c == 'B' || c == 'C' ? " OSR2" : "");
        }
        if (record.majorVersion == 4 && record.minorVersion == 10)
            return QByteArray("Microsoft Windows 98") + (secondChar(record.servicePack) == 'A' ? " SE" : "");
        if (record.majorVersion == 4 && record.minorVersion == 90)
            return "Microsoft Windows Millennium Edition";
        return {};
    case kPlatformNT:
        return ntDescription(record);
    default:
        return {};
    }
}

QByteArray DescribeUnixSystem(const QByteArray& osRelease, const QByteArray& kernelName,
                              const QByteArray& kernelRelease)
{
    QByteArray pretty, name, version;
    for (const QByteArray& line : osRelease.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || line.startsWith('#'))
            continue;
        const QByteArray key = line.left(eq).trimmed();
        if (key == "PRETTY_NAME")
            pretty = osReleaseValue(line.mid(eq + 1));
        else if (key == "NAME")
            name = osReleaseValue(line.mid(eq + 1));
        else if (key == "VERSION")
            version = osReleaseValue(line.mid(eq + 1));
    }
    QByteArray system = singleLine(pretty);
    if (system.isEmpty())
        system = singleLine(name + (name.isEmpty() || version.isEmpty() ? "" : " ") + version);
    const QByteArray kernel = singleLine(kernelName + (kernelName.isEmpty() ? "" : " ") + kernelRelease);
    if (system.isEmpty())
        return kernel;
    if (kernel.isEmpty())
        return system;
    return system + " (" + kernel + ")";
}

QByteArray OSDescription()
{
#ifdef Q_OS_WIN
    OSVERSIONINFOEXA info = {};
    info.dwOSVersionInfoSize = sizeof(info); // the 156-byte form
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info)))
        return {};
    OSVersionRecord r;
    r.platformId = info.dwPlatformId;
    r.majorVersion = info.dwMajorVersion;
    r.minorVersion = info.dwMinorVersion;
    r.buildNumber = info.dwBuildNumber;
    r.servicePack = QByteArray(info.szCSDVersion, qstrnlen(info.szCSDVersion, sizeof(info.szCSDVersion)));
    r.suiteMask = info.wSuiteMask;
    r.productType = info.wProductType;
    if (r.platformId == kPlatformNT && r.majorVersion == 4) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009", 0,
                          KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            r.hotfixKeyOpens = true;
            RegCloseKey(key);
        }
    }
    return OSDescription(r);
#else
    QByteArray osRelease;
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly)) {
            osRelease = file.read(64 * 1024);
            break;
        }
    }
    struct utsname names = {};
    QByteArray kernelName, kernelRelease;
    if (uname(&names) == 0) {
        kernelName = names.sysname;
        kernelRelease = names.release;
    }
    return DescribeUnixSystem(osRelease, kernelName, kernelRelease);
#endif
}

} // namespace quobex
