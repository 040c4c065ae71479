#include "quobex/settings/Settings.h"

#include "platform/ui/MessageBoxes.h"
#include "platform/ui/Named.h"
#include "quobex/settings/NumberEdit.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <stdexcept>

namespace quobex {

namespace {

const QString kPlaySound = QStringLiteral("PlaySound");
const QString kShowBaloon = QStringLiteral("ShowBaloon");
const QString kShowBrowser = QStringLiteral("ShowBrowser");
const QString kRefreshInterval = QStringLiteral("RefreshInterval");
const QString kKeepArticles = QStringLiteral("KeepArticles");

using platform::ui::named;

} // namespace

TfrmSettings::TfrmSettings(QTimer* fetchTimer, SettingsFile file, platform::ui::MessageBoxes* messages, QWidget* parent)
    : QDialog(parent), m_fetchTimer(fetchTimer), m_file(std::move(file)), m_messages(messages)
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Notification Settings"));

    cbPlaySound = named(new QCheckBox(QStringLiteral("Play sound when new alerts are available")), "cbPlaySound");
    cbShowBaloon = named(new QCheckBox(QStringLiteral("Show baloon when new alerts are available")), "cbShowBaloon");
    cbShowBrowser =
        named(new QCheckBox(QStringLiteral("Show alerts window when new alerts are available")), "cbShowBrowser");
    seRefreshInterval = named(new NumberEdit(1, 60), "seRefreshInterval");
    seKeepArticles = named(new NumberEdit(5, 50), "seKeepArticles");
    btnOk = named(new QPushButton(QStringLiteral("OK")), "btnOk");
    btnCancel = named(new QPushButton(QStringLiteral("Cancel")), "btnCancel");

    // The designed defaults, shown until the stored settings replace them.
    for (QCheckBox* box : {cbPlaySound, cbShowBaloon, cbShowBrowser})
        box->setChecked(true);
    seRefreshInterval->setValue(24);
    seKeepArticles->setValue(20);

    auto* actions = named(new QGroupBox(QStringLiteral("Actions")), "gbActions");
    auto* actionsLayout = new QVBoxLayout(actions);
    actionsLayout->addWidget(cbPlaySound);
    actionsLayout->addWidget(cbShowBaloon);
    actionsLayout->addWidget(cbShowBrowser);

    auto* refresh = named(new QGroupBox(QStringLiteral("Refresh")), "gbRefresh");
    auto* refreshLayout = new QGridLayout(refresh);
    refreshLayout->addWidget(new QLabel(QStringLiteral("Check for new alerts every")), 0, 0);
    refreshLayout->addWidget(seRefreshInterval, 0, 1);
    refreshLayout->addWidget(new QLabel(QStringLiteral("hours.")), 0, 2);
    refreshLayout->addWidget(new QLabel(QStringLiteral("Keep latest")), 1, 0);
    refreshLayout->addWidget(seKeepArticles, 1, 1);
    refreshLayout->addWidget(new QLabel(QStringLiteral("alerts.")), 1, 2);
    refreshLayout->setColumnStretch(3, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(actions);
    layout->addWidget(refresh);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &TfrmSettings::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSettings::btnCancelClick);

    LoadSettings();
}

bool TfrmSettings::playSound() const
{
    return cbPlaySound->isChecked();
}

bool TfrmSettings::showBaloon() const
{
    return cbShowBaloon->isChecked();
}

bool TfrmSettings::showBrowser() const
{
    return cbShowBrowser->isChecked();
}

int TfrmSettings::refreshInterval() const
{
    return seRefreshInterval->boundedValue();
}

int TfrmSettings::keepArticles() const
{
    return seKeepArticles->boundedValue();
}

void TfrmSettings::LoadSettings()
{
    cbPlaySound->setChecked(m_file.readBool(kPlaySound, true));
    cbShowBaloon->setChecked(m_file.readBool(kShowBaloon, true));
    cbShowBrowser->setChecked(m_file.readBool(kShowBrowser, true));
    seRefreshInterval->setValue(std::clamp(m_file.readInt(kRefreshInterval, 24), 1, 60));
    seKeepArticles->setValue(std::clamp(m_file.readInt(kKeepArticles, 20), 5, 50));

    // QTimer::setInterval restarts a running countdown even for the same
    // value; only a real change may do that.
    const int interval = seRefreshInterval->value() * kMsPerHour;
    if (m_fetchTimer && m_fetchTimer->interval() != interval)
        m_fetchTimer->setInterval(interval);
}

void TfrmSettings::SaveSettings()
{
    m_file.writeBool(kPlaySound, playSound());
    m_file.writeBool(kShowBaloon, showBaloon());
    m_file.writeBool(kShowBrowser, showBrowser());
    m_file.writeInt(kRefreshInterval, seRefreshInterval->value());
    m_file.writeInt(kKeepArticles, seKeepArticles->value());
}

void TfrmSettings::btnOkClick()
{
    // A typed value is in range before it is stored, however OK was reached.
    seRefreshInterval->normalize();
    seKeepArticles->normalize();
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        if (m_messages)
            m_messages->error(this, QString::fromLocal8Bit(e.what()));
        return;
    }
    LoadSettings();
    accept();
}

void TfrmSettings::btnCancelClick()
{
    LoadSettings();
    reject();
}

} // namespace quobex
