// The notification settings dialog: its fields are the settings in effect.

#include "quobex/settings/NumberEdit.h"
#include "quobex/settings/Settings.h"
#include "tests/support/Fixtures.h"
#include "tests/support/RecordingMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using quobex::NumberEdit;
using quobex::SettingsFile;
using quobex::TfrmSettings;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

constexpr int kHour = 3600000;

QByteArray settingsXml(const QByteArray& body)
{
    return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Configuration>\n" + body + "</Configuration>\n";
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void noFileGivesDefaults();
    void storedValuesAreRead_data();
    void storedValuesAreRead();
    void firstOkWritesTheFile();
    void typedValueIsBroughtIntoRange();
    void emptiedFieldStoresLowerBound();
    void onlyDigitsAndArrowsWithinRange();
    void fetchTimerRestartsOnlyOnARealChange();
    void cancelBringsBackStoredValues();
    void closingKeepsEditedValuesInEffect();
    void unwritableFileKeepsDialogOpen();
    void fieldsShowTheirWholeValue_data();
    void fieldsShowTheirWholeValue();

private:
    std::unique_ptr<TfrmSettings> makeDialog();

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    QTimer m_timer;
    testsupport::RecordingMessages m_messages;
};

void TestSettingsDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("QuobexSettings.xml"));
    m_timer.stop();
    m_timer.setInterval(0);
    m_messages = {};
}

void TestSettingsDialog::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<TfrmSettings> TestSettingsDialog::makeDialog()
{
    return std::make_unique<TfrmSettings>(&m_timer, SettingsFile(m_path), &m_messages);
}

void TestSettingsDialog::noFileGivesDefaults()
{
    auto dialog = makeDialog();
    QVERIFY(dialog->playSound());
    QVERIFY(dialog->showBaloon());
    QVERIFY(dialog->showBrowser());
    QCOMPARE(dialog->refreshInterval(), 24);
    QCOMPARE(dialog->keepArticles(), 20);
    QCOMPARE(m_timer.interval(), 86400000);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Notification Settings"));
    QCOMPARE(dialog->cbShowBaloon->text(), QStringLiteral("Show baloon when new alerts are available"));
}

void TestSettingsDialog::storedValuesAreRead_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("playSound");
    QTest::addColumn<int>("refresh");
    QTest::addColumn<int>("keep");
    QTest::newRow("out of range") << QByteArray("<RefreshInterval>0</RefreshInterval><KeepArticles>100</KeepArticles>")
                                  << true << 1 << 50;
    QTest::newRow("no") << QByteArray("<PlaySound>no</PlaySound>") << false << 24 << 20;
    QTest::newRow("1") << QByteArray("<PlaySound>1</PlaySound>") << true << 24 << 20;
    QTest::newRow("another word") << QByteArray("<PlaySound>sometimes</PlaySound>") << false << 24 << 20;
    QTest::newRow("not a number") << QByteArray("<KeepArticles>many</KeepArticles><RefreshInterval>x</RefreshInterval>")
                                  << true << 1 << 5;
    QTest::newRow("in range") << QByteArray("<RefreshInterval>60</RefreshInterval><KeepArticles>5</KeepArticles>")
                              << true << 60 << 5;
}

void TestSettingsDialog::storedValuesAreRead()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, playSound);
    QFETCH(int, refresh);
    QFETCH(int, keep);
    writeFile(m_path, settingsXml(body));
    auto dialog = makeDialog();
    QCOMPARE(dialog->cbPlaySound->isChecked(), playSound);
    QCOMPARE(dialog->seRefreshInterval->text(), QString::number(refresh));
    QCOMPARE(dialog->seKeepArticles->text(), QString::number(keep));
    QCOMPARE(m_timer.interval(), refresh * kHour);
}

void TestSettingsDialog::firstOkWritesTheFile()
{
    auto dialog = makeDialog();
    dialog->show();
    dialog->cbShowBrowser->setChecked(false);
    QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(readFile(m_path), settingsXml("  <PlaySound>TRUE</PlaySound>\n"
                                           "  <ShowBaloon>TRUE</ShowBaloon>\n"
                                           "  <ShowBrowser>FALSE</ShowBrowser>\n"
                                           "  <RefreshInterval>24</RefreshInterval>\n"
                                           "  <KeepArticles>20</KeepArticles>\n"));
}

void TestSettingsDialog::typedValueIsBroughtIntoRange()
{
    auto dialog = makeDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    NumberEdit* keep = dialog->seKeepArticles;
    keep->setFocus();
    keep->selectAll();
    QTest::keyClicks(keep, QStringLiteral("99"));
    QCOMPARE(keep->text(), QStringLiteral("99"));
    QCOMPARE(dialog->keepArticles(), 50); // others never see a value out of range
    dialog->seRefreshInterval->setFocus();
    QTRY_COMPARE(keep->text(), QStringLiteral("50"));
    QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
    QVERIFY(readFile(m_path).contains("<KeepArticles>50</KeepArticles>"));
}

void TestSettingsDialog::emptiedFieldStoresLowerBound()
{
    auto dialog = makeDialog();
    dialog->show();
    dialog->seKeepArticles->clear();
    dialog->seRefreshInterval->clear();
    QCOMPARE(dialog->seKeepArticles->value(), 5);
    // OK reached by the keyboard: no focus change has clamped the fields.
    dialog->btnOkClick();
    const QByteArray stored = readFile(m_path);
    QVERIFY(stored.contains("<KeepArticles>5</KeepArticles>"));
    QVERIFY(stored.contains("<RefreshInterval>1</RefreshInterval>"));
    QCOMPARE(dialog->seKeepArticles->text(), QStringLiteral("5"));
    QCOMPARE(m_timer.interval(), kHour);
}

