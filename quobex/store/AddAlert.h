#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace platform::ui {
class MessageBoxes;
}

namespace quobex {

class TfrmMainForm;

// The add-alert dialog. It is made once and reused, and its fields keep
// what they held when it was last closed.
class TfrmAddAlert : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAddAlert(TfrmMainForm* mainForm);

    static const QStringList& itemTypes();
    static const QStringList& countries();

    QLineEdit* txtNewAlert;
    QComboBox* cmbItemType;
    QComboBox* cmbCountry;
    QPushButton* btnAddAlert;
    QPushButton* btnCancel;

public Q_SLOTS:
    void btnAddAlertClick();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TfrmMainForm* m_mainForm;
};

} // namespace quobex
