// The main window on a TestMeter: start-up and shutdown order (also on a signal), the status
// bar, the enabling of the commands, the road of a reading and of a scan, and the sounds.
#include <QAbstractButton>
#include <QAccessible>
#include <QFile>
#include <QFileDialog>
#include <QTimer>
#include <csignal>

#include "app/DesktopSounds.h"
#include "app/ShutdownSignals.h"
#include "help/HelpViewer.h"
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
    void signalsAndExitDuringTheWaitShutDownInOrder();
    void passwordWarningOnlyWithoutPassword();
    void noMeterLeavesOnlyExit();
    void busyAndOffDisableTheMeterCommands();
    void meterAwayAndBack_data();
    void meterAwayAndBack();
    void readButtonFollowsFileAndNoFile();
    void readingTravelsTheWholeRoad();
    void invalidRefusedAndDroppedReadings();
    void oddEventSequencesStayConsistent();
    void deleteAndClearFromCommands();
    void scanIsSavedThroughTheChooser();
    void dataFileChangesReachTheWindow();
    void meterSideChangesComeBackAtNextStart();
    void everyControlHasAnAccessibleName();
    void helpWorksWhileTheMeterLinks();
    void soundsFallBackToTheBell();
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
    // While the handshake runs the window is up, handles the meter's events and offers no meter
    // command; each event (the link's report among them) lets it look at the handshake again.
    QVERIFY(f.app->isVisible());
    f.meter->Emit(VantrelCntl::Event::LinkChanged);
    f.meter->Emit(VantrelCntl::Event::LinkChanged);
    QCOMPARE(f.Panel(4), QStringLiteral("No haze meter found"));
    QVERIFY(!f.Button(QStringLiteral("Read"))->isEnabled());
    QVERIFY(!f.meter->Writes().contains(QStringLiteral("CalIndex=0")));
    f.meter->Emit(VantrelCntl::Event::LinkChanged);
    QCOMPARE(f.app->windowTitle(), QStringLiteral("DOI/Haze Meter"));
    QStringList writes = f.meter->Writes();
    const int connect = writes.indexOf(QStringLiteral("Connected=true"));
    QVERIFY(connect >= 0);
    QCOMPARE(writes.mid(connect, 9), (QStringList{QStringLiteral("Connected=true"), QStringLiteral("ConnectState"), QStringLiteral("ConnectState"),
                                                  QStringLiteral("ConnectState"), QStringLiteral("ConnectState"), QStringLiteral("CalIndex=0"),
                                                  QStringLiteral("KeepAlive=true"), QStringLiteral("EnableButton=true"), QStringLiteral("ConstDC=false")}));
    QCOMPARE(f.Panel(1), QStringLiteral("S/N: HZ001234"));
    QCOMPARE(f.Panel(2), QStringLiteral("Version: 3.1"));
    QCOMPARE(f.Panel(3), QStringLiteral("Battery: Ok"));
    QCOMPARE(f.Panel(4), QStringLiteral("Waiting for commands"));
    QCOMPARE(f.Label("SumCount"), QStringLiteral("---"));
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
    QCOMPARE(QFile(f.iniPath).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup), QFileDevice::Permissions());
}

