// The main window on a TestMeter: start-up and shutdown order (also on a signal), the enabling of
// the commands, the road of a reading and of a scan, the keyboard, and the sounds.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QFile>
#include <QClipboard>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <csignal>

#include "app/DesktopSounds.h"
#include "app/ShutdownSignals.h"
#include "app/SingleCopy.h"
#include "calibration/dlgMeterProperties.h"
#include "calibration/dlgSettings.h"
#include "comments/dlgAdditionalComments.h"
#include "comments/dlgHeaderText.h"
#include "datafile/dlgOldDataToNew.h"
#include "dialogs/dlgAboutGlimora.h"
#include "dialogs/dlgError.h"
#include "dialogs/WindowRules.h"
#include "dialogs/dlgYesNo.h"
#include "settings/dlgAppProperties.h"
#include "settings/dlgPassword.h"
#include "settings/dlgPasswordSetup.h"
#include "tests/app/AppFixture.h"

namespace {
// Every dialog of the program, fresh, with the control it opens on: the first of its tab order
// that can take the focus.
using DialogMaker = QDialog* (*)(Preferences&);
struct DialogRow {
    const char* name;
    DialogMaker make;
    const char* firstFocus;
};
const DialogRow kDialogs[] = {
    {"dlgOldDataToNew", [](Preferences&) -> QDialog* { return new dlgOldDataToNew; }, "Cancel"},
    {"dlgHeaderText", [](Preferences&) -> QDialog* { return new dlgHeaderText; }, "HdrTxt1TxtBx"},
    {"dlgAdditionalComments", [](Preferences&) -> QDialog* { return new dlgAdditionalComments; }, "Data2Txt"},
    {"dlgAppProperties", [](Preferences&) -> QDialog* { return new dlgAppProperties; }, "btnOK"},
    {"dlgPassword", [](Preferences&) -> QDialog* { return new dlgPassword; }, "edPassword"},
    {"dlgPasswordSetup", [](Preferences& prefs) -> QDialog* { return new dlgPasswordSetup(prefs); }, "Ok"},
    {"dlgPasswordSetup with a password",
     [](Preferences& prefs) -> QDialog* {  // Ok is disabled until it is typed
         prefs.Password = QStringLiteral("abc");
         return new dlgPasswordSetup(prefs);
     },
     "txtCurrentPW"},
    {"dlgMeterProperties",
     [](Preferences&) -> QDialog* {
         auto* d = new dlgMeterProperties;
         d->mAuthority = 2;  // "Defaults" is offered
         return d;
     },
     "btnOK"},
    {"dlgSettings", [](Preferences&) -> QDialog* { return new dlgSettings; }, "btnOK"},
    {"dlgYesNo", [](Preferences&) -> QDialog* { return new dlgYesNo; }, "YesButton"},
    {"dlgError", [](Preferences&) -> QDialog* { return new dlgError; }, "OKButton"},
    {"dlgAboutGlimora", [](Preferences&) -> QDialog* { return new dlgAboutGlimora; }, "cmdOK"},
};

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

QString FocusName()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QStringLiteral("nothing");
}

void ExpectEnabled(const AppFixture& f, std::initializer_list<const char*> names, bool enabled)
{
    for (const char* name : names) QVERIFY2(f.Find(QLatin1String(name))->isEnabled() == enabled, name);
}
}  // namespace

