// The real main window on the serial meter control and glimora-meter-emulator's terminal: Meter >
// Connection... from the simulated instrument over to it without a restart, a meter plugged in
// after the program started, a cable pulled during a scan, and a meter of another version.
#include <QAction>
#include <QApplication>
#include <QScreen>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/GlimoraApp.h"
#include "metercontrols/MeterControlLoader.h"
#include "metercontrols/MeterSlot.h"
#include "metercontrols/dlgMeterConnection.h"
#include "simulator/SimulatedMeter.h"
#include "support/SettingsStore.h"
#include "tests/common/ModalHelper.h"

namespace {
// A window on the "Serial" meter control whose port is the link an emulator makes (or will make).
struct SerialWindow {
    QTemporaryDir dir;
    QProcess emulator;
    MeterSlot* slot = nullptr;
    std::unique_ptr<GlimoraApp> app;

    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    bool StartEmulator(const QStringList& options)
    {
        QSettings(Path("meter.ini"), QSettings::IniFormat)
            .setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        emulator.start(QStringLiteral(GLIMORA_EMULATOR),
                       QStringList{"--instant", "--store", Path("meter.ini"), "--link", Path("port")} + options);
        return emulator.waitForReadyRead(10000);
    }
    void StartWindow()
    {
        auto store = std::make_unique<support::SettingsStore>(Path("Glimora.ini"));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("KeepAlive"), QStringLiteral("True"));
        slot = new MeterSlot(
            MeterControlLoader().Create(QStringLiteral("Serial"), {{QStringLiteral("Port"), Path("port")}}, nullptr));
        app = std::make_unique<GlimoraApp>(slot, std::move(store));
        app->Load();
    }
    QString Panel(int n) const { return app->findChild<QLabel*>(QStringLiteral("SBPanel%1").arg(n))->text(); }
    QAction* Command(const char* name) const { return app->findChild<QAction*>(QLatin1String(name)); }
    ~SerialWindow()
    {
        app.reset();
        emulator.kill();
        emulator.waitForFinished();
    }
};
}  // namespace

class TestMeterConnection : public QObject {
    Q_OBJECT

private slots:
    // The meter is plugged in after the program started: it gets the preferences when it links,
    // and at Exit its own values do not overwrite them.
    void lateLinkGetsThePreferences()
    {
        SerialWindow w;
        w.StartWindow();
        QTRY_COMPARE(w.Panel(4), QStringLiteral("No haze meter found"));
        QVERIFY(w.StartEmulator({}));
        QTRY_COMPARE_WITH_TIMEOUT(w.Panel(4), QStringLiteral("Waiting for commands"), 15000);
        QVERIFY(w.slot->KeepAlive());  // the meter's own value was False
        w.app->close();
        QCOMPARE(support::SettingsStore(w.Path("Glimora.ini"))
                     .GetSetting(QStringLiteral("Preferences"), QStringLiteral("KeepAlive")),
                 QStringLiteral("True"));
    }