void TestApp::signalsAndExitDuringTheWaitShutDownInOrder()
{
    {
        // SIGTERM while the handshake still runs: a clean shutdown, and the meter, never handed
        // the preferences, gives nothing back; a late end of the handshake changes nothing.
        AppFixture f;
        f.meter->connectStates = QQueue<int>({1});
        f.Store(QStringLiteral("Preferences"), QStringLiteral("CalIndex"), QStringLiteral("2"));
        f.Start();
        ShutdownSignals shutdown(*f.app);
        f.meter->calIndex = 3;
        f.meter->log.clear();
        std::raise(SIGTERM);
        QTRY_VERIFY(!f.app->isVisible());
        QCOMPARE(f.meter->Writes(), QStringList{QStringLiteral("Connected=false")});
        QVERIFY(f.Ini().contains(QStringLiteral("CalIndex=2")));
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
        QCOMPARE(f.meter->Writes(), QStringList{QStringLiteral("Connected=false")});
    }
    {
        // SIGINT with a dialog open: the dialog closes, then the window, as Exit would; a
        // change made on the meter side is saved.
        AppFixture f;
        f.Start();
        ShutdownSignals shutdown(*f.app);
        f.meter->calIndex = 3;
        QString dialog;
        QTimer::singleShot(0, [&] {
            dialog = QApplication::activeModalWidget() ? QApplication::activeModalWidget()->windowTitle() : QString();
            std::raise(SIGINT);
        });
        f.Find(QStringLiteral("mnuHelpAbout"))->trigger();
        QVERIFY(dialog.startsWith(QStringLiteral("About")));
        QTRY_VERIFY(!f.app->isVisible());
        QCOMPARE(f.meter->Writes().last(), QStringLiteral("Connected=false"));
        QVERIFY(f.Ini().contains(QStringLiteral("CalIndex=3")));
    }
    // The handlers are gone with their object: the default action is back.
    struct sigaction now {};
    sigaction(SIGTERM, nullptr, &now);
    QVERIFY(now.sa_handler == SIG_DFL);
}

void TestApp::passwordWarningOnlyWithoutPassword()
{
    {
        AppFixture f;
        f.Start(true);
        QCOMPARE(testing::AnsweredTitles(), QStringList{QStringLiteral("Password Protection Warning")});
    }
    {
        AppFixture f;
        f.Store(QStringLiteral("Preferences"), QStringLiteral("Password"), ScramblePassword(QStringLiteral("abc1")));
        f.Start(false);
        QCOMPARE(testing::AnsweredTitles(), QStringList());
    }
}

void TestApp::noMeterLeavesOnlyExit()
{
    AppFixture f;
    f.meter->linkOnConnect = false;
    f.meter->serialNumber = QString();
    f.Start();
    QCOMPARE(f.Panel(4), QStringLiteral("No haze meter found"));
    QCOMPARE(f.Panel(3), QStringLiteral("Battery: ---"));
    QCOMPARE(f.Panel(1), QStringLiteral("S/N: "));
    for (QAction* a : f.Find<QToolBar>(QStringLiteral("Toolbar1"))->actions())
        if (!a->isSeparator()) QCOMPARE(a->isEnabled(), a->text() == QLatin1String("Exit"));
    QVERIFY(f.Find(QStringLiteral("mnuFilePropProperties"))->isEnabled());
    QVERIFY(f.Find(QStringLiteral("mnuFilePassword"))->isEnabled());
    QVERIFY(f.Find(QStringLiteral("mnuFileExit"))->isEnabled());
    QVERIFY(f.Find(QStringLiteral("mnuHelpAbout"))->isEnabled());
    QVERIFY(!f.Find(QStringLiteral("mnuFileClose"))->isEnabled());
    QVERIFY(!f.Find(QStringLiteral("mnuDataTakeReading"))->isEnabled());
    QVERIFY(!f.Find(QStringLiteral("mnuMeterCancel"))->isEnabled());

    // Rows in the list do not enable Print, Clear or Delete without a meter.
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(12);
    QCOMPARE(f.Rows()->RowCount(), 1);
    QVERIFY(!f.Find(QStringLiteral("mnuFilePrint"))->isEnabled());
    QVERIFY(!f.Find(QStringLiteral("mnuDataClearReadings"))->isEnabled());
    QVERIFY(!f.Find(QStringLiteral("mnuDataDelete"))->isEnabled());
}

