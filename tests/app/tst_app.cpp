// The main window on a TestMeter: start-up and shutdown order, the status bar, the enabling of
// the commands, and the road of a reading and of a scan.
#include <QAbstractButton>
#include <QAccessible>
#include <QFile>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include "calibration/dlgMeterProperties.h"
#include "calibration/dlgSettings.h"
#include "comments/dlgAdditionalComments.h"
#include "comments/dlgHeaderText.h"
#include "datafile/dlgOldDataToNew.h"
#include "dialogs/dlgAboutGlimora.h"
#include "dialogs/dlgError.h"
#include "dialogs/dlgYesNo.h"
#include "readings/ReadingsModel.h"
#include "readings/ReadingsView.h"
#include "settings/dlgAppProperties.h"
#include "settings/dlgPassword.h"
#include "settings/dlgPasswordSetup.h"
#include "tests/app/AppFixture.h"

namespace {
// Every dialog of the program, fresh.
const char* const kDialogs[] = {"dlgOldDataToNew", "dlgHeaderText", "dlgAdditionalComments", "dlgAppProperties", "dlgPassword",
                                "dlgPasswordSetup", "dlgMeterProperties", "dlgSettings", "dlgYesNo", "dlgError", "dlgAboutGlimora"};
std::unique_ptr<QDialog> MakeDialog(const QString& name, Preferences& prefs)
{
    if (name == QLatin1String("dlgOldDataToNew")) return std::make_unique<dlgOldDataToNew>();
    if (name == QLatin1String("dlgHeaderText")) return std::make_unique<dlgHeaderText>();
    if (name == QLatin1String("dlgAdditionalComments")) return std::make_unique<dlgAdditionalComments>();
    if (name == QLatin1String("dlgAppProperties")) return std::make_unique<dlgAppProperties>();
    if (name == QLatin1String("dlgPassword")) return std::make_unique<dlgPassword>();
    if (name == QLatin1String("dlgPasswordSetup")) return std::make_unique<dlgPasswordSetup>(prefs);
    if (name == QLatin1String("dlgMeterProperties")) {
        auto d = std::make_unique<dlgMeterProperties>();
        d->mAuthority = 2;  // "Defaults" is offered
        return d;
    }
    if (name == QLatin1String("dlgSettings")) return std::make_unique<dlgSettings>();
    if (name == QLatin1String("dlgYesNo")) return std::make_unique<dlgYesNo>();
    if (name == QLatin1String("dlgError")) return std::make_unique<dlgError>();
    return std::make_unique<dlgAboutGlimora>();
}

// Shows the dialog, puts the focus on `target` and presses Enter there; the button that was
// pressed, or none. Dialogs the press opens in turn are closed.
QPushButton* PressEnterOn(QDialog* dialog, QWidget* target)
{
    dialog->show();
    dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog)) return nullptr;
    target->setFocus(Qt::TabFocusReason);
    if (QApplication::focusWidget() != target) return nullptr;
    QPushButton* pressed = nullptr;
    QList<QMetaObject::Connection> links;
    for (QPushButton* b : dialog->findChildren<QPushButton*>())
        links << QObject::connect(b, &QAbstractButton::pressed, dialog, [&pressed, b] { pressed = b; });
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [dialog] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* other = qobject_cast<QDialog*>(modal); other && other != dialog) other->reject();
    });
    closer.start(10);
    QTest::keyClick(target, Qt::Key_Return);
    for (const auto& link : links) QObject::disconnect(link);
    return pressed;
}
}  // namespace

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void startsAndStopsInOrder();
    void passwordWarningOnlyWithoutPassword();
    void noMeterLeavesOnlyExit();
    void busyAndOffDisableTheMeterCommands();
    void readButtonFollowsFileAndNoFile();
    void readingTravelsTheWholeRoad();
    void invalidRefusedAndDroppedReadings();
    void oddEventSequencesStayConsistent();
    void deleteAndClearFromCommands();
    void scanIsSavedThroughTheChooser();
    void meterSideChangesComeBackAtNextStart();
    void everyControlHasAnAccessibleName();
    void enterPressesTheFocusedButtonElseTheDefault_data();
    void enterPressesTheFocusedButtonElseTheDefault();
    void yesNoWithoutCancelKeepsCancelAsDefault();
    void menuShortcutsWinInTheCommentBox();
    void damagedSettingsFileIsReportedAndKept();
};

