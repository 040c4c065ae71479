#pragma once

#include "quobex/settings/SettingsFile.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QTimer;

namespace platform::ui {
class MessageBoxes;
}

namespace quobex {

class NumberEdit;

// The notification settings. Its fields are the settings in effect: others
// read them at the moment they need them, also while the dialog is open.
class TfrmSettings : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMsPerHour = 3600000;

    // Loads the settings at once and gives `fetchTimer` its interval.
    TfrmSettings(QTimer* fetchTimer, SettingsFile file, platform::ui::MessageBoxes* messages,
                 QWidget* parent = nullptr);

    bool playSound() const;
    bool showBaloon() const;
    bool showBrowser() const;
    // Hours between fetches and the number of latest alerts to keep, in range.
    int refreshInterval() const;
    int keepArticles() const;

    void LoadSettings();
    void SaveSettings();

    QCheckBox* cbPlaySound;
    QCheckBox* cbShowBaloon;
    QCheckBox* cbShowBrowser;
    NumberEdit* seRefreshInterval;
    NumberEdit* seKeepArticles;
    QPushButton* btnOk;
    QPushButton* btnCancel;

public Q_SLOTS:
    void btnOkClick();
    void btnCancelClick();

private:
    QTimer* m_fetchTimer;
    SettingsFile m_file;
    platform::ui::MessageBoxes* m_messages;
};

} // namespace quobex
