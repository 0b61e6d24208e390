#include "datafile/RecentFiles.h"

#include <QAction>
#include <QMenu>

#include "support/SettingsStore.h"

namespace datafile {
QString RecentSection()
{
    return QStringLiteral("Recent Files");
}
QString RecentKey(int position)
{
    return QStringLiteral("RecentFile%1").arg(position);
}
}  // namespace datafile

RecentFiles::RecentFiles(support::SettingsStore& store, QMenu* fileMenu, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
    for (int i = 0; i <= Entries; ++i) {
        // Owned by the menu they stand in, so that they are found among the window's controls.
        auto* action = new QAction(fileMenu ? static_cast<QObject*>(fileMenu) : this);
        action->setObjectName(QStringLiteral("mnuFileRecent%1").arg(i));
        action->setSeparator(i == 0);
        action->setVisible(false);
        if (i > 0) {
            connect(action, &QAction::triggered, this, [this, i] {
                const QString path = m_paths[i];
                if (!path.isEmpty()) emit Opened(path);
            });
        }
        if (fileMenu) fileMenu->addAction(action);
        mnuFileRecent[i] = action;
    }
}

QString RecentFiles::Caption(int index) const
{
    return index >= 1 && index <= Entries ? m_paths[index] : QString();
}

void RecentFiles::SetCaption(int index, const QString& path)
{
    m_paths[index] = path;
    QString text = path;
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));  // the path, not a mnemonic
    mnuFileRecent[index]->setText(text);
    mnuFileRecent[index]->setToolTip(path);
    mnuFileRecent[index]->setVisible(!path.isEmpty());
}

void RecentFiles::LoadRecentFiles()
{
    mnuFileRecent[0]->setVisible(false);
    for (int i = 1; i <= Entries; ++i) SetCaption(i, QString());

    const support::SettingsStore& store = m_store;
    const QString section = datafile::RecentSection();
    if (store.GetSetting(section, datafile::RecentKey(1)).isEmpty()) return;

    int i = 0;
    for (int position = 1; position <= Entries; ++position) {
        if (!store.Contains(section, datafile::RecentKey(position))) continue;
        ++i;
        mnuFileRecent[0]->setVisible(true);
        SetCaption(i, store.GetSetting(section, datafile::RecentKey(position)));
    }
}

int16_t RecentFiles::FindRecentFile(const QString& path) const
{
    for (int p = 1; p <= Entries; ++p)
        if (m_paths[p] == path) return static_cast<int16_t>(p - 1);
    return Entries - 1;
}

void RecentFiles::AddRecentFile(const QString& path)
{
    support::SettingsStore& store = m_store;
    const QString section = datafile::RecentSection();
    for (int k = FindRecentFile(path); k >= 1; --k) {
        const QString value = store.GetSetting(section, datafile::RecentKey(k));
        if (!value.isEmpty()) store.SaveSetting(section, datafile::RecentKey(k + 1), value);
    }
    store.SaveSetting(section, datafile::RecentKey(1), path);
    store.Sync();
    LoadRecentFiles();
}