void TestApp::busyAndOffDisableTheMeterCommands()
{
    AppFixture f;
    f.Start();
    f.meter->Emit(9);
    QCOMPARE(f.Panel(4), QStringLiteral("Busy gathering data"));
    QVERIFY(f.Find(QStringLiteral("mnuMeterCancel"))->isEnabled());
    QVERIFY(f.Button(QStringLiteral("Cancel"))->isEnabled());
    for (const char* name : {"mnuDataTakeReading", "mnuDataScanData", "mnuFileNew", "mnuFileOpen", "mnuCalibrationCalibrate"})
        QVERIFY2(!f.Find(QLatin1String(name))->isEnabled(), name);
    f.meter->Emit(10);
    QCOMPARE(f.Panel(4), QStringLiteral("Waiting for commands"));
    QVERIFY(f.Find(QStringLiteral("mnuDataTakeReading"))->isEnabled());

    f.meter->meterState = 2;
    f.meter->Emit(1);
    QCOMPARE(f.Panel(4), QStringLiteral("Haze meter is off"));
    QCOMPARE(f.Panel(3), QStringLiteral("Battery: ---"));
    QVERIFY(!f.Find(QStringLiteral("mnuDataTakeReading"))->isEnabled());
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
    QCOMPARE(f.Panel(3), QStringLiteral("Battery: Low"));
    QCOMPARE(f.sounds.sounds, QList<int>{48});

    // Toolbar buttons run their commands.
    f.meter->log.clear();
    f.Button(QStringLiteral("Off"))->trigger();
    f.Button(QStringLiteral("Cancel"))->trigger();
    QCOMPARE(f.meter->Writes(), (QStringList{QStringLiteral("TurnOff"), QStringLiteral("Cancel")}));
}

void TestApp::meterAwayAndBack_data()
{
    QTest::addColumn<bool>("unplugged");
    QTest::addColumn<QString>("awayText");
    QTest::newRow("cable pulled, plugged back") << true << QStringLiteral("No haze meter found");
    QTest::newRow("turned off, woken on the meter") << false << QStringLiteral("Haze meter is off");
}

// The meter goes away mid-session and comes back: the panels say why, the meter commands go and
// return, and the window takes readings again.
void TestApp::meterAwayAndBack()
{
    QFETCH(bool, unplugged);
    QFETCH(QString, awayText);
    AppFixture f;
    f.Start();
    auto meterCommands = [&](bool enabled) {
        for (const char* name : {"mnuDataTakeReading", "mnuMeterTurnOff", "mnuDataScanData", "mnuFileNew", "mnuCalibrationCalibrate"})
            QVERIFY2(f.Find(QLatin1String(name))->isEnabled() == enabled, name);
        QCOMPARE(f.Button(QStringLiteral("Read"))->isEnabled(), enabled);
    };
    if (unplugged) {
        f.meter->connected = false;
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
    } else {
        f.meter->log.clear();
        f.Find(QStringLiteral("mnuMeterTurnOff"))->trigger();
        QCOMPARE(f.meter->Writes(), QStringList{QStringLiteral("TurnOff")});
        f.meter->meterState = VantrelCntl::State::Off;
        f.meter->Emit(VantrelCntl::Event::SwitchedOff);
    }
    QCOMPARE(f.Panel(4), awayText);
    QCOMPARE(f.Panel(3), QStringLiteral("Battery: ---"));
    QCOMPARE(f.Find(QStringLiteral("mnuMeterCancel"))->isEnabled(), !unplugged);
    meterCommands(false);

    if (unplugged) {
        f.meter->connected = true;
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
    } else {
        // Woken, the meter reads its parameters before it takes commands.
        f.meter->meterState = VantrelCntl::State::GettingParameters;
        f.meter->Emit(VantrelCntl::Event::StateChanged);
        QCOMPARE(f.Panel(4), QStringLiteral("Getting parameters"));
        meterCommands(false);
        f.meter->meterState = VantrelCntl::State::Waiting;
        f.meter->Emit(VantrelCntl::Event::Idle);
    }
    QCOMPARE(f.Panel(4), QStringLiteral("Waiting for commands"));
    QCOMPARE(f.Panel(3), QStringLiteral("Battery: Ok"));
    meterCommands(true);
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QCOMPARE(f.Rows()->RowCount(), 1);
}

void TestApp::readButtonFollowsFileAndNoFile()
{
    AppFixture f;
    f.Store(QStringLiteral("Preferences"), QStringLiteral("NoFile"), QStringLiteral("False"));
    f.Start();
    QVERIFY(!f.Button(QStringLiteral("Read"))->isEnabled());
    QVERIFY(f.Find(QStringLiteral("mnuDataTakeReading"))->isEnabled());
    f.meter->log.clear();
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    QVERIFY(!f.meter->log.contains(QStringLiteral("TakeReading")));
    QVERIFY(f.sounds.sounds.isEmpty());

    // A reading from the meter's own button is dropped unfetched, with a warning.
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(12);
    QVERIFY(!f.meter->log.join(QLatin1Char(' ')).contains(QStringLiteral("GetReading")));
    QCOMPARE(f.Rows()->RowCount(), 0);
    QCOMPARE(f.sounds.sounds, QList<int>{48});
}