class TestApp : public QObject {
    Q_OBJECT
private slots:
    void startsStopsAndComesBackAsLeft();
    void signalsAndExitDuringTheWaitShutDownInOrder();
    void busyDisablesTheMeterCommands();
    void meterAwayAndBack_data();
    void meterAwayAndBack();
    void readButtonFollowsFileAndNoFile();
    void readingTravelsTheWholeRoad();
    void preferencesReachTheNextReading();
    void scanWithoutDataAsksNothing();
    void dataFileChangesReachTheWindow();
    void everyControlHasAnAccessibleName();
    void soundsFallBackToTheBell();
    void enterPressesTheFocusedButtonElseTheDefault_data();
    void enterPressesTheFocusedButtonElseTheDefault();
    void everyDialogOpensOnTheFirstOfItsTabOrder_data() { enterPressesTheFocusedButtonElseTheDefault_data(); }
    void everyDialogOpensOnTheFirstOfItsTabOrder();
    void yesNoEnterWithoutFocusAnswersCancel_data();
    void yesNoEnterWithoutFocusAnswersCancel();
    void damagedSettingsFileIsReported();
    void oneCopyPerSettingsFolder();
    void windowsOpenInsideTheScreen_data();
    void windowsOpenInsideTheScreen();
};

// The no-password warning comes first; the meter is handed its preferences, and the window offers
// its commands, only once linked.
// The values changed on the meter side are saved at Exit, and the next start hands them back.
void TestApp::startsStopsAndComesBackAsLeft()
{
    QTemporaryDir keep;
    const QString ini = keep.filePath(QStringLiteral("Glimora.ini"));
    {
        AppFixture f;
        f.iniPath = ini;
        f.meter->connectStates.fill(VantrelCntl::Connecting, 3);
        f.Start();
        QCOMPARE(testing::AnsweredTitles(), QStringList{QStringLiteral("Password Protection Warning")});
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
        QVERIFY(!f.meter->Writes().contains(QStringLiteral("CalIndex=0")));
        QVERIFY(!f.Button(QStringLiteral("Read"))->isEnabled());
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
        QVERIFY(f.meter->Writes().contains(QStringLiteral("CalIndex=0")));
        f.meter->calIndex = 3;
        f.meter->keepAlive = false;
        f.app->close();
    }
    AppFixture f;
    f.iniPath = ini;
    f.Start();
    QVERIFY(f.meter->Writes().contains(QStringLiteral("CalIndex=3")));
    QVERIFY(f.meter->Writes().contains(QStringLiteral("KeepAlive=false")));
}

