#include "platform/Shell.h"

#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <shellapi.h>
#include <windows.h>
#endif

namespace platform {

namespace {

#ifdef Q_OS_WIN
bool shellOpen(const QString& file, const QString& parameters)
{
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        nullptr, L"open", reinterpret_cast<LPCWSTR>(file.utf16()),
        parameters.isEmpty() ? nullptr : reinterpret_cast<LPCWSTR>(parameters.utf16()), nullptr, SW_SHOWNORMAL));
    return result > 32;
}
#endif

} // namespace

bool Shell::startProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool Shell::openDocument(const QString& pathOrUrl)
{
#ifdef Q_OS_WIN
    return shellOpen(pathOrUrl, QString());
#elif defined(Q_OS_MACOS)
    return QProcess::startDetached(QStringLiteral("open"), {pathOrUrl});
#else
    return QProcess::startDetached(QStringLiteral("xdg-open"), {pathOrUrl});
#endif
}

bool Shell::openInBrowser(const QString& url)
{
#ifdef Q_OS_WIN
    if (shellOpen(QStringLiteral("iexplore"), url))
        return true;
#else
    const QString explorer = QStandardPaths::findExecutable(QStringLiteral("iexplore"));
    if (!explorer.isEmpty() && QProcess::startDetached(explorer, {url}))
        return true;
#endif
    return openDocument(url);
}

Shell& Shell::system()
{
    static Shell shell;
    return shell;
}

} // namespace platform
