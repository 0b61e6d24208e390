// Meter > Connection...: choose the meter control (and its serial port) and change over to it
// without restarting: the present link closes as at shutdown, the new one opens as at start-up,
// and the window waits for its handshake through the meter's events.
#include "app/GlimoraApp.h"
#include "meter/StatusDisplay.h"
#include "metercontrols/MeterControlLoader.h"
#include "metercontrols/MeterControlPlugin.h"
#include "metercontrols/MeterSlot.h"
#include "metercontrols/dlgMeterConnection.h"
#include "support/SettingsStore.h"

void GlimoraApp::MeterConnectionCommand()
{
    if (m_stage == Stage::Created || m_stage == Stage::Unloaded) return;
    support::SettingsStore& store = *m_store;
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
    if (!dialog.DoChange || m_stage == Stage::Unloaded) return;   // closed meanwhile (a signal): nothing to change

    store.SaveSetting(section, QStringLiteral("Name"), dialog.mName);
    if (dialog.mSerialControls.contains(dialog.mName)) {
        store.SaveSetting(section, QStringLiteral("Port"), dialog.mPort);
        store.SaveSetting(section, QStringLiteral("BaudRate"), QString::number(dialog.mBaudRate));
    }
    store.Sync();
    auto* slot = qobject_cast<MeterSlot*>(VC);
    if (!slot) return;   // a window built around a fixed meter control: the choice counts from the next start

    // Closed as at shutdown: what a linked meter mirrors of the preferences is read back first.
    // A change during the first handshake still finishes the whole start-up on the new meter.
    const Stage next = m_stage == Stage::Running ? Stage::Relinking : Stage::WaitingForLink;
    if (m_stage == Stage::Running) {
        Prefs.CalIndex = VC->CalIndex();
        Prefs.KeepAlive = VC->KeepAlive();
    }
    m_stage = Stage::Changing;
    VC->SetConnected(false);
    QMap<QString, QString> settings;
    for (const QString& key : store.Keys(section)) settings.insert(key, store.GetSetting(section, key));
    slot->Replace(loader.Create(dialog.mName, settings, nullptr));

    // Opened as at start-up: the rest runs when the new control reports the end of its handshake.
    m_stage = next;
    m_status->SetMeterBusy(false);
    UpdateCommands();
    VC->SetConnected(true);
    if (MeterControlPlugin* plugin = loader.Plugin(dialog.mName)) plugin->ShowWindows(slot->Control(), this);
    FindMeterWindow();
    FinishStartupWhenLinked();
}

namespace {
// The plug-in of the meter control in use, by the name in the settings.
MeterControlPlugin* PluginInUse(const MeterControlLoader& loader, const support::SettingsStore& store)
{
    return loader.Plugin(store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Name"), QStringLiteral("Simulated")));
}
}  // namespace

void GlimoraApp::FindMeterWindow()
{
    const MeterControlLoader loader;
    const MeterControlPlugin* plugin = PluginInUse(loader, *m_store);
    mnuMeterShowWindow->setEnabled(plugin && plugin->HasWindows() && qobject_cast<MeterSlot*>(VC));
}

void GlimoraApp::ShowMeterWindowCommand()
{
    const MeterControlLoader loader;
    auto* slot = qobject_cast<MeterSlot*>(VC);
    if (MeterControlPlugin* plugin = PluginInUse(loader, *m_store); plugin && slot) plugin->OpenWindows(slot->Control(), this);
}