void TestApp::signalsAndExitDuringTheWaitShutDownInOrder()
{
    {
        // SIGTERM while the handshake still runs: a clean shutdown, and the meter, never handed
        // the preferences, gives nothing back.
        AppFixture f;
        f.meter->connectStates.fill(VantrelCntl::Connecting, 1);
        f.Store(QStringLiteral("Preferences"), QStringLiteral("CalIndex"), QStringLiteral("2"));
        f.Start();
        ShutdownSignals shutdown(*f.app);
        f.meter->calIndex = 3;
        f.meter->log.clear();
        std::raise(SIGTERM);
        QTRY_VERIFY(!f.app->isVisible());
        QCOMPARE(f.meter->Writes(), QStringList{QStringLiteral("Connected=false")});
        QVERIFY(f.Ini().contains(QStringLiteral("CalIndex=2")));
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

void TestApp::busyDisablesTheMeterCommands()
{
    AppFixture f;
    f.Start();
    f.meter->Emit(VantrelCntl::Event::Busy);
    QVERIFY(f.Button(QStringLiteral("Cancel"))->isEnabled());
    ExpectEnabled(f, {"mnuMeterCancel"}, true);
    ExpectEnabled(f, {"mnuDataTakeReading", "mnuDataScanData", "mnuFileNew", "mnuFileOpen", "mnuCalibrationCalibrate"},
                  false);
    f.meter->Emit(VantrelCntl::Event::Idle);
    ExpectEnabled(f, {"mnuDataTakeReading"}, true);

    // A warning refreshes and beeps; the codes of the quiet list do nothing.
    f.meter->log.clear();
    f.meter->Emit(8);
    f.meter->Emit(19);
    QVERIFY(f.meter->log.isEmpty());
    f.meter->batteryState = 1;
    f.meter->Emit(VantrelCntl::Event::Warning);
    QCOMPARE(f.Panel(3), QStringLiteral("Battery: Low"));
    QCOMPARE(f.sounds.sounds, QList<int>{RecordingSoundSink::Warning});

    // Toolbar buttons run their commands.
    f.meter->log.clear();
    f.Button(QStringLiteral("Off"))->trigger();
    f.Button(QStringLiteral("Cancel"))->trigger();
    QCOMPARE(f.meter->Writes(), (QStringList{QStringLiteral("TurnOff"), QStringLiteral("Cancel")}));

    // The toolbar stays where it is (no grip to drag it by), and a right click on it offers nothing.
    QVERIFY(!f.Find<QToolBar>(QStringLiteral("Toolbar1"))->isMovable());
    QWidget* offered = nullptr;
    QTimer::singleShot(0, [&offered] {
        if ((offered = QApplication::activePopupWidget())) offered->close();
    });
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(f.Find<QToolBar>(QStringLiteral("Toolbar1")), &click);
    QCoreApplication::processEvents();
    QVERIFY(!offered);
}

void TestApp::meterAwayAndBack_data()
{
    QTest::addColumn<bool>("unplugged");
    QTest::addColumn<QString>("awayText");
    QTest::newRow("cable pulled, plugged back") << true << QStringLiteral("No haze meter found");
    QTest::newRow("turned off, woken on the meter") << false << QStringLiteral("Haze meter is off");
}

// The meter goes away mid-session and comes back: the panels say why, the meter commands go and
// return (also when it went away at work), and the window takes readings again.
void TestApp::meterAwayAndBack()
{
    QFETCH(bool, unplugged);
    QFETCH(QString, awayText);
    AppFixture f;
    f.Start();
    auto meterCommands = [&](bool enabled) {
        ExpectEnabled(
            f, {"mnuDataTakeReading", "mnuMeterTurnOff", "mnuDataScanData", "mnuFileNew", "mnuCalibrationCalibrate"},
            enabled);
        QCOMPARE(f.Button(QStringLiteral("Read"))->isEnabled(), enabled);
    };
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    if (unplugged) {
        f.meter->Emit(VantrelCntl::Event::Busy);  // pulled at work: its idle event never comes
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
    ExpectEnabled(f, {"mnuMeterConnection"}, true);  // the moment another meter may be wanted
    // Ctrl+C in the comment box is Cancel Operation while it is enabled, else it copies.
    auto* box = f.Find<QLineEdit>(QStringLiteral("UserCommentBox"));
    box->setText(QStringLiteral("x"));
    box->selectAll();
    QApplication::clipboard()->clear();
    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), unplugged ? QStringLiteral("x") : QString());
    meterCommands(false);
    // Without a link the listed rows offer nothing: of the toolbar only Exit is left.
    ExpectEnabled(f, {"mnuFilePrint", "mnuDataClearReadings", "mnuDataDelete"}, !unplugged);
    for (QAction* a : f.Find<QToolBar>(QStringLiteral("Toolbar1"))->actions())
        if (unplugged && !a->isSeparator()) QCOMPARE(a->isEnabled(), a->text() == QLatin1String("Exit"));
    // A reading event that comes late is still listed, with its averages; the status stays.
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QCOMPARE(f.Label("SumCount"), QStringLiteral("2"));
    QCOMPARE(f.Panel(4), awayText);

    if (unplugged) {
        // Linked again: the meter gets the preferences once more, and shows what it does now.
        f.meter->log.clear();
        f.meter->connected = true;
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
        f.meter->Emit(VantrelCntl::Event::LinkChanged);
        QCOMPARE(f.meter->Writes(),
                 (QStringList{"CalIndex=0", "KeepAlive=true", "EnableButton=true", "ConstDC=false"}));
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
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QCOMPARE(f.Rows()->RowCount(), 3);
    f.meter->nextReading = MeterReading();  // an event with nothing behind it
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QCOMPARE(f.Rows()->Averages().Count(), 3L);
}

// Without a data file, when the preferences ask for one, nothing is read and a reading from the
// meter's own button is dropped unfetched, with a warning.
void TestApp::readButtonFollowsFileAndNoFile()
{
    AppFixture f;
    f.Store(QStringLiteral("Preferences"), QStringLiteral("NoFile"), QStringLiteral("False"));
    f.Start();
    QVERIFY(!f.Button(QStringLiteral("Read"))->isEnabled());
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    QVERIFY(!f.meter->log.contains(QStringLiteral("TakeReading")));
    QVERIFY(f.sounds.sounds.isEmpty());
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QVERIFY(!f.meter->log.join(QLatin1Char(' ')).contains(QStringLiteral("GetReading")));
    QCOMPARE(f.Rows()->RowCount(), 0);
    QCOMPARE(f.sounds.sounds, QList<int>{RecordingSoundSink::Warning});
}

void TestApp::readingTravelsTheWholeRoad()
{
    AppFixture f;
    f.Start();
    f.meter->calIndex = 1;  // changed on the meter side after start-up
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    // The comment of the moment the reading arrives counts.
    f.Find<QLineEdit>(QStringLiteral("UserCommentBox"))->setText(QStringLiteral("  panel 7  "));
    f.meter->SetNextReading(85.346, 92.114, 1.255, 3.4, QStringLiteral("Black Glass"));
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    f.meter->Emit(VantrelCntl::Event::Idle);  // idle again: the commands follow the list
    QCOMPARE(f.meter->lastCalIndexAsked, int16_t(1));
    QVERIFY(f.meter->lastPixelAvgAsked);
    QStringList cells;
    for (int c = 0; c < ReadingsModel::ColumnCount; ++c) cells << f.Rows()->Text(0, c);
    QCOMPARE(cells.join(QLatin1Char('|')),
             QStringLiteral("07/04/2002 14:05:09|85.35|92.11|1.26|3.40|Black Glass|panel 7"));
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("85.35"));
    QCOMPARE(f.Panel(5), QStringLiteral("512, 37"));
    QCOMPARE(f.sounds.sounds, QList<int>{RecordingSoundSink::Accepted});
    // The window stands inside the (800 pixels wide) screen; Tab takes the focus out of the list.
    QVERIFY(f.app->screen()->availableGeometry().contains(f.app->frameGeometry())
            && QTest::qWaitForWindowActive(f.app.get()));
    f.List()->setCurrentIndex(f.Rows()->index(0, 0));
    f.List()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(f.List(), Qt::Key_Tab);
    QCOMPARE(FocusName(), QStringLiteral("CommentBtn"));
    QVERIFY(f.Find(QStringLiteral("mnuFilePrint"))->isEnabled());
    // A new Take Reading empties panel 5 first.
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    QCOMPARE(f.Panel(5), QString());

    // An invalid reading is not listed: its message shows, with a warning.
    f.meter->SetNextReading(1, 2, 3, 4, QStringLiteral("Std"), QDateTime::currentDateTime(), false,
                            QStringLiteral("Sample gloss too low"));
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QCOMPARE(f.Rows()->RowCount(), 1);
    QCOMPARE(f.Panel(5), QStringLiteral("Sample gloss too low"));
    QCOMPARE(f.sounds.sounds, (QList<int>{RecordingSoundSink::Accepted, RecordingSoundSink::Warning}));

    // Delete Selection and Clear take the rows and their averages.
    f.meter->SetNextReading(13, 90, 1, 2, QStringLiteral("Black Glass"), QDateTime(QDate(2002, 7, 4), QTime(14, 6, 0)));
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    f.List()->selectRow(0);  // newest first: 13
    // In the comment box the keypad's Del is Delete Selection, and Del edits once it is disabled.
    auto* box = f.Find<QLineEdit>(QStringLiteral("UserCommentBox"));
    box->setCursorPosition(0);
    QTest::keyClick(box, Qt::Key_Delete, Qt::KeypadModifier);
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("85.35"));
    QCOMPARE(f.Label("SumCount"), QStringLiteral("1"));
    f.Button(QStringLiteral("Clear"))->trigger();
    QCOMPARE(f.Rows()->RowCount(), 0);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral(" panel 7  "));
    QCOMPARE(f.Label("SumSpecular"), QStringLiteral("---"));
    QVERIFY(!f.Find(QStringLiteral("mnuDataDelete"))->isEnabled());
    QVERIFY(!f.Button(QStringLiteral("Print"))->isEnabled());
}

