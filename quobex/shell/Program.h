#pragma once

#include "quobex/shell/Services.h"

#include <memory>

namespace platform {
class Shell;
}
namespace platform::ui {
class MessageBoxes;
class Tray;
} // namespace platform::ui

namespace quobex {

class TfrmAddAlert;
class TfrmMainForm;
class TfrmSettings;

// The program's windows, made in their fixed order: the main window, the
// add-alert dialog, the settings dialog (which loads the settings and sets
// the fetch interval); then the main window starts up.
class Program {
public:
    // Services left empty are filled with the real ones.
    explicit Program(Services services = {});
    ~Program();

    TfrmMainForm* mainForm() const { return m_mainForm.get(); }
    TfrmAddAlert* addAlertForm() const { return m_addAlert; }
    TfrmSettings* settingsForm() const { return m_settings; }

    // StartUp, then the main window is shown.
    void start();

    // The whole start of the installed program: application title, style,
    // system signals and session end, the windows. Returns the exit code.
    static int run(int argc, char** argv);

private:
    std::unique_ptr<platform::ui::Tray> m_ownTray;
    std::unique_ptr<platform::ui::MessageBoxes> m_ownMessages;
    std::unique_ptr<TfrmMainForm> m_mainForm;
    TfrmAddAlert* m_addAlert = nullptr;
    TfrmSettings* m_settings = nullptr;
};

} // namespace quobex
