// Meter > Connection...: choose the meter control (and its serial port) and change over to it
// without restarting: the present link closes as at shutdown, the new one opens as at start-up.
#include <QCoreApplication>

#include "app/GlimoraApp.h"
#include "meter/StatusDisplay.h"
#include "metercontrols/MeterControlLoader.h"
#include "metercontrols/MeterControlPlugin.h"
#include "metercontrols/MeterSlot.h"
#include "metercontrols/dlgMeterConnection.h"
#include "support/SettingsStore.h"

void GlimoraApp::MeterConnectionCommand()
{
    support::SettingsStore& store = support::SettingsStore::Instance();
    const QString section = QStringLiteral("MeterControl");
    MeterControlLoader loader;
    dlgMeterConnection dialog(this);
    dialog.mControls = loader.Names();
    for (const QString& name : dialog.mControls)
        if (loader.Plugin(name)->UsesSerialPort()) dialog.mSerialControls << name;
    dialog.mName = store.GetSetting(section, QStringLiteral("Name"), QStringLiteral("Simulated"));
    dialog.mPort = store.GetSetting(section, QStringLiteral("Port"));
    bool ok = false;
    const int baud = store.GetSetting(section, QStringLiteral("BaudRate")).toInt(&ok);
    if (ok && baud > 0) dialog.mBaudRate = baud;
    dialog.exec();
    if (!dialog.DoChange) return;

    store.SaveSetting(section, QStringLiteral("Name"), dialog.mName);
    if (dialog.mSerialControls.contains(dialog.mName)) {
        store.SaveSetting(section, QStringLiteral("Port"), dialog.mPort);
        store.SaveSetting(section, QStringLiteral("BaudRate"), QString::number(dialog.mBaudRate));
    }
    store.Sync();
    auto* slot = qobject_cast<MeterSlot*>(VC);
    if (!slot) return;   // a window built around a fixed meter control: the choice counts from the next start

    // Closed as at shutdown: what the meter mirrors of the preferences is read back first.
    Prefs.CalIndex = VC->CalIndex();
    Prefs.KeepAlive = VC->KeepAlive();
    VC->SetConnected(false);
    QMap<QString, QString> settings;
    for (const QString& key : store.Keys(section)) settings.insert(key, store.GetSetting(section, key));
    slot->Replace(loader.Create(dialog.mName, settings, nullptr));

    // Opened as at start-up.
    m_status->MeterBusy = false;
    UpdateCommands();
    VC->SetConnected(true);
    while (VC->ConnectState() == 1) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    VC->SetCalIndex(Prefs.CalIndex);
    VC->SetKeepAlive(Prefs.KeepAlive);
    VC->SetEnableButton(Prefs.EnableButton);
    VC->SetConstDC(Prefs.CalConst);
    ShowMeterStatus();
    if (MeterControlPlugin* plugin = loader.Plugin(dialog.mName)) plugin->ShowWindows(slot->Control(), this);
}