void TestApp::startsAndStopsInOrder()
{
    AppFixture f;
    f.meter->connectStates = QQueue<int>({1, 1, 1});
    f.meter->calIndex = 2;
    f.Start();
    QCOMPARE(f.app->windowTitle(), QStringLiteral("DOI/Haze Meter"));
    QStringList writes = f.meter->Writes();
    const int connect = writes.indexOf(QStringLiteral("Connected=true"));
    QVERIFY(connect >= 0);
    QCOMPARE(writes.mid(connect, 9), (QStringList{QStringLiteral("Connected=true"), QStringLiteral("ConnectState"), QStringLiteral("ConnectState"),
                                                  QStringLiteral("ConnectState"), QStringLiteral("ConnectState"), QStringLiteral("CalIndex=0"),
                                                  QStringLiteral("KeepAlive=true"), QStringLiteral("EnableButton=true"), QStringLiteral("ConstDC=false")}));
    QCOMPARE(f.app->PanelText(1), QStringLiteral("S/N: HZ001234"));
    QCOMPARE(f.app->PanelText(2), QStringLiteral("Version: 3.1"));
    QCOMPARE(f.app->PanelText(3), QStringLiteral("Battery: Ok"));
    QCOMPARE(f.app->PanelText(4), QStringLiteral("Waiting for commands"));
    QCOMPARE(f.app->SumCount->text(), QStringLiteral("---"));
    QVERIFY(f.Button(QStringLiteral("Read"))->isEnabled());

    f.meter->log.clear();
    f.meter->calIndex = 3;
    f.meter->keepAlive = false;
    f.app->close();
    writes = f.meter->Writes();
    QCOMPARE(writes.last(), QStringLiteral("Connected=false"));
    const QStringList log = f.meter->log;
    QVERIFY(log.indexOf(QStringLiteral("CalIndex?")) < log.indexOf(QStringLiteral("KeepAlive?")));
    const QString ini = f.Ini();
    QVERIFY2(ini.contains(QStringLiteral("[Preferences]")), qPrintable(ini));
    for (const char* kv : {"CalIndex=3", "KeepAlive=False", "NoFile=True", "SoundOn=True", "Digits=2", "EnableButton=True",
                           "CalConst=False", "PixelAvg=True", "Password="})
        QVERIFY2(ini.contains(QLatin1String(kv)), kv);
    QVERIFY(ini.contains(QStringLiteral("[HeaderFont]")));
    QVERIFY(ini.contains(QStringLiteral("[Tabs]")));
    QCOMPARE(QFile(f.store->FilePath()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
}

void TestApp::passwordWarningOnlyWithoutPassword()
{
    {
        AppFixture f;
        f.Start(true);
        QCOMPARE(testing::AnsweredTitles(), QStringList{QStringLiteral("Password Protection Warning")});
        QVERIFY(!f.app->Prefs.PasswordProtection);
    }
    {
        AppFixture f;
        f.Store(QStringLiteral("Preferences"), QStringLiteral("Password"), ScramblePassword(QStringLiteral("abc1")));
        f.Start(false);
        QVERIFY(f.app->Prefs.PasswordProtection);
        QCOMPARE(f.app->Prefs.Password, QStringLiteral("abc1"));
        QCOMPARE(testing::AnsweredTitles(), QStringList());
    }
}

void TestApp::noMeterLeavesOnlyExit()
{
    AppFixture f;
    f.meter->linkOnConnect = false;
    f.meter->serialNumber = QString();
    f.Start();
    QCOMPARE(f.app->PanelText(4), QStringLiteral("No haze meter found"));
    QCOMPARE(f.app->PanelText(3), QStringLiteral("Battery: ---"));
    QCOMPARE(f.app->PanelText(1), QStringLiteral("S/N: "));
    for (auto it = f.app->ToolbarButtons.cbegin(); it != f.app->ToolbarButtons.cend(); ++it)
        QCOMPARE(it.value()->isEnabled(), it.key() == QLatin1String("Exit"));
    QVERIFY(f.app->mnuFilePropProperties->isEnabled());
    QVERIFY(f.app->mnuFilePassword->isEnabled());
    QVERIFY(f.app->mnuFileExit->isEnabled());
    QVERIFY(f.app->mnuHelpAbout->isEnabled());
    QVERIFY(!f.app->mnuFileClose->isEnabled());
    QVERIFY(!f.app->mnuDataTakeReading->isEnabled());
    QVERIFY(!f.app->mnuMeterCancel->isEnabled());

    // Rows in the list do not enable Print, Clear or Delete without a meter.
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(12);
    QCOMPARE(f.app->Readings()->RowCount(), 1);
    QVERIFY(!f.app->mnuFilePrint->isEnabled());
    QVERIFY(!f.app->mnuDataClearReadings->isEnabled());
    QVERIFY(!f.app->mnuDataDelete->isEnabled());
}

void TestApp::busyAndOffDisableTheMeterCommands()
{
    AppFixture f;
    f.Start();
    f.meter->Emit(9);
    QVERIFY(f.app->MeterBusy());
    QCOMPARE(f.app->PanelText(4), QStringLiteral("Busy gathering data"));
    QVERIFY(f.app->mnuMeterCancel->isEnabled());
    QVERIFY(f.Button(QStringLiteral("Cancel"))->isEnabled());
    for (QAction* a : {f.app->mnuDataTakeReading, f.app->mnuDataScanData, f.app->mnuFileNew, f.app->mnuFileOpen, f.app->mnuCalibrationCalibrate})
        QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
    f.meter->Emit(10);
    QCOMPARE(f.app->PanelText(4), QStringLiteral("Waiting for commands"));
    QVERIFY(f.app->mnuDataTakeReading->isEnabled());

    f.meter->meterState = 2;
    f.meter->Emit(1);
    QCOMPARE(f.app->PanelText(4), QStringLiteral("Haze meter is off"));
    QCOMPARE(f.app->PanelText(3), QStringLiteral("Battery: ---"));
    QVERIFY(!f.app->mnuDataTakeReading->isEnabled());
    QVERIFY(!f.Button(QStringLiteral("Off"))->isEnabled());
    QVERIFY(f.Button(QStringLiteral("Cancel"))->isEnabled());

    // A warning refreshes and beeps; the codes of the quiet list do nothing.
    f.meter->meterState = 1;
    f.meter->Emit(10);
    f.meter->log.clear();
    f.meter->Emit(8);
    f.meter->Emit(19);
    QVERIFY(f.meter->log.isEmpty());
    f.meter->batteryState = 1;
    f.meter->Emit(6);
    QCOMPARE(f.app->PanelText(3), QStringLiteral("Battery: Low"));
    QCOMPARE(f.sounds.sounds, QList<int>{48});

    // Toolbar keys dispatch to the commands; an unknown key does nothing.
    f.meter->log.clear();
    f.app->ToolbarClick(QStringLiteral("Off"));
    f.app->ToolbarClick(QStringLiteral("Cancel"));
    f.app->ToolbarClick(QStringLiteral("cancel"));
    f.app->ToolbarClick(QStringLiteral("Bogus"));
    QCOMPARE(f.meter->Writes(), (QStringList{QStringLiteral("TurnOff"), QStringLiteral("Cancel")}));
}

void TestApp::readButtonFollowsFileAndNoFile()
{
    AppFixture f;
    f.Store(QStringLiteral("Preferences"), QStringLiteral("NoFile"), QStringLiteral("False"));
    f.Start();
    QVERIFY(!f.app->Prefs.NoFile);
    QVERIFY(!f.Button(QStringLiteral("Read"))->isEnabled());
    QVERIFY(f.app->mnuDataTakeReading->isEnabled());
    f.meter->log.clear();
    f.app->mnuDataTakeReading->trigger();
    QVERIFY(!f.meter->log.contains(QStringLiteral("TakeReading")));
    QVERIFY(f.sounds.sounds.isEmpty());

    // A reading from the meter's own button is dropped unfetched, with a warning.
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(12);
    QVERIFY(!f.meter->log.join(QLatin1Char(' ')).contains(QStringLiteral("GetReading")));
    QCOMPARE(f.app->Readings()->RowCount(), 0);
    QCOMPARE(f.sounds.sounds, QList<int>{48});
}

void TestApp::readingTravelsTheWholeRoad()
{
    AppFixture f;
    f.Start();
    f.meter->calIndex = 1;  // changed on the meter side after start-up
    f.app->mnuDataTakeReading->trigger();
    QVERIFY(f.meter->log.contains(QStringLiteral("TakeReading")));
    // The comment of the moment the reading arrives counts.
    f.app->UserCommentBox->setText(QStringLiteral("  panel 7  "));
    f.meter->SetNextReading(85.346, 92.114, 1.255, 3.4, QStringLiteral("Black Glass"));
    f.meter->log.clear();
    f.meter->Emit(9);
    f.meter->Emit(12);
    f.meter->Emit(10);
    QCOMPARE(f.meter->lastCalIndexAsked, int16_t(1));
    QCOMPARE(f.app->Readings()->RowCount(), 1);
    const Reading& row = f.app->Readings()->Row(0);
    QCOMPARE(row.Cells[0], QStringLiteral("07/04/2002 14:05:09"));
    QCOMPARE(row.Cells[1], QStringLiteral("85.35"));
    QCOMPARE(row.Cells[2], QStringLiteral("92.11"));
    QCOMPARE(row.Cells[3], QStringLiteral("1.26"));
    QCOMPARE(row.Cells[4], QStringLiteral("3.40"));
    QCOMPARE(row.Cells[5], QStringLiteral("Black Glass"));
    QCOMPARE(row.Cells[6], QStringLiteral("panel 7"));
    QCOMPARE(f.app->SumSpecular->text(), QStringLiteral("85.35"));
    QCOMPARE(f.app->SumCount->text(), QStringLiteral("1"));
    QCOMPARE(f.app->PanelText(5), QStringLiteral("512, 37"));
    QCOMPARE(f.sounds.sounds, QList<int>{0});
    QVERIFY(f.app->CurrentReading.PixelAvg);
    QVERIFY(f.app->mnuFilePrint->isEnabled());

    // A new Take Reading empties panel 5 first.
    f.app->mnuDataTakeReading->trigger();
    QCOMPARE(f.app->PanelText(5), QString());

    // Digits changed: new rows take the new format, older ones keep theirs.
    f.app->Prefs.Digits = 0;
    f.app->SetNumberFormat();
    f.meter->SetNextReading(12.5, 90, 1, 2, QStringLiteral("Black Glass"), QDateTime(QDate(2002, 7, 4), QTime(14, 6, 0)));
    f.meter->Emit(12);
    QCOMPARE(f.app->Readings()->Text(0, 1), QStringLiteral("13."));
    QCOMPARE(f.app->Readings()->Text(1, 1), QStringLiteral("85.35"));
}

void TestApp::invalidRefusedAndDroppedReadings()
{
    AppFixture f;
    f.Start();
    f.meter->SetNextReading(1, 2, 3, 4, QStringLiteral("Std"), QDateTime::currentDateTime(), false, QStringLiteral("Sample gloss too low"));
    f.meter->Emit(12);
    QCOMPARE(f.app->Readings()->RowCount(), 0);
    QCOMPARE(f.app->PanelText(5), QStringLiteral("Sample gloss too low"));
    QCOMPARE(f.sounds.sounds, QList<int>{48});

    f.app->Prefs.SoundOn = false;
    f.sounds.sounds.clear();
    f.meter->Emit(12);  // invalid, silent
    f.meter->SetNextReading(50, 60, 1, 2);
    f.meter->Emit(12);  // accepted, silent
    QCOMPARE(f.app->Readings()->RowCount(), 1);
    QVERIFY(f.sounds.sounds.isEmpty());
    f.meter->takeReadingResult = false;
    f.meter->scanResult = false;
    f.meter->normalizeResult = false;
    f.app->mnuDataTakeReading->trigger();
    f.app->mnuDataScanData->trigger();
    f.app->mnuDataNormalize->trigger();
    QCOMPARE(f.sounds.sounds, (QList<int>{48, 48, 48}));  // refusals beep whatever SoundOn says
}

void TestApp::oddEventSequencesStayConsistent()
{
    AppFixture f;
    f.Start();
    f.meter->SetNextReading(50, 60, 1, 2);
    f.meter->Emit(10);
    f.meter->Emit(10);
    f.meter->Emit(12);  // without a 9 before it
    QCOMPARE(f.app->Readings()->RowCount(), 1);
    QCOMPARE(f.app->PanelText(4), QStringLiteral("Waiting for commands"));
    // The meter vanishes; a late reading event still leaves list, averages and status consistent.
    f.meter->connected = false;
    f.meter->Emit(12);
    QCOMPARE(f.app->Readings()->RowCount(), 2);
    QCOMPARE(f.app->SumCount->text(), QStringLiteral("2"));
    QCOMPARE(f.app->PanelText(4), QStringLiteral("No haze meter found"));
    QVERIFY(!f.app->mnuDataClearReadings->isEnabled());
    // An event 12 with nothing behind it (the meter hands out an empty reading).
    f.meter->connected = true;
    f.meter->nextReading = MeterReading();
    f.meter->Emit(12);
    QCOMPARE(f.app->Readings()->RowCount(), 2);
    QCOMPARE(f.app->Averages.Count(), 2L);
}

void TestApp::deleteAndClearFromCommands()
{
    AppFixture f;
    f.Start();
    for (int i = 0; i < 4; ++i) {
        f.meter->SetNextReading(10 + i, 90, 1, 2, QStringLiteral("Std A"), QDateTime(QDate(2002, 7, 4), QTime(14, 0, i)));
        f.meter->Emit(12);
    }
    QCOMPARE(f.app->SumSpecular->text(), QStringLiteral("11.50"));
    f.app->ListView()->selectRow(0);  // newest first: 13
    f.app->mnuDataDelete->trigger();
    QCOMPARE(f.app->Readings()->RowCount(), 3);
    QCOMPARE(f.app->SumSpecular->text(), QStringLiteral("11.00"));
    QCOMPARE(f.app->SumCount->text(), QStringLiteral("3"));
    f.Button(QStringLiteral("Clear"))->trigger();
    QCOMPARE(f.app->Readings()->RowCount(), 0);
    QCOMPARE(f.app->SumSpecular->text(), QStringLiteral("---"));
    QVERIFY(!f.app->mnuDataDelete->isEnabled());
    QVERIFY(!f.Button(QStringLiteral("Print"))->isEnabled());
}

void TestApp::scanIsSavedThroughTheChooser()
{
    AppFixture f;
    f.Start();
    int asked = 0;
    QString answer = f.dir.filePath(QStringLiteral("profile.csv"));
    f.app->ChooseScanFileHook = [&](QWidget*) { ++asked; return answer; };

    f.meter->nextScan.Clear();
    f.meter->Emit(21);  // no data: no dialog
    QCOMPARE(asked, 0);

    f.meter->nextScan.HasData = true;
    for (int i = 0; i <= 300; ++i) f.meter->nextScan.SetPoint(i, 100.0 - qAbs(i - 150));
    f.meter->Emit(21);
    QCOMPARE(asked, 1);
    QFile file(answer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 303);  // 302 lines and the empty text after the last CR LF
    QCOMPARE(lines[301], QByteArray("300,-50 \r"));
    QCOMPARE(lines[151], QByteArray("150, 100 \r"));
    QCOMPARE(f.app->Readings()->RowCount(), 0);

    answer.clear();  // cancelled
    f.meter->Emit(21);
    QCOMPARE(asked, 2);
}

void TestApp::meterSideChangesComeBackAtNextStart()
{
    QTemporaryDir keep;
    const QString path = keep.filePath(QStringLiteral("Glimora.ini"));
    {
        AppFixture f;
        f.store = std::make_unique<support::SettingsStore>(path);
        support::SettingsStore::SetInstance(f.store.get());
        f.Start();
        f.meter->calIndex = 3;
        f.meter->keepAlive = false;
        f.app->close();
    }
    {
        AppFixture f;
        f.store = std::make_unique<support::SettingsStore>(path);
        support::SettingsStore::SetInstance(f.store.get());
        f.Start();
        QVERIFY(f.meter->Writes().contains(QStringLiteral("CalIndex=3")));
        QVERIFY(f.meter->Writes().contains(QStringLiteral("KeepAlive=false")));
    }
}

void TestApp::everyControlHasAnAccessibleName()
{
    AppFixture f;
    f.Start();
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(12);
    QStringList unnamed;
    for (QWidget* w : f.app->findChildren<QWidget*>()) {
        if (!w->isVisible()) continue;
        const bool interesting = qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QLabel*>(w);
        if (!interesting) continue;
        QAccessibleInterface* ai = QAccessible::queryAccessibleInterface(w);
        if (!ai || ai->text(QAccessible::Name).isEmpty()) {
            // A label that shows an empty status panel has nothing to say yet.
            if (qobject_cast<QLabel*>(w) && static_cast<QLabel*>(w)->text().isEmpty() && static_cast<QLabel*>(w)->pixmap().isNull()) continue;
            unnamed << w->objectName() + QLatin1Char('/') + QString::fromLatin1(w->metaObject()->className());
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    // Toolbar buttons and menu items speak their captions; list cells their texts.
    for (QAction* a : f.app->ToolbarButtons) QVERIFY(!a->text().isEmpty());
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.app->ListView());
    QVERIFY(list && list->tableInterface());
    QAccessibleInterface* cell = list->tableInterface()->cellAt(0, 1);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("80.00"));
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(f.app->findChild<QLabel*>(QStringLiteral("SBPanel4")));
    QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Waiting for commands"));
}

void TestApp::enterPressesTheFocusedButtonElseTheDefault_data()
{
    QTest::addColumn<QString>("dialog");
    for (const char* name : kDialogs) QTest::newRow(name) << QString::fromLatin1(name);
}

// In every dialog Enter presses the button that has the focus, and the dialog's default button
// only when the focus is on another kind of control.
void TestApp::enterPressesTheFocusedButtonElseTheDefault()
{
    QFETCH(QString, dialog);
    support::RecordingSoundSink sounds;
    support::SetSounds(&sounds);
    Preferences prefs;
    QStringList buttons;
    const std::unique_ptr<QDialog> first = MakeDialog(dialog, prefs);
    for (QPushButton* b : first->findChildren<QPushButton*>())
        if (!b->isHidden()) buttons << b->objectName();
    QVERIFY(!buttons.isEmpty());
    for (const QString& name : buttons) {
        const std::unique_ptr<QDialog> d = MakeDialog(dialog, prefs);
        auto* button = d->findChild<QPushButton*>(name);
        d->show();
        if (!button->isEnabled()) continue;
        QPushButton* pressed = PressEnterOn(d.get(), button);
        QVERIFY2(pressed == button, qPrintable(name + QStringLiteral(" focused, pressed: ") + (pressed ? pressed->objectName() : QStringLiteral("none"))));
    }
    // A text box or a check box with the focus: the default button.
    const std::unique_ptr<QDialog> d = MakeDialog(dialog, prefs);
    QWidget* other = nullptr;
    for (QWidget* w : d->findChildren<QWidget*>()) {
        auto* edit = qobject_cast<QLineEdit*>(w);
        if (((edit && !edit->isReadOnly()) || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) && w->isEnabled()) {
            other = w;
            break;
        }
    }
    if (other) {
        QPushButton* expected = nullptr;
        for (QPushButton* b : d->findChildren<QPushButton*>())
            if (b->isDefault()) expected = b;
        QVERIFY(expected);
        QCOMPARE(PressEnterOn(d.get(), other), expected);
    }
    support::SetSounds(nullptr);
}

// With Cancel hidden, Cancel is still the default: Enter with no button focused answers Cancel.
void TestApp::yesNoWithoutCancelKeepsCancelAsDefault()
{
    dlgYesNo question;
    question.HideCancel = true;
    bool closedByEnter = false;
    testing::WhenModal([&](QWidget* w) {
        if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
        QTest::keyClick(w, Qt::Key_Return);
        closedByEnter = !w->isVisible();
        if (!closedByEnter) w->close();
    });
    question.exec();
    QVERIFY(closedByEnter);
    QCOMPARE(question.UserSelection, int16_t(dlgYesNo::Cancel));
}

// While the cursor is in the comment box, the menu's keys run their commands and the comment
// stays as typed.
void TestApp::menuShortcutsWinInTheCommentBox()
{
    AppFixture f;
    f.Start();
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(12);
    f.meter->Emit(10);  // idle again after the reading
    f.app->ListView()->selectRow(0);
    f.app->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.app.get()));
    QLineEdit* box = f.app->UserCommentBox;
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("panel A"));
    struct Key {
        QAction* action;
        QKeyCombination key;
    };
    for (const Key& k : {Key{f.app->mnuDataDelete, QKeyCombination(Qt::Key_Delete)}, Key{f.app->mnuMeterCancel, Qt::CTRL | Qt::Key_C},
                         Key{f.app->mnuMeterUpdateInfo, Qt::CTRL | Qt::Key_U}}) {
        QSignalSpy ran(k.action, &QAction::triggered);
        QVERIFY2(k.action->isEnabled(), qPrintable(k.action->objectName()));
        QTest::keyClick(box, k.key.key(), k.key.keyboardModifiers());
        QVERIFY2(ran.count() == 1, qPrintable(k.action->objectName()));
        QCOMPARE(box->text(), QStringLiteral("panel A"));
    }
    QCOMPARE(f.app->Readings()->RowCount(), 0);  // Delete Selection took the selected row
    // A command's key while it is disabled does nothing in the box either.
    QVERIFY(!f.app->mnuDataDelete->isEnabled());
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral("panel A"));
    QTest::keyClick(box, Qt::Key_Backspace);  // the box's other keys still edit
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("panel "));
}