// Digits and "Sound Confirmation" changed in the preferences: new rows take the new format, older
// ones keep theirs; readings go silent, refused commands still beep.
void TestApp::preferencesReachTheNextReading()
{
    AppFixture f;
    f.Start();
    f.meter->SetNextReading(85.346, 90, 1, 2);
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    testing::WhenModal(
        [](QWidget* d) {
            d->findChild<QAbstractButton*>(QStringLiteral("rad0Digit"))->click();
            d->findChild<QAbstractButton*>(QStringLiteral("chkSounds"))->click();
            testing::Click(d, QStringLiteral("btnOK"));
        },
        QStringLiteral("Properties"));
    f.Find(QStringLiteral("mnuFilePropProperties"))->trigger();
    f.sounds.sounds.clear();
    f.meter->SetNextReading(12.5, 90, 1, 2, QStringLiteral("Std A"), QDateTime(QDate(2002, 7, 4), QTime(14, 6, 0)));
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QCOMPARE(f.Rows()->Text(0, 1), QStringLiteral("13."));
    QCOMPARE(f.Rows()->Text(1, 1), QStringLiteral("85.35"));
    f.meter->SetNextReading(1, 2, 3, 4, QStringLiteral("Std"), QDateTime::currentDateTime(), false);
    f.meter->Emit(VantrelCntl::Event::ReadingReady);  // invalid, silent
    QVERIFY(f.sounds.sounds.isEmpty());
    f.meter->takeReadingResult = f.meter->scanResult = f.meter->normalizeResult = false;
    f.Find(QStringLiteral("mnuDataTakeReading"))->trigger();
    f.Find(QStringLiteral("mnuDataScanData"))->trigger();
    f.Find(QStringLiteral("mnuDataNormalize"))->trigger();
    QCOMPARE(f.sounds.sounds,
             (QList<int>{RecordingSoundSink::Warning, RecordingSoundSink::Warning, RecordingSoundSink::Warning}));
}

