// Meter > Connection... in the real main window: from the simulated instrument over to the
// serial meter control on glimora-meter-emulator's terminal, without a restart.
#include <QAction>
#include <QComboBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/GlimoraApp.h"
#include "metercontrols/MeterSlot.h"
#include "metercontrols/dlgMeterConnection.h"
#include "readings/ReadingsModel.h"
#include "simulator/SimulatedMeter.h"
#include "support/SettingsStore.h"
#include "support/Sounds.h"
#include "tests/common/ModalHelper.h"

class TestMeterConnection : public QObject {
    Q_OBJECT

private slots:
    void changesOverToTheSerialMeter()
    {
        QTemporaryDir dir;
        support::SettingsStore store(dir.filePath(QStringLiteral("Glimora.ini")));
        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        support::SettingsStore::SetInstance(&store);
        support::RecordingSoundSink sounds;
        support::SetSounds(&sounds);
        const QString meterStore = dir.filePath(QStringLiteral("meter.ini"));
        QSettings(meterStore, QSettings::IniFormat).setValue(QStringLiteral("Instrument/OccasionalInvalidReadings"), false);

        QProcess emulator;
        emulator.start(QStringLiteral(GLIMORA_EMULATOR), {"--instant", "--serial", "EMU00042", "--store", meterStore});
        QVERIFY(emulator.waitForReadyRead(10000));
        const QString port = QString::fromLocal8Bit(emulator.readLine()).trimmed();

        SimulatedMeterOptions o;
        o.storePath = dir.filePath(QStringLiteral("simulated.ini"));
        o.zeroDelays = true;
        o.showPanel = false;
        auto* slot = new MeterSlot(new SimulatedMeter(o));
        {
            GlimoraApp app(slot);
            app.Load();
            QTRY_COMPARE(app.PanelText(4), QStringLiteral("Waiting for commands"));
            slot->SetCalIndex(2);   // changed on the meter side: carried over to the next meter

            testing::WhenModal([&](QWidget* w) {
                auto* d = qobject_cast<dlgMeterConnection*>(w);
                QVERIFY(d);
                QCOMPARE(d->cboControl->currentText(), QStringLiteral("Simulated"));
                QVERIFY(d->cboControl->findText(QStringLiteral("Serial")) >= 0);
                QVERIFY(!d->cboPort->isEnabled());
                d->cboControl->setCurrentText(QStringLiteral("Serial"));
                QVERIFY(d->cboPort->isEnabled());
                d->cboPort->setEditText(port);
                testing::Click(d, QStringLiteral("btnOK"));
            }, QStringLiteral("Meter Connection"));
            auto* connection = app.findChild<QAction*>(QStringLiteral("mnuMeterConnection"));
            QVERIFY(connection->isEnabled());
            connection->trigger();
            QCOMPARE(testing::PendingModals(), 0);

            QVERIFY(app.VC->Connected());
            QCOMPARE(app.PanelText(1), QStringLiteral("S/N: EMU00042"));
            QTRY_COMPARE(app.PanelText(4), QStringLiteral("Waiting for commands"));
            QCOMPARE(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Name")), QStringLiteral("Serial"));
            QCOMPARE(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Port")), port);
            QCOMPARE(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("BaudRate")), QStringLiteral("115200"));
            QTRY_COMPARE(slot->CalIndex(), int16_t(2));

            app.findChild<QAction*>(QStringLiteral("mnuDataTakeReading"))->trigger();
            QTRY_COMPARE(app.Readings()->RowCount(), 1);
            QTRY_VERIFY(connection->isEnabled());
            app.close();
        }
        support::SetSounds(nullptr);
        support::SettingsStore::SetInstance(nullptr);
        emulator.kill();
        emulator.waitForFinished();
    }
};

QTEST_MAIN(TestMeterConnection)
#include "tst_meterconnection.moc"
