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
    FontClass fonts[2];
    TabClass tabs;
    QStringList values;  // everything loaded, for comparing two loads
};

// Loads everything the program loads at start-up from store, checking each value's range.
Loaded LoadAll(support::SettingsStore& store, QMenu* menu)
{
    Loaded l;
    Preferences& p = l.prefs;
    SetPreferenceDefaults(p);
    int warnings = 0;
    LoadPreferences(store, p, [&warnings] { ++warnings; });
    FUZZ_CHECK(p.CalIndex >= 0 && p.CalIndex <= 3 && p.Digits >= 0 && p.Digits <= 3);
    FUZZ_CHECK(p.PasswordProtection == !p.Password.isEmpty() && warnings == (p.PasswordProtection ? 0 : 1));
    l.values << p.Password;
    for (int v : {int(p.CalIndex), int(p.KeepAlive), int(p.NoFile), int(p.SoundOn), int(p.EnableButton),
                  int(p.CalConst), int(p.Digits), int(p.PixelAvg)})
        l.values << QString::number(v);

    for (int i = 0; i < 2; ++i) {
        FontClass& f = l.fonts[i];
        f.ReadProperties(store, i ? QStringLiteral("DataFont") : QStringLiteral("HeaderFont"));
        FUZZ_CHECK(!f.FontName().isEmpty());
        FontClass copy;  // which takes the size only through its bounds
        f.CopyTo(&copy);
        FUZZ_CHECK(copy.IsEqual(&f) == (f.Size() >= f.MinSize() && f.Size() <= f.MaxSize()));
    }

    l.tabs.ReadProperties(store, QStringLiteral("Tabs"));
    FUZZ_CHECK(l.tabs.TabCount() >= 0 && l.tabs.TabCount() <= TabClass::kMaxTabs);
    l.values << QString::number(l.tabs.TabCount());
    for (int i = 1; i <= l.tabs.TabCount(); ++i) {
        FUZZ_CHECK(l.tabs.Tabs(i) >= 0 && l.tabs.Tabs(i) <= TabClass::kMaxPosition);
        l.values << QString::number(l.tabs.Tabs(i));
    }
    FUZZ_CHECK(l.tabs.Tabs(0) == 0 && l.tabs.Tabs(l.tabs.TabCount() + 1) == 0);

    CommentColumns comments(store);
    comments.LoadCommentHeaders();
    const int count = comments.CommentHeaderCount;
    FUZZ_CHECK(count >= 0 && count <= CommentColumns::Columns && comments.HeadersInUse().size() == count);
    for (int k = count + 1; k <= CommentColumns::Columns; ++k) FUZZ_CHECK(comments.CommentHeader(k).isEmpty());
    if (count >= 1) FUZZ_CHECK(!comments.CommentHeader(count).isEmpty());
    l.values << QString::number(count) << comments.HeadersInUse();

    // A caption is shown exactly when it is there, the list has no gap at its top, and the
    // separator shows with the list.
    RecentFiles recent(store, menu);
    recent.LoadRecentFiles();
    int shown = 0;
    for (int i = 1; i <= RecentFiles::Entries; ++i) {
        l.values << recent.Caption(i);
        shown += !recent.Caption(i).isEmpty();
        FUZZ_CHECK(recent.mnuFileRecent[i]->isVisible() == !recent.Caption(i).isEmpty());
        FUZZ_CHECK(recent.FindRecentFile(recent.Caption(i)) >= 0
                   && recent.FindRecentFile(recent.Caption(i)) < RecentFiles::Entries);
    }
    FUZZ_CHECK(recent.mnuFileRecent[0]->isVisible() == (shown > 0) && (shown == 0 || !recent.Caption(1).isEmpty()));
    return l;
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
    const QByteArray input = fuzzing::Bytes(data, size);
    const QString path = fuzzing::WriteScratch(QStringLiteral("Glimora-%1.ini").arg(++serial), input);
    if (path.isEmpty()) return 0;

    QMenu menu;
    {
        support::SettingsStore store(path);
        const Loaded first = LoadAll(store, &menu);

        // Shutdown writes preferences, fonts and tabs back into the same file.
        bool saved = SavePreferences(store, first.prefs);
        saved = first.fonts[0].WriteProperties(store, QStringLiteral("HeaderFont")) && saved;
        saved = first.fonts[1].WriteProperties(store, QStringLiteral("DataFont")) && saved;
        saved = first.tabs.WriteProperties(store, QStringLiteral("Tabs")) && saved;

        // Whatever it held, a file the program could open is one it can save its settings to
        // again, and what it saved reads back the same.
        FUZZ_CHECK(saved);
        support::SettingsStore again(path);
        const Loaded second = LoadAll(again, &menu);
        FUZZ_CHECK(first.values == second.values);
        FUZZ_CHECK(first.fonts[0].IsEqual(&second.fonts[0]) && first.fonts[1].IsEqual(&second.fonts[1]));
    }
    for (const char* suffix : {"", ".new", ".damaged"}) QFile::remove(path + QLatin1String(suffix));
    return 0;
}