    // The cable is pulled while a scan is fetched and the meter finishes meanwhile: plugged back,
    // the window shows the meter waiting and offers its commands again.
    void pullMidScanAndRelink()
    {
        SerialWindow w;
        QVERIFY(w.StartEmulator({"--unplug-on", "FETC:SCAN", "--replug-after", "300"}));
        w.StartWindow();
        QTRY_COMPARE_WITH_TIMEOUT(w.Panel(4), QStringLiteral("Waiting for commands"), 10000);
        w.Command("mnuDataScanData")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(w.Panel(4), QStringLiteral("No haze meter found"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(w.Panel(4), QStringLiteral("Waiting for commands"), 10000);
        QVERIFY(w.Command("mnuDataTakeReading")->isEnabled());
    }

    // A meter that speaks the old version of the command set is not linked, and the connection
    // dialog says why.
    void otherVersionIsRefused()
    {
        SerialWindow w;
        QVERIFY(w.StartEmulator({"--protocol", "1"}));
        w.StartWindow();
        QTRY_COMPARE_WITH_TIMEOUT(w.Panel(4), QStringLiteral("No haze meter found"), 10000);
        QString told;
        testing::WhenModal(
            [&](QWidget* d) {
                told = d->findChild<QLabel*>(QStringLiteral("lblLinkProblem"))->text();
                testing::Click(d, QStringLiteral("btnCancel"));
            },
            QStringLiteral("Meter Connection"));
        w.Command("mnuMeterConnection")->trigger();
        QVERIFY2(told.contains(QStringLiteral("speaks version 1")), qPrintable(told));
    }

    // Each setting of the metadata gets the field of its type, showing the stored value (its
    // default when the stored one is out of range); what is typed is kept, within range.
    void buildsItsFieldsFromTheMetadata_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("text") << R"({"Key": "K", "Type": "text", "Default": "d"})"
                              << "txtK"
                              << "s"
                              << "s"
                              << "t"
                              << "t";
        QTest::newRow("integer") << R"({"Key": "K", "Type": "integer", "Default": 3, "Minimum": 1, "Maximum": 9})"
                                 << "spnK"
                                 << "10"
                                 << "3"
                                 << "7"
                                 << "7";
        QTest::newRow("integer offered")
            << R"({"Key": "K", "Type": "integer", "Default": 3, "Minimum": 1, "Maximum": 99, "Choices": [2, 4]})"
            << "cboK"
            << "40"
            << "40"
            << "100"
            << "40";
        QTest::newRow("choice") << R"({"Key": "K", "Type": "choice", "Choices": ["a", "b", "c"]})"
                                << "cboK"
                                << "z"
                                << "a"
                                << "c"
                                << "c";
        QTest::newRow("bool") << R"({"Key": "K", "Type": "bool", "Default": true})"
                              << "chkK"
                              << "False"
                              << "False"
                              << "True"
                              << "True";
    }
    void buildsItsFieldsFromTheMetadata()
    {
        QFETCH(QString, setting);
        QFETCH(QString, field);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        dlgMeterConnection d;
        for (const QString& json :
             {QStringLiteral(R"({"Name": "Bare"})"),
              QStringLiteral(R"({"Name": "Own", "NeedsPort": true, "Settings": [%1]})").arg(setting)})
            d.mControls << *MeterControlInfo::FromJson(QJsonDocument::fromJson(json.toUtf8()).object(), nullptr);
        d.mUnusable << QStringLiteral("/x/old.so: built for version 1");
        d.mName = QStringLiteral("Bare");
        d.mSettings = {{"K", stored}, {"Port", "/dev/ttyX"}};
        d.show();
        QVERIFY(!d.cboPort->isVisible() && !d.findChild<QWidget*>(field)
                && d.txtUnusable->toPlainText().contains("old.so"));
        d.cboControl->setCurrentText(QStringLiteral("Own"));
        auto* w = d.findChild<QWidget*>(field);
        QVERIFY(w && d.cboPort->isVisible() && !w->accessibleName().isEmpty());
        const auto edit = qobject_cast<QLineEdit*>(w);
        const auto spin = qobject_cast<QSpinBox*>(w);
        const auto box = qobject_cast<QComboBox*>(w);
        const auto check = qobject_cast<QCheckBox*>(w);
        QCOMPARE(edit                     ? edit->text()
                     : spin               ? spin->text()
                     : box                ? box->currentText()
                     : check->isChecked() ? "True"
                                          : "False",
                 shown);
        if (edit) edit->setText(typed);
        else if (spin) spin->setValue(typed.toInt());
        else if (box && box->isEditable()) box->setEditText(typed);
        else if (box) box->setCurrentText(typed);
        else check->setChecked(typed == QLatin1String("True"));
        // Kept across a change of control, and given back for the chosen one only.
        d.cboControl->setCurrentText(QStringLiteral("Bare"));
        d.cboControl->setCurrentText(QStringLiteral("Own"));
        QTest::mouseClick(d.btnOK, Qt::LeftButton);
        QCOMPARE(d.mSettings, (QMap<QString, QString>{{"K", kept}, {"Port", "/dev/ttyX"}}));
    }

    // The stable names of /dev/serial/by-id come first, in place of the devices they lead to.
    void offersStablePortNamesFirst()
    {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("by-id"));
        for (const char* device : {"ttyS0", "ttyUSB0", "ttyUSB1"})
            QVERIFY(QFile(dir.filePath(QLatin1String(device))).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(dir.filePath("ttyUSB1"), dir.filePath("by-id/usb-Meter_A-if00")));
        QVERIFY(QFile::link(dir.filePath("ttyUSB9"), dir.filePath("by-id/usb-Gone-if00")));  // its device is unplugged
        const auto choices = SerialPortChoices(
            {{dir.filePath("ttyS0"), ""}, {dir.filePath("ttyUSB0"), "b"}, {dir.filePath("ttyUSB1"), "a"}},
            dir.filePath(QStringLiteral("by-id")));
        QStringList paths;
        for (const SerialPortChoice& c : choices) paths << c.path.mid(dir.path().size() + 1) + ' ' + c.about;
        QCOMPARE(paths, (QStringList{"by-id/usb-Meter_A-if00 a", "ttyS0 ", "ttyUSB0 b"}));
    }