void TestApp::readingTravelsTheWholeRoad()
{
    AppFixture f;
    f.Start();
    f.meter->calIndex = 1;  // changed on the meter side after start-up
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    QVERIFY(f.meter->log.contains(QStringLiteral("TakeReading")));
    // The comment of the moment the reading arrives counts.
    f.Find<QLineEdit>(QStringLiteral("UserCommentBox"))->setText(QStringLiteral("  panel 7  "));
    f.meter->SetNextReading(85.346, 92.114, 1.255, 3.4, QStringLiteral("Black Glass"));
    f.meter->log.clear();
    f.meter->Emit(9);
    f.meter->Emit(12);
    f.meter->Emit(10);
    QCOMPARE(f.meter->lastCalIndexAsked, int16_t(1));
    QCOMPARE(f.Rows()->RowCount(), 1);
    const Reading& row = f.Rows()->Row(0);
    QCOMPARE(row.Cells[0], QStringLiteral("07/04/2002 14:05:09"));
    QCOMPARE(row.Cells[1], QStringLiteral("85.35"));
    QCOMPARE(row.Cells[2], QStringLiteral("92.11"));
    QCOMPARE(row.Cells[3], QStringLiteral("1.26"));
    QCOMPARE(row.Cells[4], QStringLiteral("3.40"));
    QCOMPARE(row.Cells[5], QStringLiteral("Black Glass"));
    QCOMPARE(row.Cells[6], QStringLiteral("panel 7"));
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("85.35"));
    QCOMPARE(f.Label("SumCount"), QStringLiteral("1"));
    QCOMPARE(f.Panel(5), QStringLiteral("512, 37"));
    QCOMPARE(f.sounds.sounds, QList<int>{0});
    QVERIFY(f.meter->lastPixelAvgAsked);
    QVERIFY(f.Find(QStringLiteral("mnuFilePrint"))->isEnabled());

    // A new Take Reading empties panel 5 first.
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    QCOMPARE(f.Panel(5), QString());

    // Digits changed in the preferences: new rows take the new format, older ones keep theirs.
    testing::WhenModal([](QWidget* d) {
        d->findChild<QAbstractButton*>(QStringLiteral("rad0Digit"))->click();
        testing::Click(d, QStringLiteral("btnOK"));
    }, QStringLiteral("Properties"));
    f.Find(QStringLiteral("mnuFilePropProperties"))->trigger();
    f.meter->SetNextReading(12.5, 90, 1, 2, QStringLiteral("Black Glass"), QDateTime(QDate(2002, 7, 4), QTime(14, 6, 0)));
    f.meter->Emit(12);
    QCOMPARE(f.Rows()->Text(0, 1), QStringLiteral("13."));
    QCOMPARE(f.Rows()->Text(1, 1), QStringLiteral("85.35"));
}

