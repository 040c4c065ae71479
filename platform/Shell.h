#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Starting programs and opening documents through the desktop. Tests put a
// recording shell in its place.
class Shell {
public:
    virtual ~Shell() = default;

    // Starts `program` with `arguments`, detached. False when it cannot start.
    virtual bool startProgram(const QString& program, const QStringList& arguments);
    // Opens a file or a URL with the program the desktop associates with it.
    virtual bool openDocument(const QString& pathOrUrl);
    // Opens a web page with "iexplore" where that exists, else with the
    // desktop's default browser.
    virtual bool openInBrowser(const QString& url);

    // The shell of the running desktop.
    static Shell& system();
};

} // namespace platform