    void changesOverToTheSerialMeter()
    {
        QTemporaryDir dir;
        auto owned = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
        support::SettingsStore& store = *owned;
        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        const QString meterStore = dir.filePath(QStringLiteral("meter.ini"));
        QSettings(meterStore, QSettings::IniFormat)
            .setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        QProcess emulator;
        emulator.start(QStringLiteral(GLIMORA_EMULATOR), {"--instant", "--serial", "EMU00042", "--store", meterStore});
        QVERIFY(emulator.waitForReadyRead(10000));
        const QString port = QString::fromLocal8Bit(emulator.readLine()).trimmed();

        auto* slot = new MeterSlot(new SimulatedMeter({dir.filePath(QStringLiteral("simulated.ini")), true, false}));
        {
            GlimoraApp app(slot, std::move(owned));
            const auto panel = [&](int n) {
                return app.findChild<QLabel*>(QStringLiteral("SBPanel%1").arg(n))->text();
            };
            app.Load();
            QTRY_COMPARE(panel(4), QStringLiteral("Waiting for commands"));
            slot->SetCalIndex(2);  // changed on the meter side: carried over to the next meter

            // The port can be chosen only for a control on a serial port; nothing here is unusable.
            testing::WhenModal(
                [&](QWidget* w) {
                    auto* d = qobject_cast<dlgMeterConnection*>(w);
                    QVERIFY(d && d->cboControl->currentText() == QStringLiteral("Simulated")
                            && !d->cboPort->isVisible());
                    d->cboControl->setCurrentText(QStringLiteral("Serial"));
                    QVERIFY(d->cboPort->isVisible() && !d->txtUnusable->isVisible());
                    // Without a port the serial meter control is refused with a word; the dialog stays for one.
                    d->cboPort->setEditText(QString());
                    testing::WhenModal(
                        [d, &port](QWidget* box) {
                            static_cast<QDialog*>(box)->accept();
                            d->cboPort->setEditText(port);
                            testing::ClickLater(d, QStringLiteral("btnOK"));
                        },
                        QStringLiteral("Meter Connection"));
                    testing::ClickLater(d, QStringLiteral("btnOK"));
                },
                QStringLiteral("Meter Connection"));
            app.findChild<QAction*>(QStringLiteral("mnuMeterConnection"))->trigger();

            // The window is not held while the new link's handshake runs; its end finishes the change.
            QTRY_COMPARE(panel(1), QStringLiteral("S/N: EMU00042"));
            QTRY_COMPARE(panel(4), QStringLiteral("Waiting for commands"));
            QCOMPARE(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Name")),
                     QStringLiteral("Serial"));
            QCOMPARE(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Port")), port);
            QTRY_COMPARE(slot->CalIndex(), int16_t(2));
            app.close();
        }
        emulator.kill();
        emulator.waitForFinished();
    }

    // A front panel the operator closed comes back through the Meter menu, inside the screen.
    void closedFrontPanelComesBack()
    {
        QTemporaryDir dir;
        auto store = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        GlimoraApp app(new MeterSlot(MeterControlLoader().Create(QStringLiteral("Simulated"), {}, nullptr)),
                       std::move(store));
        app.Load();
        auto* show = app.findChild<QAction*>(QStringLiteral("mnuMeterShowWindow"));
        QVERIFY(show && show->isEnabled());
        for (int round = 0; round < 2; ++round) {
            show->trigger();
            const QWidgetList windows = QApplication::topLevelWidgets();
            const auto panel = std::find_if(windows.begin(), windows.end(), [](QWidget* w) {
                return w->objectName() == QLatin1String("frontPanelWindow");
            });
            QVERIFY(panel != windows.end() && (*panel)->isVisible());
            QVERIFY((*panel)->screen()->availableGeometry().contains((*panel)->frameGeometry()));
            (*panel)->close();
        }
    }
};

QTEST_MAIN(TestMeterConnection)
#include "tst_meterconnection.moc"
