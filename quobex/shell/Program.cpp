#include "quobex/shell/Program.h"

#include "platform/Shell.h"
#include "platform/TerminationSignals.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Tray.h"
#include "quobex/settings/Settings.h"
#include "quobex/shell/MainForm.h"
#include "quobex/store/AddAlert.h"

#include <QApplication>
#include <QFile>
#include <QSessionManager>

namespace quobex {

Program::Program(Services services)
{
    if (services.endpoints.makerServer.isEmpty())
        services.endpoints = Endpoints::configured();
    if (!services.shell)
        services.shell = &platform::Shell::system();
    if (!services.tray) {
        m_ownTray = std::make_unique<platform::ui::Tray>();
        services.tray = m_ownTray.get();
    }
    if (!services.messages) {
        m_ownMessages = std::make_unique<platform::ui::MessageBoxes>();
        services.messages = m_ownMessages.get();
    }

    m_mainForm = std::make_unique<TfrmMainForm>(services);
    TfrmMainForm* form = m_mainForm.get();
    TfrmAddAlert::Host host;
    host.definitions = &form->Definitions;
    host.saveDefinitions = [form] { form->SaveAlertDefinitions(); };
    host.dataFolder = [form] { return form->dataFolder(); };
    host.messages = services.messages;
    m_addAlert = new TfrmAddAlert(std::move(host), form);
    QObject::connect(m_addAlert, &TfrmAddAlert::applicationEndRequested, form, &TfrmMainForm::applicationEndRequested);
    m_settings = new TfrmSettings(m_mainForm->timerFetchAmazon, SettingsFile(SettingsFile::defaultPath()),
                                  services.messages, m_mainForm.get());
    m_mainForm->setDialogs(m_addAlert, m_settings);
}

Program::~Program() = default;

void Program::start()
{
    m_mainForm->StartUp();
    m_mainForm->show();
}

int Program::run(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quobex"));
    // The program lives in the tray: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QFile style(QStringLiteral(":/quobex/quobex.qss"));
    if (style.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));

    Program program;
    TfrmMainForm* form = program.mainForm();
    QObject::connect(form, &TfrmMainForm::applicationEndRequested, &app,
                     [](int code) { QCoreApplication::exit(code); }, Qt::QueuedConnection);

    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested, form,
                     &TfrmMainForm::EndSession);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, form,
                     [form](QSessionManager&) { form->EndSession(); }, Qt::DirectConnection);

    program.start();
    return app.exec();
}

} // namespace quobex