void TestApp::invalidRefusedAndDroppedReadings()
{
    AppFixture f;
    f.Start();
    f.meter->SetNextReading(1, 2, 3, 4, QStringLiteral("Std"), QDateTime::currentDateTime(), false, QStringLiteral("Sample gloss too low"));
    f.meter->Emit(12);
    QCOMPARE(f.Rows()->RowCount(), 0);
    QCOMPARE(f.Panel(5), QStringLiteral("Sample gloss too low"));
    QCOMPARE(f.sounds.sounds, QList<int>{48});

    // "Sound Confirmation" turned off in the preferences.
    testing::WhenModal([](QWidget* d) {
        d->findChild<QAbstractButton*>(QStringLiteral("chkSounds"))->click();
        testing::Click(d, QStringLiteral("btnOK"));
    }, QStringLiteral("Properties"));
    f.Find(QStringLiteral("mnuFilePropProperties"))->trigger();
    f.sounds.sounds.clear();
    f.meter->Emit(12);  // invalid, silent
    f.meter->SetNextReading(50, 60, 1, 2);
    f.meter->Emit(12);  // accepted, silent
    QCOMPARE(f.Rows()->RowCount(), 1);
    QVERIFY(f.sounds.sounds.isEmpty());
    f.meter->takeReadingResult = false;
    f.meter->scanResult = false;
    f.meter->normalizeResult = false;
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    f.Find(QStringLiteral("mnuDataScanData"))->trigger();
    f.Find(QStringLiteral("mnuDataNormalize"))->trigger();
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
    QCOMPARE(f.Rows()->RowCount(), 1);
    QCOMPARE(f.Panel(4), QStringLiteral("Waiting for commands"));
    // The meter vanishes; a late reading event still leaves list, averages and status consistent.
    f.meter->connected = false;
    f.meter->Emit(12);
    QCOMPARE(f.Rows()->RowCount(), 2);
    QCOMPARE(f.Label("SumCount"), QStringLiteral("2"));
    QCOMPARE(f.Panel(4), QStringLiteral("No haze meter found"));
    QVERIFY(!f.Find(QStringLiteral("mnuDataClearReadings"))->isEnabled());
    // An event 12 with nothing behind it (the meter hands out an empty reading).
    f.meter->connected = true;
    f.meter->nextReading = MeterReading();
    f.meter->Emit(12);
    QCOMPARE(f.Rows()->RowCount(), 2);
    QCOMPARE(f.Rows()->Averages().Count(), 2L);
}

void TestApp::deleteAndClearFromCommands()
{
    AppFixture f;
    f.Start();
    for (int i = 0; i < 4; ++i) {
        f.meter->SetNextReading(10 + i, 90, 1, 2, QStringLiteral("Std A"), QDateTime(QDate(2002, 7, 4), QTime(14, 0, i)));
        f.meter->Emit(12);
    }
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("11.50"));
    f.List()->selectRow(0);  // newest first: 13
    f.Find(QStringLiteral("mnuDataDelete"))->trigger();
    QCOMPARE(f.Rows()->RowCount(), 3);
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("11.00"));
    QCOMPARE(f.Label("SumCount"), QStringLiteral("3"));
    f.Button(QStringLiteral("Clear"))->trigger();
    QCOMPARE(f.Rows()->RowCount(), 0);
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("---"));
    QVERIFY(!f.Find(QStringLiteral("mnuDataDelete"))->isEnabled());
    QVERIFY(!f.Button(QStringLiteral("Print"))->isEnabled());
}

void TestApp::scanIsSavedThroughTheChooser()
{
    AppFixture f;
    f.Start();
    testing::ClearModals();
    const QString answer = f.dir.filePath(QStringLiteral("profile.csv"));

    f.meter->nextScan.Clear();
    f.meter->Emit(21);  // no data: no dialog
    QVERIFY(testing::AnsweredTitles().isEmpty());

    f.meter->nextScan.HasData = true;
    for (int i = 0; i <= 300; ++i) f.meter->nextScan.SetPoint(i, 100.0 - qAbs(i - 150));
    testing::AnswerFileDialog(answer, QStringLiteral("Save As"));
    f.meter->Emit(21);
    QCOMPARE(testing::PendingModals(), 0);
    QFile file(answer);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 303);  // 302 lines and the empty text after the last CR LF
    QCOMPARE(lines[301], QByteArray("300,-50 \r"));
    QCOMPARE(lines[151], QByteArray("150, 100 \r"));
    QCOMPARE(f.Rows()->RowCount(), 0);

    testing::AnswerFileDialog(QString(), QStringLiteral("Save As"));  // cancelled
    f.meter->Emit(21);
    QCOMPARE(testing::AnsweredTitles(), QStringList({QStringLiteral("Save As"), QStringLiteral("Save As")}));
}

