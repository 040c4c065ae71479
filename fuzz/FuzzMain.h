#pragma once

#include <QCoreApplication>

#include <cstdlib>

namespace fuzzsupport {

// One application object for the whole run: Qt's text codecs, the main-thread
// checks of the hand-overs and file names need it. Qt's own messages would
// flood the fuzzer's output; they are dropped.
inline void startQt()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QCoreApplication app(argc, argv);
}

} // namespace fuzzsupport
