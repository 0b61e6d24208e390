#pragma once
// Where the file dialogs start: the folder in which the operator last chose a file of the same
// kind, kept in section [Folders] of the settings store.
#include <QString>

namespace support {

class SettingsStore;

inline const QString DataFilesFolder = QStringLiteral("DataFiles");
inline const QString ScanFilesFolder = QStringLiteral("ScanFiles");
inline const QString ImagesFolder = QStringLiteral("Images");

// The folder kept for the kind; the home folder before any was kept, or when it is gone.
QString LastFolder(const SettingsStore& store, const QString& kind);
// Keeps the folder of a file just chosen for the kind (in memory; saved with the settings).
void RememberFolder(SettingsStore& store, const QString& kind, const QString& chosenFile);

}  // namespace support