// A scan that ends without data asks nothing (the scan profile suite follows a saved scan).
void TestApp::scanWithoutDataAsksNothing()
{
    AppFixture f;
    f.Start();
    testing::WhenModal([](QWidget* w) { w->close(); });
    f.meter->nextScan.Clear();
    f.meter->Emit(VantrelCntl::Event::ScanReady);
    QCOMPARE(testing::PendingModals(), 1);
}

// File > New through the chooser: the title names the file, Close is offered, the recent files list
// it; Close takes both back. (The crash suite follows readings into an open file.)
void TestApp::dataFileChangesReachTheWindow()
{
    AppFixture f;
    f.Start();
    const QString title = QStringLiteral("DOI/Haze Meter");
    const QString path = f.dir.filePath(QStringLiteral("run.csv"));
    testing::AnswerFileDialog(path, QStringLiteral("New"));
    f.Find(QStringLiteral("mnuFileNew"))->trigger();
    QCOMPARE(f.app->windowTitle(), title + QStringLiteral(" - ") + path);
    QVERIFY(f.Find(QStringLiteral("mnuFileClose"))->isEnabled());
    QCOMPARE(f.Find(QStringLiteral("mnuFileRecent1"))->toolTip(), path);
    f.Find(QStringLiteral("mnuFileClose"))->trigger();
    QCOMPARE(f.app->windowTitle(), title);
    QVERIFY(!f.Find(QStringLiteral("mnuFileClose"))->isEnabled());
}

