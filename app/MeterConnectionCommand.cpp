// Meter > Connection...: choose the meter control (and its serial port) and change over to it
// without restarting: the link closes the present control as at shutdown and opens the new one
// as at start-up.
#include "app/GlimoraApp.h"
#include "app/MeterLink.h"
#include "metercontrols/MeterControlLoader.h"
#include "metercontrols/MeterControlPlugin.h"
#include "metercontrols/MeterSlot.h"
#include "metercontrols/dlgMeterConnection.h"
#include "support/SettingsStore.h"

void GlimoraApp::MeterConnectionCommand()
{
    if (!m_link->IsOpen()) return;
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
    // A control that could not link may say why (a meter that speaks another version, a port
    // that does not open).
    auto* slot = qobject_cast<MeterSlot*>(VC);
    if (!VC->Connected()) dialog.mLinkProblem = (slot ? slot->Control() : VC)->property("linkProblem").toString();
    dialog.exec();
    if (!dialog.DoChange || !m_link->IsOpen()) return;   // closed meanwhile (a signal): nothing to change

    store.SaveSetting(section, QStringLiteral("Name"), dialog.mName);
    if (dialog.mSerialControls.contains(dialog.mName)) {
        store.SaveSetting(section, QStringLiteral("Port"), dialog.mPort);
        store.SaveSetting(section, QStringLiteral("BaudRate"), QString::number(dialog.mBaudRate));
    }
    store.Sync();
    // A window built around a fixed meter control takes the choice from the next start.
    const bool changed = m_link->ChangeControl([&] {
        QMap<QString, QString> settings;
        for (const QString& key : store.Keys(section)) settings.insert(key, store.GetSetting(section, key));
        return loader.Create(dialog.mName, settings, nullptr);
    });
    if (!changed) return;
    if (MeterControlPlugin* plugin = loader.Plugin(dialog.mName)) plugin->ShowWindows(slot->Control(), this);
}
