// Meter > Connection...: choose the meter control (and its port and settings) and change over to it
// without restarting: the present link closes as at shutdown, the new one opens as at start-up,
// and the window waits for its handshake through the meter's events.
#include "app/GlimoraApp.h"

#include <QFileInfo>

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
    loader.LoadAll();   // a plug-in that does not load is listed with its reason, not offered
    dlgMeterConnection dialog(this);
    for (const QString& name : loader.Names()) dialog.mControls << *loader.Info(name);
    for (const MeterControlLoader::Problem& problem : loader.Problems())
        dialog.mUnusable << QStringLiteral("%1: %2").arg(QFileInfo(problem.file).fileName(), problem.reason);
    dialog.mName = store.GetSetting(section, QStringLiteral("Name"), QStringLiteral("Simulated"));
    for (const QString& key : store.Keys(section)) dialog.mSettings.insert(key, store.GetSetting(section, key));
    dialog.exec();
    if (!dialog.DoChange || m_stage == Stage::Unloaded) return;   // closed meanwhile (a signal): nothing to change

    // The chosen control's own keys; those of the others stay for when they are chosen again.
    store.SaveSetting(section, QStringLiteral("Name"), dialog.mName);
    for (auto it = dialog.mSettings.cbegin(); it != dialog.mSettings.cend(); ++it) store.SaveSetting(section, it.key(), it.value());
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
    FinishStartupWhenLinked();
}