void TestSettingsDialog::onlyDigitsAndArrowsWithinRange()
{
    auto dialog = makeDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    NumberEdit* refresh = dialog->seRefreshInterval;
    refresh->setFocus();
    refresh->selectAll();
    QTest::keyClicks(refresh, QStringLiteral("1a-2.b"));
    QCOMPARE(refresh->text(), QStringLiteral("12"));
    QTest::keyClick(refresh, Qt::Key_Up);
    QCOMPARE(refresh->text(), QStringLiteral("13"));
    refresh->setValue(60);
    QTest::keyClick(refresh, Qt::Key_Up);
    QCOMPARE(refresh->text(), QStringLiteral("60"));
    refresh->setValue(1);
    QTest::keyClick(refresh, Qt::Key_Down);
    QCOMPARE(refresh->text(), QStringLiteral("1"));
}

void TestSettingsDialog::fetchTimerRestartsOnlyOnARealChange()
{
    auto dialog = makeDialog();
    m_timer.setTimerType(Qt::PreciseTimer); // long timers are otherwise kept to whole seconds
    m_timer.start();
    QTest::qWait(60);
    QVERIFY(m_timer.remainingTime() <= 24 * kHour - 50);
    dialog->btnOkClick(); // nothing changed: the countdown runs on
    QVERIFY(m_timer.remainingTime() <= 24 * kHour - 50);

    dialog->seRefreshInterval->setValue(12);
    dialog->btnOkClick();
    QCOMPARE(m_timer.interval(), 12 * kHour);
    QVERIFY(m_timer.isActive());
    QVERIFY(m_timer.remainingTime() > 12 * kHour - 50);
}

void TestSettingsDialog::cancelBringsBackStoredValues()
{
    writeFile(m_path, settingsXml("<KeepArticles>30</KeepArticles><ShowBaloon>FALSE</ShowBaloon>"));
    auto dialog = makeDialog();
    dialog->show();
    dialog->seKeepArticles->setValue(45);
    dialog->cbShowBaloon->setChecked(true);
    QCOMPARE(dialog->keepArticles(), 45); // in effect while the dialog is open
    QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(dialog->keepArticles(), 30);
    QVERIFY(!dialog->showBaloon());
    QVERIFY(!readFile(m_path).contains("45"));
}

void TestSettingsDialog::closingKeepsEditedValuesInEffect()
{
    auto dialog = makeDialog();
    dialog->show();
    dialog->seKeepArticles->setValue(33);
    dialog->close();
    QCOMPARE(dialog->keepArticles(), 33);
    QVERIFY(!QFileInfo::exists(m_path));
}

void TestSettingsDialog::unwritableFileKeepsDialogOpen()
{
    writeFile(m_dir->filePath(QStringLiteral("blocker")), "x");
    m_path = m_dir->filePath(QStringLiteral("blocker/QuobexSettings.xml"));
    auto dialog = makeDialog();
    dialog->show();
    dialog->btnOkClick();
    QVERIFY(dialog->isVisible());
    QCOMPARE(m_messages.errors.size(), 1);
}

void TestSettingsDialog::fieldsShowTheirWholeValue_data()
{
    QTest::addColumn<int>("pixelSize");
    for (const int size : {11, 13, 16, 20, 26})
        QTest::addRow("%d px", size) << size;
}

// At the font sizes a desktop may use, and in the program's skin, each
// number field is wide enough for every value of its range: "24" hours
// once showed as "4", 20 kept alerts as "0".
void TestSettingsDialog::fieldsShowTheirWholeValue()
{
    QFETCH(int, pixelSize);
    QFile style(QStringLiteral(":/quobex/quobex.qss"));
    QVERIFY(style.open(QIODevice::ReadOnly));
    const QString oldSheet = qApp->styleSheet();
    const QFont oldFont = QApplication::font();
    QFont font = oldFont;
    font.setPixelSize(pixelSize);
    QApplication::setFont(font);
    qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
    const auto restore = qScopeGuard([&] {
        qApp->setStyleSheet(oldSheet);
        QApplication::setFont(oldFont);
    });

    auto dialog = makeDialog();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    for (NumberEdit* field : {dialog->seRefreshInterval, dialog->seKeepArticles}) {
        for (const int value : {field->minimum(), field->maximum(), 24, 20}) {
            if (value < field->minimum() || value > field->maximum())
                continue;
            field->setValue(value);
            QCoreApplication::processEvents();
            QLineEdit* edit = field->findChild<QLineEdit*>();
            const QString text = edit->text();
            const QMargins margins = edit->textMargins();
            // QLineEdit's own 2 px each side and the cursor.
            const int room = edit->contentsRect().width() - margins.left() - margins.right() - 2 * 2 - 1;
            QVERIFY2(edit->fontMetrics().horizontalAdvance(text) <= room,
                     qPrintable(QStringLiteral("%1 shows \"%2\" in %3 px, needs %4")
                                    .arg(field->objectName(), text)
                                    .arg(room)
                                    .arg(edit->fontMetrics().horizontalAdvance(text))));
        }
    }
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settings_dialog.moc"
