#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace platform::ui {
class MessageBoxes;
}

namespace quobex {

struct AlertDefinitions;

// The add-alert dialog. It is made once and reused, and its fields keep
// what they held when it was last closed.
class TfrmAddAlert : public QDialog {
    Q_OBJECT
public:
    // What the dialog works on: the main window's definition lists and how
    // they are saved, the data folder and the message boxes.
    struct Host {
        AlertDefinitions* definitions = nullptr;
        std::function<void()> saveDefinitions;
        std::function<QString()> dataFolder; // with its trailing separator
        platform::ui::MessageBoxes* messages = nullptr;
        std::function<void(int exitCode)> requestEnd; // the program should end
    };

    TfrmAddAlert(Host host, QWidget* parent);

    static const QStringList& itemTypes();
    static const QStringList& countries();

    QLineEdit* txtNewAlert;
    QComboBox* cmbItemType;
    QComboBox* cmbCountry;
    QPushButton* btnAddAlert;
    QPushButton* btnCancel;

    // Shows the dialog modally once the data folder exists. When the folder
    // cannot be made the dialog is not shown, the user is told, the program
    // is asked to end, and the result is Rejected.
    int exec() override;

public Q_SLOTS:
    void btnAddAlertClick();
    void btnCancelClick();

private:
    Host m_host;
};

} // namespace quobex
