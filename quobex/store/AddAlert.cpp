#include "quobex/store/AddAlert.h"

#include "platform/CodePage.h"
#include "platform/SpecialFolders.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Named.h"
#include "quobex/store/AlertDefinitions.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace quobex {

using platform::ui::named;

const QStringList& TfrmAddAlert::itemTypes()
{
    static const QStringList types = {
        QStringLiteral("Apparel"),
        QStringLiteral("Baby"),
        QStringLiteral("Blended"),
        QStringLiteral("Books"),
        QStringLiteral("Classical"),
        QStringLiteral("DVD"),
        QStringLiteral("DigitalMusic"),
        QStringLiteral("Electronics"),
        QStringLiteral("GourmetFood"),
        QStringLiteral("HealthPersonalCare"),
        QStringLiteral("Jewelry"),
        QStringLiteral("Kitchen"),
        QStringLiteral("Magazines"),
        QStringLiteral("Miscellaneous"),
        QStringLiteral("Music"),
        QStringLiteral("MusicTracks"),
        QStringLiteral("MusicalInstruments"),
        QStringLiteral("OfficeProducts"),
        QStringLiteral("OutdoorLiving"),
        QStringLiteral("PCHardware"),
        QStringLiteral("PetSupplies"),
        QStringLiteral("Photo"),
        QStringLiteral("Restaurants"),
        QStringLiteral("Software"),
        QStringLiteral("SportingGoods"),
        QStringLiteral("Tools"),
        QStringLiteral("Toys"),
        QStringLiteral("VHS"),
        QStringLiteral("Video"),
        QStringLiteral("VideoGames"),
        QStringLiteral("Wireless"),
        QStringLiteral("WirelessAccessories"),
    };
    return types;
}

const QStringList& TfrmAddAlert::countries()
{
    static const QStringList names = {
        QStringLiteral("U.S.A."),  QStringLiteral("Canada"), QStringLiteral("U.K."),
        QStringLiteral("Germany"), QStringLiteral("France"),
    };
    return names;
}

TfrmAddAlert::TfrmAddAlert(Host host, QWidget* parent) : QDialog(parent), m_host(std::move(host))
{
    setObjectName(QStringLiteral("frmAddAlert"));
    setWindowTitle(QStringLiteral("Add Alert"));

    QFont verdana(QStringLiteral("Verdana"));
    verdana.setBold(true);
    auto label = [&](const char* text) {
        auto* l = new QLabel(QLatin1String(text));
        l->setFont(verdana);
        return l;
    };

    txtNewAlert = named(new QLineEdit, "txtNewAlert");
    cmbItemType = named(new QComboBox, "cmbItemType");
    cmbItemType->setEditable(false);
    cmbItemType->setFont(verdana);
    cmbItemType->addItems(itemTypes());
    cmbItemType->setCurrentText(QStringLiteral("Blended"));
    cmbCountry = named(new QComboBox, "cmbCountry");
    cmbCountry->setEditable(false);
    cmbCountry->setFont(verdana);
    cmbCountry->addItems(countries());
    cmbCountry->setCurrentText(QStringLiteral("U.S.A."));
    btnAddAlert = named(new QPushButton(QStringLiteral("Add")), "btnAddAlert");
    btnAddAlert->setDefault(true);
    btnCancel = named(new QPushButton(QStringLiteral("Cancel")), "btnCancel");

    auto* form = new QFormLayout;
    form->addRow(label("Keyword(s):"), txtNewAlert);
    form->addRow(label("Item Type:"), cmbItemType);
    form->addRow(label("Localization:"), cmbCountry);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnAddAlert);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    txtNewAlert->setMinimumWidth(260);

    connect(btnAddAlert, &QPushButton::clicked, this, &TfrmAddAlert::btnAddAlertClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmAddAlert::btnCancelClick);
}

int TfrmAddAlert::exec()
{
    const QString folder = m_host.dataFolder();
    if (!platform::EnsureFolder(folder)) {
        m_host.messages->inform(parentWidget(),
                                QStringLiteral("Error creating config folder: ") + platform::NativePath(folder));
        if (m_host.requestEnd)
            m_host.requestEnd(1);
        setResult(QDialog::Rejected);
        return QDialog::Rejected;
    }
    return QDialog::exec();
}

void TfrmAddAlert::btnAddAlertClick()
{
    AlertDefinitions& defs = *m_host.definitions;
    defs.KeywordList.append(platform::CodePage::fromUnicode(txtNewAlert->text()));
    defs.ItemTypeList.append(platform::CodePage::fromUnicode(cmbItemType->currentText()));
    defs.LocalizationList.append(platform::CodePage::fromUnicode(cmbCountry->currentText()));
    try {
        m_host.saveDefinitions();
    } catch (const std::exception& e) {
        // The new entries stay in the lists; the dialog stays open.
        m_host.messages->error(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    accept();
}

void TfrmAddAlert::btnCancelClick()
{
    reject();
}

} // namespace quobex