void TestApp::everyControlHasAnAccessibleName()
{
    AppFixture f;
    f.Start();
    f.meter->SetNextReading(80, 90, 1, 2);
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QStringList unnamed;
    for (QWidget* w : f.app->findChildren<QWidget*>()) {
        if (!w->isVisible()
            || !(qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QLabel*>(w)))
            continue;
        QAccessibleInterface* ai = QAccessible::queryAccessibleInterface(w);
        if (ai && !ai->text(QAccessible::Name).isEmpty()) continue;
        // A label that shows an empty status panel has nothing to say yet.
        if (auto* label = qobject_cast<QLabel*>(w); label && label->text().isEmpty() && label->pixmap().isNull())
            continue;
        unnamed << w->objectName() + QLatin1Char('/') + QString::fromLatin1(w->metaObject()->className());
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
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
    QTest::addColumn<int>("dialog");
    for (int i = 0; i < int(std::size(kDialogs)); ++i) QTest::newRow(kDialogs[i].name) << i;
}

// In every dialog Enter presses the button that has the focus, and the dialog's default button
// only when the focus is on another kind of control.
void TestApp::enterPressesTheFocusedButtonElseTheDefault()
{
    QFETCH(int, dialog);
    RecordingSoundSink sounds;
    support::SetSounds(&sounds);
    Preferences prefs;
    const auto make = [&] { return std::unique_ptr<QDialog>(kDialogs[dialog].make(prefs)); };
    QStringList buttons;
    const std::unique_ptr<QDialog> first = make();
    for (QPushButton* b : first->findChildren<QPushButton*>())
        if (!b->isHidden()) buttons << b->objectName();
    QVERIFY(!buttons.isEmpty());
    for (const QString& name : buttons) {
        const std::unique_ptr<QDialog> d = make();
        auto* button = d->findChild<QPushButton*>(name);
        d->show();
        if (!button->isEnabled()) continue;
        QPushButton* pressed = PressEnterOn(d.get(), button);
        QVERIFY2(pressed == button,
                 qPrintable(name + QStringLiteral(" focused, pressed: ")
                            + (pressed ? pressed->objectName() : QStringLiteral("none"))));
    }
    // A text box or a check box with the focus: the default button.
    const std::unique_ptr<QDialog> d = make();
    QWidget* other = nullptr;
    for (QWidget* w : d->findChildren<QWidget*>()) {
        auto* edit = qobject_cast<QLineEdit*>(w);
        if (((edit && !edit->isReadOnly()) || qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w))
            && w->isEnabled()) {
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

void TestApp::everyDialogOpensOnTheFirstOfItsTabOrder()
{
    QFETCH(int, dialog);
    Preferences prefs;
    const std::unique_ptr<QDialog> d(kDialogs[dialog].make(prefs));
    if (auto* properties = qobject_cast<dlgAppProperties*>(d.get())) properties->mDigits = 2;
    d->show();
    QVERIFY(QTest::qWaitForWindowActive(d.get()));
    QCOMPARE(FocusName(), QLatin1String(kDialogs[dialog].firstFocus));
    // The About box shows the program's icon.
    if (auto* icon = d->findChild<QLabel*>(QStringLiteral("picIcon"))) QVERIFY(!icon->pixmap().isNull());
    // Tab enters the digits group on the chosen option and leaves it with the next Tab.
    if (auto* sounds = d->findChild<QWidget*>(QStringLiteral("chkSounds"))) {
        sounds->setFocus(Qt::TabFocusReason);
        for (const char* next : {"rad2Digit", "btnCancel"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(FocusName(), QLatin1String(next));
        }
    }
}

// Cancel is the default button, also while it is hidden: Enter with no button focused answers
// Cancel either way.
void TestApp::yesNoEnterWithoutFocusAnswersCancel_data()
{
    QTest::addColumn<bool>("hideCancel");
    QTest::newRow("Cancel shown") << false;
    QTest::newRow("Cancel hidden") << true;
}

void TestApp::yesNoEnterWithoutFocusAnswersCancel()
{
    QFETCH(bool, hideCancel);
    dlgYesNo question;
    question.HideCancel = hideCancel;
    bool closedByEnter = false;
    testing::WhenModal([&](QWidget* w) {
        // The dialog's own focus child, not the application's: the latter stays empty until the
        // window manager has activated the dialog, and the Yes button would then take the key.
        if (QWidget* focused = w->focusWidget()) focused->clearFocus();
        QTest::keyClick(w, Qt::Key_Return);
        closedByEnter = !w->isVisible();
        if (!closedByEnter) w->close();
    });
    question.exec();
    QVERIFY(closedByEnter);
    QCOMPARE(question.UserSelection, int16_t(dlgYesNo::Cancel));
}

// A damaged line costs that line only: the operator is told once, with the file's path, and no
// password warning comes, the stored password being read.
void TestApp::damagedSettingsFileIsReported()
{
    AppFixture f;
    f.Store(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("Hkjd"));
    QFile file(f.iniPath);
    QVERIFY(file.open(QIODevice::Append) && file.write("[Tabs\n") > 0);
    file.close();
    QString told;
    testing::WhenModal(
        [&told](QWidget* w) {
            told = static_cast<QMessageBox*>(w)->text();
            static_cast<QMessageBox*>(w)->accept();
        },
        QStringLiteral("Settings File Error"));
    f.Start(false);
    QVERIFY2(told.contains(f.iniPath), qPrintable(told));
    QCOMPARE(testing::AnsweredTitles(), QStringList{QStringLiteral("Settings File Error")});
}

// A second start of the program for the same settings folder asks the running copy to come to
// the front and ends; a copy with a settings folder of its own runs beside it.
void TestApp::oneCopyPerSettingsFolder()
{
    QTemporaryDir runtime, one, two;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    SingleCopy running(one.filePath(QStringLiteral("Glimora"))), beside(two.filePath(QStringLiteral("Glimora")));
    QSignalSpy asked(&running, &SingleCopy::Asked);
    QCOMPARE(running.Start(), SingleCopy::Outcome::Alone);
    QCOMPARE(beside.Start(), SingleCopy::Outcome::Alone);
    QProcess second;
    second.setEnvironment(QProcess::systemEnvironment() << QStringLiteral("XDG_CONFIG_HOME=") + one.path());
    second.start(QStringLiteral(GLIMORA_PROGRAM), QStringList());
    QVERIFY(second.waitForFinished(30000) && second.exitStatus() == QProcess::NormalExit && second.exitCode() == 0);
    QTRY_COMPARE(asked.size(), 1);
    qunsetenv("XDG_RUNTIME_DIR");
}

QTEST_MAIN(TestApp)
void TestApp::windowsOpenInsideTheScreen_data()
{
    QTest::addColumn<QRect>("wanted");
    QTest::addColumn<QRect>("expected");
    // On a screen of 1280 by 800 whose usable area starts 30 pixels down (a panel above).
    QTest::newRow("inside: left where it is") << QRect(100, 100, 400, 300) << QRect(100, 100, 400, 300);
    QTest::newRow("touching the edges") << QRect(880, 500, 400, 300) << QRect(880, 500, 400, 300);
    QTest::newRow("past the right edge") << QRect(1000, 100, 400, 300) << QRect(880, 100, 400, 300);
    QTest::newRow("past the bottom") << QRect(100, 700, 400, 300) << QRect(100, 500, 400, 300);
    QTest::newRow("under the panel") << QRect(-50, 0, 400, 300) << QRect(0, 30, 400, 300);
    QTest::newRow("larger than the screen") << QRect(200, 200, 2000, 900) << QRect(0, 30, 1280, 770);
}

void TestApp::windowsOpenInsideTheScreen()
{
    QFETCH(QRect, wanted);
    QFETCH(QRect, expected);
    QCOMPARE(FittedInto(wanted, QRect(0, 30, 1280, 770)), expected);
    QCOMPARE(FittedInto(wanted, QRect()), wanted);  // no screen known: as wanted
}

#include "tst_app.moc"
