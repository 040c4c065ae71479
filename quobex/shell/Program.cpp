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

#include <optional>

namespace quobex {

namespace {

// The last line of defence: an error that no handler caught is reported in a
// message box instead of ending the program where it stands.
class GuardedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            report(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            report(QStringLiteral("An unknown error occurred."));
        }
        return false;
    }

    platform::ui::MessageBoxes* messages = nullptr;

private:
    void report(const QString& text)
    {
        qWarning("Unhandled error: %s", qPrintable(text));
        if (messages && !m_reporting) {
            m_reporting = true;
            messages->error(nullptr, text);
            m_reporting = false;
        }
    }

    bool m_reporting = false;
};

} // namespace

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
    host.requestEnd = [form](int code) { form->requestApplicationEnd(code); };
    m_addAlert = new TfrmAddAlert(std::move(host), form);
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
    GuardedApplication app(argc, argv);
    // Taken from the start: a signal that comes during start-up is handled
    // once the message loop runs.
    platform::TerminationSignals termination;
    QApplication::setApplicationName(QStringLiteral("Quobex"));
    // The program lives in the tray: closing a window never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    QFile style(QStringLiteral(":/quobex/quobex.qss"));
    if (style.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));

    // An end asked for during start-up waits for the message loop: ending
    // at once would cut short the start-up's own messages, which the user
    // must still see.
    bool looping = false;
    std::optional<int> endBeforeLoop;
    Services services;
    services.requestEnd = [&looping, &endBeforeLoop](int code) {
        if (!looping) {
            if (!endBeforeLoop)
                endBeforeLoop = code;
            return;
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
    };
    platform::ui::MessageBoxes messages;
    services.messages = &messages;
    app.messages = &messages;
    std::unique_ptr<Program> program;
    try {
        program = std::make_unique<Program>(services);
    } catch (const std::exception& e) {
        messages.error(nullptr, QString::fromLocal8Bit(e.what()));
        return 1;
    }
    TfrmMainForm* form = program->mainForm();
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested, form,
                     &TfrmMainForm::EndSession);
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, form, [form](QSessionManager&) { form->EndSession(); },
        Qt::DirectConnection);

    program->start();
    looping = true;
    if (endBeforeLoop)
        services.requestEnd(*endBeforeLoop);
    return app.exec();
}

} // namespace quobex