void TestApp::dataFileChangesReachTheWindow()
{
    AppFixture f;
    f.Start();
    const QString title = QStringLiteral("DOI/Haze Meter");
    const QString path = f.dir.filePath(QStringLiteral("run.csv"));

    testing::AnswerFileDialog(QString(), QStringLiteral("New"));  // cancelled: nothing happens
    f.Find(QStringLiteral("mnuFileNew"))->trigger();
    QVERIFY(!QFile::exists(path));

    // Created: the title shows it, Close is offered, the recent files list it.
    testing::AnswerFileDialog(path, QStringLiteral("New"));
    f.Find(QStringLiteral("mnuFileNew"))->trigger();
    QCOMPARE(f.app->windowTitle(), title + QStringLiteral(" - ") + path);
    QVERIFY(f.Find(QStringLiteral("mnuFileClose"))->isEnabled());
    QCOMPARE(f.Find(QStringLiteral("mnuFileRecent1"))->toolTip(), path);

    // A reading goes in as one line, with the comment box text trimmed.
    f.Find<QLineEdit>(QStringLiteral("UserCommentBox"))->setText(QStringLiteral("  panel 7  "));
    f.meter->SetNextReading(85.346, 92.114, 1.255, 3.4, QStringLiteral("Black Glass"));
    f.meter->Emit(12);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QByteArray("DateTime,Specular,DOI,Deg2,Deg15,CalName,CalDtTm,SerNum,Comment\r"));
    QVERIFY2(lines[1].startsWith("07/04/2002 14:05:09,85.35,92.11,1.26,3.40,\"Black Glass\",") && lines[1].endsWith(",\"panel 7\"\r"),
             lines[1].constData());

    f.Find(QStringLiteral("mnuFileClose"))->trigger();
    QCOMPARE(f.app->windowTitle(), title);
    QVERIFY(!f.Find(QStringLiteral("mnuFileClose"))->isEnabled());

    // The listed file is gone: Delete Old Data empties the list first, the open then fails.
    QVERIFY(QFile::rename(path, path + QStringLiteral(".moved")));
    testing::WhenModal([](QWidget* w) { testing::Click(w, QStringLiteral("btnDeleteData")); }, QStringLiteral("Save Old Data To New File"));
    testing::WhenModal([](QWidget* w) { testing::Click(w, QStringLiteral("OKButton")); }, QStringLiteral("File Error"));
    f.Find(QStringLiteral("mnuFileRecent1"))->trigger();
    QCOMPARE(testing::PendingModals(), 0);
    QCOMPARE(f.Rows()->RowCount(), 0);
    QCOMPARE(f.Label("SumCount"), QStringLiteral("---"));
    QCOMPARE(f.app->windowTitle(), title);
    QVERIFY(!f.Find(QStringLiteral("mnuFileClose"))->isEnabled());
    QCOMPARE(f.Find(QStringLiteral("mnuFileRecent1"))->toolTip(), path);
}

void TestApp::meterSideChangesComeBackAtNextStart()
{
    QTemporaryDir keep;
    const QString path = keep.filePath(QStringLiteral("Glimora.ini"));
    {
        AppFixture f;
        f.iniPath = path;
        f.Start();
        f.meter->calIndex = 3;
        f.meter->keepAlive = false;
        f.app->close();
    }
    {
        AppFixture f;
        f.iniPath = path;
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
    for (QAction* a : f.Find<QToolBar>(QStringLiteral("Toolbar1"))->actions()) QVERIFY(a->isSeparator() || !a->text().isEmpty());
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(f.List());
    QVERIFY(list && list->tableInterface());
    QAccessibleInterface* cell = list->tableInterface()->cellAt(0, 1);
    QVERIFY(cell);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("80.00"));
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(f.app->findChild<QLabel*>(QStringLiteral("SBPanel4")));
    QCOMPARE(panel->text(QAccessible::Name), QStringLiteral("Waiting for commands"));
}

