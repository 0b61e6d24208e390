#include "support/Folders.h"

#include <QDir>
#include <QFileInfo>

#include "support/SettingsStore.h"

namespace support {

namespace {
const QString kSection = QStringLiteral("Folders");
}

QString LastFolder(const SettingsStore& store, const QString& kind)
{
    const QString folder = store.GetSetting(kSection, kind);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void RememberFolder(SettingsStore& store, const QString& kind, const QString& chosenFile)
{
    const QString folder = QFileInfo(chosenFile).absolutePath();
    if (store.GetSetting(kSection, kind) != folder) store.SaveSetting(kSection, kind, folder);
}

}  // namespace support
