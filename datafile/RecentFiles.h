#pragma once
// The last four data files opened or created, most recent first: kept in the settings store
// (section "Recent Files", keys "RecentFile1" to "RecentFile4") and shown at the end of the
// File menu as a separator and up to four entries captioned with the full path.
#include <QObject>
#include <QString>
#include <array>
#include <cstdint>

class QAction;
class QMenu;
namespace support {
class SettingsStore;
}

class RecentFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int Entries = 4;

    // Appends the five menu elements (hidden until LoadRecentFiles) to the end of fileMenu; the
    // list is kept in `store`.
    RecentFiles(support::SettingsStore& store, QMenu* fileMenu, QObject* parent = nullptr);

    // Element 0 is the separator, 1 to 4 the entries (objectNames "mnuFileRecent0" to "4").
    std::array<QAction*, Entries + 1> mnuFileRecent{};

    // The path shown by entry 1 to 4, empty text when the entry is unused.
    QString Caption(int index) const;

    // Rebuilds the menu from the settings store.
    void LoadRecentFiles();
    // How many entries must move down to make room for path at the top: p - 1 when entry p
    // shows exactly path (case counts), else 3.
    int16_t FindRecentFile(const QString& path) const;
    // Puts path at the top, saves the store and rebuilds the menu.
    void AddRecentFile(const QString& path);

signals:
    // An entry was chosen; the owner opens the file (as an existing one).
    void Opened(const QString& path);

private:
    void SetCaption(int index, const QString& path);
    support::SettingsStore& m_store;
    std::array<QString, Entries + 1> m_paths;
};

namespace datafile {
QString RecentSection();
QString RecentKey(int position);
}  // namespace datafile
