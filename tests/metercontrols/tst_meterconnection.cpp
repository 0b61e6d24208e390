// Meter > Connection... in the real main window: from the simulated instrument over to the
// serial meter control on glimora-meter-emulator's terminal, without a restart.
#include <QAction>
#include <QApplication>
#include <QScreen>
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

class TestMeterConnection : public QObject {
    Q_OBJECT

private slots:
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
                QVERIFY(d->cboBaudRate->findText(QStringLiteral("50")) < 0 && d->cboBaudRate->findText(QStringLiteral("921600")) >= 0);
                // Without a port the serial meter control is refused with a word; the dialog stays for one.
                d->cboPort->setEditText(QString());
                testing::WhenModal([d, &port](QWidget* box) {
                    static_cast<QDialog*>(box)->accept();
                    d->cboPort->setEditText(port);
                    testing::ClickLater(d, QStringLiteral("btnOK"));
                }, QStringLiteral("Meter Connection"));
                testing::ClickLater(d, QStringLiteral("btnOK"));
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

    // A front panel the operator closed comes back through the Meter menu, inside the screen.
    void closedFrontPanelComesBack()
    {
        QTemporaryDir dir;
        auto store = std::make_unique<support::SettingsStore>(dir.filePath(QStringLiteral("Glimora.ini")));
        store->SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("x"));
        GlimoraApp app(new MeterSlot(MeterControlLoader().Create(QStringLiteral("Simulated"), {}, nullptr)), std::move(store));
        app.Load();
        auto* show = app.findChild<QAction*>(QStringLiteral("mnuMeterShowWindow"));
        QVERIFY(show && show->isEnabled());
        for (int round = 0; round < 2; ++round) {
            show->trigger();
            const QWidgetList windows = QApplication::topLevelWidgets();
            const auto panel = std::find_if(windows.begin(), windows.end(),
                                            [](QWidget* w) { return w->objectName() == QLatin1String("frontPanelWindow"); });
            QVERIFY(panel != windows.end() && (*panel)->isVisible());
            QVERIFY((*panel)->screen()->availableGeometry().contains((*panel)->frameGeometry()));
            (*panel)->close();
        }
    }
};

QTEST_MAIN(TestMeterConnection)
#include "tst_meterconnection.moc"
