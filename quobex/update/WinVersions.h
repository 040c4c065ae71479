#pragma once

#include <QByteArray>
#include <QtGlobal>

// The description of the running operating system that the program sends
// in its user agent.
namespace quobex {

// What Windows reports of itself in its extended version record, plus
// whether the hotfix key of Service Pack 6a opens.
struct OSVersionRecord {
    quint32 platformId = 0;
    quint32 majorVersion = 0;
    quint32 minorVersion = 0;
    quint32 buildNumber = 0;
    QByteArray servicePack; // the record's service-pack text
    quint16 suiteMask = 0;
    quint8 productType = 0;
    bool hotfixKeyOpens = false; // HKLM\...\Hotfix\Q246009
};

// The description of a Windows version record.
QByteArray OSDescription(const OSVersionRecord& record);

// The description of a Unix-like system: the distribution's name from the
// text of its os-release file, then the kernel's name and release, as in
// "Debian GNU/Linux 12 (bookworm) (Linux 6.1.0-28-amd64)". Whatever part is
// unknown is left out; empty when nothing is known.
QByteArray DescribeUnixSystem(const QByteArray& osRelease, const QByteArray& kernelName,
                              const QByteArray& kernelRelease);

// The description of the running system, single-byte text in the system
// code page; empty when the system cannot be asked.
QByteArray OSDescription();

} // namespace quobex
