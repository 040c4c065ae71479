#include "platform/Shell.h"
#include "platform/TerminationSignals.h"
#include "platform/ui/MessageBoxes.h"
#include "updater/MainForm.h"

#include <QApplication>
#include <QFile>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(updater::TfrmMainForm::kTitle);
    QApplication::setApplicationDisplayName(updater::TfrmMainForm::kTitle);
    QFile style(QStringLiteral(":/updater/quobex.qss"));
    if (style.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));

    platform::ui::MessageBoxes messages;
    updater::Services services;
    services.endpoints = updater::UpdaterEndpoints::configured();
    services.shell = &platform::Shell::system();
    services.messages = &messages;
    services.requestEnd = [](int code) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    };
    updater::TfrmMainForm form(services);
    // SIGTERM or SIGINT (a session that ends, Ctrl-C) ends Updater as closing
    // its window does: a download under way is given up and its partial file
    // removed, instead of being left behind in the cache folder.
    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested, &form, [&form] {
        form.close();
        QCoreApplication::exit(0);
    });
    form.show();
    return app.exec();
}
