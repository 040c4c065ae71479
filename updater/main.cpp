#include "platform/Shell.h"
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
    form.show();
    return app.exec();
}