// The window is usable while the meter links: the Help commands open the help window then,
// before the handshake ends and the meter receives its settings.
void TestApp::helpWorksWhileTheMeterLinks()
{
    AppFixture f;
    f.Store(QStringLiteral("Preferences"), QStringLiteral("Password"), ScramblePassword(QStringLiteral("abc1")));
    f.meter->holdLink = true;
    QStringList seen;  // per command: the page shown, if the meter was still linking
    QTimer::singleShot(0, f.meter, [&] {
        const QList<QAction*> commands{f.Find(QStringLiteral("mnuHelpContents")), f.Find(QStringLiteral("mnuHelpSearch")), f.Find(QStringLiteral("mnuHelpContactKALDEX"))};
        for (QAction* command : commands) {
            command->trigger();
            auto* viewer = f.app->findChild<HelpViewer*>();
            const bool linking = f.meter->Writes().contains(QStringLiteral("Connected=true")) &&
                                 !f.meter->Writes().contains(QStringLiteral("CalIndex=0"));
            seen << (linking && viewer && viewer->isVisible() ? viewer->CurrentTopic() : QString());
        }
        f.meter->holdLink = false;
    });
    f.Start(false);
    QTRY_COMPARE(seen, (QStringList{QStringLiteral("/welcome.htm"), QStringLiteral("/help_index.htm"),
                                    QStringLiteral("/KALDEX/Contact_KALDEX.htm")}));
}

void TestApp::soundsFallBackToTheBell()
{
    // With no sound server (here: a sound driver that cannot be opened) both message sounds
    // ring the system bell instead; a refused command is never silent.
    struct BellCounter : DesktopSoundSink {
        int rung = 0;
        void Beep() override { ++rung; }
    };
    qputenv("CANBERRA_DRIVER", "no-such-driver");
    BellCounter sink;
    sink.MessageBeep(support::MessageSound::Warning);
    sink.MessageBeep(support::MessageSound::ReadingAccepted);
    qunsetenv("CANBERRA_DRIVER");
    QCOMPARE(sink.rung, 2);
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
    RecordingSoundSink sounds;
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
    f.List()->selectRow(0);
    f.app->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.app.get()));
    QLineEdit* box = f.Find<QLineEdit>(QStringLiteral("UserCommentBox"));
    box->setFocus();
    QTest::keyClicks(box, QStringLiteral("panel A"));
    struct Key {
        QAction* action;
        QKeyCombination key;
    };
    for (const Key& k : {Key{f.Find(QStringLiteral("mnuDataDelete")), QKeyCombination(Qt::Key_Delete)}, Key{f.Find(QStringLiteral("mnuMeterCancel")), Qt::CTRL | Qt::Key_C},
                         Key{f.Find(QStringLiteral("mnuMeterUpdateInfo")), Qt::CTRL | Qt::Key_U}}) {
        QSignalSpy ran(k.action, &QAction::triggered);
        QVERIFY2(k.action->isEnabled(), qPrintable(k.action->objectName()));
        QTest::keyClick(box, k.key.key(), k.key.keyboardModifiers());
        QVERIFY2(ran.count() == 1, qPrintable(k.action->objectName()));
        QCOMPARE(box->text(), QStringLiteral("panel A"));
    }
    QCOMPARE(f.Rows()->RowCount(), 0);  // Delete Selection took the selected row
    // A command's key while it is disabled does nothing in the box either.
    QVERIFY(!f.Find(QStringLiteral("mnuDataDelete"))->isEnabled());
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
    const QString path = f.iniPath;
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append) && file.write("[Tabs\n") > 0);
    file.close();
    const QByteArray damaged = [&] { QFile in(path); in.open(QIODevice::ReadOnly); return in.readAll(); }();

    QString told;
    testing::WhenModal([&told](QWidget* w) { told = static_cast<QMessageBox*>(w)->text(); static_cast<QMessageBox*>(w)->accept(); },
                       QStringLiteral("Settings File Error"));
    f.Start(false);
    QVERIFY2(told.contains(path), qPrintable(told));
    QCOMPARE(testing::AnsweredTitles(), QStringList{QStringLiteral("Settings File Error")});  // once, and no password warning
    f.app->close();
    QFile kept(path + QStringLiteral(".damaged"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    QVERIFY(f.Ini().contains(QStringLiteral("Digits=3")));
    QVERIFY(f.Ini().contains(QStringLiteral("Password=Hkjd")));
}

QTEST_MAIN(TestApp)
#include "tst_app.moc"
