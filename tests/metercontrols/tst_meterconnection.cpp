// The real main window on the serial meter control and glimora-meter-emulator's terminal: Meter >
// Connection... from the simulated instrument over to it without a restart, a meter plugged in
// after the program started, a cable pulled during a scan, and a meter of another version.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
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
        QSettings(Path("meter.ini"), QSettings::IniFormat).setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        emulator.start(QStringLiteral(GLIMORA_EMULATOR), QStringList{"--instant", "--store", Path("meter.ini"), "--link", Path("port")} + options);
        return emulator.waitForReadyRead(10000);
    }
    void StartWindow()
    {
        auto store = std::make_unique<support::SettingsStore>(Path("Glimora.ini"));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("KeepAlive"), QStringLiteral("True"));
        slot = new MeterSlot(MeterControlLoader().Create(QStringLiteral("Serial"), {{QStringLiteral("Port"), Path("port")}}, nullptr));
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
        QVERIFY(w.slot->KeepAlive());   // the meter's own value was False
        w.app->close();
        QCOMPARE(support::SettingsStore(w.Path("Glimora.ini")).GetSetting(QStringLiteral("Preferences"), QStringLiteral("KeepAlive")),
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
        testing::WhenModal([&](QWidget* d) {
            told = d->findChild<QLabel*>(QStringLiteral("lblLinkProblem"))->text();
            testing::Click(d, QStringLiteral("btnCancel"));
        }, QStringLiteral("Meter Connection"));
        w.Command("mnuMeterConnection")->trigger();
        QVERIFY2(told.contains(QStringLiteral("speaks version 1")), qPrintable(told));
    }

    void changesOverToTheSerialMeter()
    {
        QTemporaryDir dir;
        auto owned = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
        support::SettingsStore& store = *owned;
        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        const QString meterStore = dir.filePath(QStringLiteral("meter.ini"));
        QSettings(meterStore, QSettings::IniFormat).setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);
        QProcess emulator;
        emulator.start(QStringLiteral(GLIMORA_EMULATOR), {"--instant", "--serial", "EMU00042", "--store", meterStore});
        QVERIFY(emulator.waitForReadyRead(10000));
        const QString port = QString::fromLocal8Bit(emulator.readLine()).trimmed();

        auto* slot = new MeterSlot(new SimulatedMeter({dir.filePath(QStringLiteral("simulated.ini")), true, false}));
        {
            GlimoraApp app(slot, std::move(owned));
            const auto panel = [&](int n) { return app.findChild<QLabel*>(QStringLiteral("SBPanel%1").arg(n))->text(); };
            app.Load();
            QTRY_COMPARE(panel(4), QStringLiteral("Waiting for commands"));
            slot->SetCalIndex(2);   // changed on the meter side: carried over to the next meter

            // The port can be chosen only for a control on a serial port.
            testing::WhenModal([&](QWidget* w) {
                auto* d = qobject_cast<dlgMeterConnection*>(w);
                QVERIFY(d && d->cboControl->currentText() == QStringLiteral("Simulated") && !d->cboPort->isEnabled());
                d->cboControl->setCurrentText(QStringLiteral("Serial"));
                QVERIFY(d->cboPort->isEnabled());
                d->cboPort->setEditText(port);
                testing::Click(d, QStringLiteral("btnOK"));
            }, QStringLiteral("Meter Connection"));
            app.findChild<QAction*>(QStringLiteral("mnuMeterConnection"))->trigger();

            // The window is not held while the new link's handshake runs; its end finishes the change.
            QTRY_COMPARE(panel(1), QStringLiteral("S/N: EMU00042"));
            QTRY_COMPARE(panel(4), QStringLiteral("Waiting for commands"));
            QCOMPARE(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Name")), QStringLiteral("Serial"));
            QCOMPARE(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Port")), port);
            QTRY_COMPARE(slot->CalIndex(), int16_t(2));
            app.close();
        }
        emulator.kill();
        emulator.waitForFinished();
    }
};

QTEST_MAIN(TestMeterConnection)
#include "tst_meterconnection.moc"
