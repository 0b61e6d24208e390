// Meter > Connection...: choose the meter control (and its port and settings) and change over to it
// without restarting: the link closes the present control as at shutdown and opens the new one
// as at start-up.
#include "app/GlimoraApp.h"

#include <QFileInfo>

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
    loader.LoadAll();  // a plug-in that does not load is listed with its reason, not offered
    dlgMeterConnection dialog(this);
    for (const QString& name : loader.Names()) dialog.mControls << *loader.Info(name);
    for (const MeterControlLoader::Problem& problem : loader.Problems())
        dialog.mUnusable << QStringLiteral("%1: %2").arg(QFileInfo(problem.file).fileName(), problem.reason);
    dialog.mName = store.GetSetting(section, QStringLiteral("Name"), QStringLiteral("Simulated"));
    for (const QString& key : store.Keys(section)) dialog.mSettings.insert(key, store.GetSetting(section, key));
    // A control that could not link may say why (a meter that speaks another version, a port
    // that does not open).
    auto* slot = qobject_cast<MeterSlot*>(VC);
    if (!VC->Connected()) dialog.mLinkProblem = (slot ? slot->Control() : VC)->property("linkProblem").toString();
    dialog.exec();
    if (!dialog.DoChange || !m_link->IsOpen()) return;  // closed meanwhile (a signal): nothing to change

    // The chosen control's own keys; those of the others stay for when they are chosen again.
    store.SaveSetting(section, QStringLiteral("Name"), dialog.mName);
    for (auto it = dialog.mSettings.cbegin(); it != dialog.mSettings.cend(); ++it)
        store.SaveSetting(section, it.key(), it.value());
    store.Sync();
    // A window built around a fixed meter control takes the choice from the next start.
    const bool changed = m_link->ChangeControl([&] {
        QMap<QString, QString> settings;
        for (const QString& key : store.Keys(section)) settings.insert(key, store.GetSetting(section, key));
        return loader.Create(dialog.mName, settings, nullptr);
    });
    if (!changed) return;
    if (MeterControlPlugin* plugin = loader.Plugin(dialog.mName)) plugin->ShowWindows(slot->Control(), this);
    FindMeterWindow();
}

namespace {
// The plug-in of the meter control in use, by the name in the settings.
MeterControlPlugin* PluginInUse(MeterControlLoader& loader, const support::SettingsStore& store)
{
    return loader.Plugin(
        store.GetSetting(QStringLiteral("MeterControl"), QStringLiteral("Name"), QStringLiteral("Simulated")));
}
}  // namespace

void GlimoraApp::FindMeterWindow()
{
    MeterControlLoader loader;
    const MeterControlPlugin* plugin = PluginInUse(loader, *m_store);
    mnuMeterShowWindow->setEnabled(plugin && plugin->HasWindows() && qobject_cast<MeterSlot*>(VC));
}

void GlimoraApp::ShowMeterWindowCommand()
{
    MeterControlLoader loader;
    auto* slot = qobject_cast<MeterSlot*>(VC);
    if (MeterControlPlugin* plugin = PluginInUse(loader, *m_store); plugin && slot)
        plugin->OpenWindows(slot->Control(), this);
}