// One damaged line costs that line only: every other stored value is used, the operator is told
// with the file's path, and the damaged file is kept aside before the store is written at Exit.
void TestApp::damagedSettingsFileIsReportedAndKept()
{
    AppFixture f;
    f.Store(QStringLiteral("Preferences"), QStringLiteral("Digits"), QStringLiteral("3"));
    f.Store(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("Hkjd"));
    const QString path = f.store->FilePath();
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append) && file.write("[Tabs\n") > 0);
    file.close();
    const QByteArray damaged = [&] { QFile in(path); in.open(QIODevice::ReadOnly); return in.readAll(); }();
    f.store = std::make_unique<support::SettingsStore>(path);
    support::SettingsStore::SetInstance(f.store.get());

    QString told;
    testing::WhenModal([&told](QWidget* w) { told = static_cast<QMessageBox*>(w)->text(); static_cast<QMessageBox*>(w)->accept(); },
                       QStringLiteral("Settings File Error"));
    f.Start(false);
    QVERIFY2(told.contains(path), qPrintable(told));
    QCOMPARE(testing::AnsweredTitles(), QStringList{QStringLiteral("Settings File Error")});  // once, and no password warning
    QCOMPARE(f.app->Prefs.Digits, 3);
    QVERIFY(!f.app->Prefs.Password.isEmpty());
    f.app->close();
    QFile kept(path + QStringLiteral(".damaged"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    QVERIFY(f.Ini().contains(QStringLiteral("Digits=3")));
    QVERIFY(f.Ini().contains(QStringLiteral("Password=Hkjd")));
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
