// A damaged or hand-edited settings file: the input becomes the whole INI file, every
// subsystem that keeps settings loads from it, the values must stay inside their ranges, and
// what is saved must load back to the same values.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>

#include "comments/CommentColumns.h"
#include "datafile/RecentFiles.h"
#include "fuzz/FuzzSupport.h"
#include "printing/FontClass.h"
#include "printing/TabClass.h"
#include "settings/Preferences.h"
#include "support/SettingsStore.h"

namespace {

struct Loaded {
    Preferences prefs;
    FontClass headerFont;
    FontClass dataFont;
    TabClass tabs;
    QStringList headers;
    int16_t headerCount = 0;
    QStringList recent;
};

// Loads everything the program loads at start-up from store.
Loaded LoadAll(support::SettingsStore& store, QMenu* menu)
{
    Loaded l;
    SetPreferenceDefaults(l.prefs);
    int warnings = 0;
    LoadPreferences(store, l.prefs, [&warnings] { ++warnings; });
    FUZZ_CHECK(l.prefs.CalIndex >= 0 && l.prefs.CalIndex <= 3);
    FUZZ_CHECK(l.prefs.Digits >= 0 && l.prefs.Digits <= 3);
    FUZZ_CHECK(l.prefs.PasswordProtection == !l.prefs.Password.isEmpty());
    FUZZ_CHECK(warnings == (l.prefs.PasswordProtection ? 0 : 1));

    l.headerFont.ReadProperties(store, QStringLiteral("HeaderFont"));
    l.dataFont.ReadProperties(store, QStringLiteral("DataFont"));
    for (const FontClass* f : {&l.headerFont, &l.dataFont}) {
        FUZZ_CHECK(!f->FontName().isEmpty());
        FontClass copy;
        f->CopyTo(&copy);
        // The copy takes the size only through its bounds.
        FUZZ_CHECK(copy.IsEqual(f) == (f->Size() >= f->MinSize() && f->Size() <= f->MaxSize()));
    }

    l.tabs.ReadProperties(store, QStringLiteral("Tabs"));
    FUZZ_CHECK(l.tabs.TabCount() >= 0 && l.tabs.TabCount() <= TabClass::kMaxTabs);
    for (int i = 1; i <= l.tabs.TabCount(); ++i)
        FUZZ_CHECK(l.tabs.Tabs(i) >= 0 && l.tabs.Tabs(i) <= TabClass::kMaxPosition);
    FUZZ_CHECK(l.tabs.Tabs(0) == 0 && l.tabs.Tabs(l.tabs.TabCount() + 1) == 0);

    CommentColumns comments(store);
    comments.LoadCommentHeaders();
    l.headerCount = comments.CommentHeaderCount;
    FUZZ_CHECK(l.headerCount >= 0 && l.headerCount <= CommentColumns::Columns);
    l.headers = comments.HeadersInUse();
    FUZZ_CHECK(l.headers.size() == l.headerCount);
    for (int k = l.headerCount + 1; k <= CommentColumns::Columns; ++k) FUZZ_CHECK(comments.CommentHeader(k).isEmpty());
    if (l.headerCount >= 1) FUZZ_CHECK(!comments.CommentHeader(l.headerCount).isEmpty());

    RecentFiles recent(store, menu);
    recent.LoadRecentFiles();
    int shown = 0;
    for (int i = 1; i <= RecentFiles::Entries; ++i) {
        l.recent.append(recent.Caption(i));
        FUZZ_CHECK(recent.mnuFileRecent[i]->isVisible() == !recent.Caption(i).isEmpty());
        if (!recent.Caption(i).isEmpty()) ++shown;
        const int16_t moves = recent.FindRecentFile(recent.Caption(i));
        FUZZ_CHECK(moves >= 0 && moves <= RecentFiles::Entries - 1);
    }
    FUZZ_CHECK(shown <= RecentFiles::Entries);
    if (recent.Caption(1).isEmpty()) FUZZ_CHECK(shown == 0 && !recent.mnuFileRecent[0]->isVisible());
    if (shown > 0) FUZZ_CHECK(recent.mnuFileRecent[0]->isVisible());
    return l;
}

bool SameTabs(const TabClass& a, const TabClass& b)
{
    if (a.TabCount() != b.TabCount()) return false;
    for (int i = 1; i <= a.TabCount(); ++i)
        if (a.Tabs(i) != b.Tabs(i)) return false;
    return true;
}

bool SamePreferences(const Preferences& a, const Preferences& b)
{
    return a.CalIndex == b.CalIndex && a.KeepAlive == b.KeepAlive && a.NoFile == b.NoFile && a.SoundOn == b.SoundOn &&
           a.EnableButton == b.EnableButton && a.CalConst == b.CalConst && a.Digits == b.Digits &&
           a.PixelAvg == b.PixelAvg && a.Password == b.Password && a.PasswordProtection == b.PasswordProtection;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argc > 0 ? (*argv)[0] : const_cast<char*>("fuzz_settings")), nullptr};
    static QApplication app(qtArgc, qtArgv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024) return 0;
    // A new name for every input: nothing read for one input can linger for the next.
    static quint64 serial = 0;
    const QString path = fuzzing::ScratchDir() + QStringLiteral("/Glimora-%1.ini").arg(++serial);
    if (!fuzzing::WriteFile(path, data, size)) return 0;

    QMenu menu;
    {
        support::SettingsStore store(path);
        const Loaded first = LoadAll(store, &menu);

        // Shutdown writes preferences, fonts and tabs back into the same file.
        bool saved = SavePreferences(store, first.prefs);
        saved = first.headerFont.WriteProperties(store, QStringLiteral("HeaderFont")) && saved;
        saved = first.dataFont.WriteProperties(store, QStringLiteral("DataFont")) && saved;
        saved = first.tabs.WriteProperties(store, QStringLiteral("Tabs")) && saved;

        // Whatever readable file it was, the program can save its settings again; a file it could
        // not read at all stays as it was.
        FUZZ_CHECK(saved == store.Readable());
        if (!saved) {
            QFile kept(path);
            FUZZ_CHECK(kept.open(QIODevice::ReadOnly) && kept.readAll() == QByteArray(reinterpret_cast<const char*>(data), int(size)));
        } else {
            FUZZ_CHECK(!store.Dirty());
            support::SettingsStore again(path);
            const Loaded second = LoadAll(again, &menu);
            FUZZ_CHECK(SamePreferences(first.prefs, second.prefs));
            FUZZ_CHECK(first.headerFont.IsEqual(&second.headerFont));
            FUZZ_CHECK(first.dataFont.IsEqual(&second.dataFont));
            FUZZ_CHECK(SameTabs(first.tabs, second.tabs));
            FUZZ_CHECK(first.headers == second.headers && first.headerCount == second.headerCount);
            FUZZ_CHECK(first.recent == second.recent);

            // Opening a file puts it at the top of the list, which never grows past four.
            // A new path is then listed once (a hand-edited file may already hold it, twice even).
            const QString opened = QStringLiteral("/data/run %1.csv").arg(size);
            bool known = false;
            for (int i = 1; i <= RecentFiles::Entries; ++i)
                known = known || again.GetSetting(datafile::RecentSection(), datafile::RecentKey(i)) == opened;
            RecentFiles recent(again, &menu);
            recent.LoadRecentFiles();
            recent.AddRecentFile(opened);
            FUZZ_CHECK(recent.Caption(1) == opened);
            FUZZ_CHECK(recent.mnuFileRecent[0]->isVisible());
            if (!known)
                for (int i = 2; i <= RecentFiles::Entries; ++i) FUZZ_CHECK(recent.Caption(i) != opened);
        }
    }
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".new"));
    QFile::remove(path + QStringLiteral(".damaged"));
    return 0;
}
