#pragma once

#include "platform/Shell.h"

#include <QStringList>

namespace testsupport {

// Records what the program asks the desktop to start or open.
class RecordingShell : public platform::Shell {
public:
    struct Call {
        QString kind; // "start", "open" or "browser"
        QString target;
        QStringList arguments;
    };

    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        calls.append({QStringLiteral("start"), program, arguments});
        return programsStart;
    }
    bool openDocument(const QString& pathOrUrl) override
    {
        calls.append({QStringLiteral("open"), pathOrUrl, {}});
        return true;
    }
    bool openInBrowser(const QString& url) override
    {
        calls.append({QStringLiteral("browser"), url, {}});
        return true;
    }

    QList<Call> calls;
    bool programsStart = true; // false: every program fails to start
};

} // namespace testsupport
