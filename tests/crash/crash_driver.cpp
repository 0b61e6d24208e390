// A child program for the crash and full-disk tests.
//
//   crash_driver readings <data file> <settings file> <round> [<max readings>]
//     Runs the real main window on a TestMeter, opens the data file and feeds readings through
//     the meter event 12, rewriting the settings store between them. Prints "opened", then
//     "accepted <n>" after the n-th reading, each line flushed at once; a dialog ends it with
//     "dialog <title>: <texts>". Round "listed" first lists forty readings, saved to the file
//     when it opens. Ends after <max readings> (default: runs until
//     killed). Reading n carries the comment "r<round>-<n>".
//
//   crash_driver save-settings <settings file> <extra keys>
//     Loads the store, changes the password, adds <extra keys> keys and saves it. Prints
//     "saved" or "refused" (what Sync reported).
//
// Exit codes: 0 done, 2 usage, 3 a dialog came up, 4 the file did not open, 5 a reading was not
// written, 6 the settings store was not written.
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "app/GlimoraApp.h"
#include "support/SettingsStore.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/TestMeter.h"

namespace {

void Say(const QByteArray& line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

int SaveSettings(char* argv[])
{
    support::SettingsStore store(QString::fromLocal8Bit(argv[2]));
    store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Password"), QStringLiteral("Nw;pa55=\"x\""));
    for (int i = 0; i < QByteArray(argv[3]).toInt(); ++i)
        store.SaveSetting(QStringLiteral("Tabs"), QStringLiteral("Extra%1").arg(i, 4, 10, QLatin1Char('0')),
                          QStringLiteral("%1 twips, column %2").arg(i * 144).arg(i));
    Say(store.Sync() ? "saved" : "refused");
    return 0;
}

int Readings(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dataPath = QString::fromLocal8Bit(argv[2]);
    RecordingSoundSink sounds;
    support::SetSounds(&sounds);
    const QString round = QString::fromLocal8Bit(argv[4]);
    const int maxReadings = argc == 6 ? QByteArray(argv[5]).toInt() : 1 << 30;

    // Nothing else may wait for an answer here: a dialog ends the run, with its title and texts.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* save = modal->findChild<QPushButton*>(QStringLiteral("btnSaveToFile"))) return save->click();
            // The history's store shares the full disk; the crash test reads the store itself.
            if (modal->windowTitle() == QLatin1String("Measurement Store Error"))
                return static_cast<QDialog*>(modal)->accept();
            QStringList texts;
            for (auto* label : modal->findChildren<QLabel*>())
                if (!label->text().isEmpty()) texts << label->text();
            Say("dialog " + modal->windowTitle().toUtf8() + ": " + texts.join(QLatin1Char('|')).toUtf8());
            std::_Exit(3);
        }
    });
    watch.start(20);

    auto* meter = new TestMeter;
    meter->logReads = false;
    auto window =
        std::make_unique<GlimoraApp>(meter, std::make_unique<support::SettingsStore>(QString::fromLocal8Bit(argv[3])));
    support::SettingsStore& store = window->Settings();
    window->Load();
    for (int n = 0; round == QLatin1String("listed") && n < 40; ++n) {
        meter->SetNextReading(40 + n, 60, 0.5, 1.75);
        meter->Emit(VantrelCntl::Event::ReadingReady);
    }
    if (!window->OpenFile(dataPath, QFileInfo::exists(dataPath))) return 4;
    Say("opened");
    auto* comment = window->findChild<QLineEdit*>(QStringLiteral("UserCommentBox"));
    for (int n = 1; n <= maxReadings; ++n) {
        comment->setText(QStringLiteral("r%1-%2").arg(round).arg(n));
        meter->SetNextReading(40 + (n % 50) * 1.25, 60 + (n % 7), 0.5 + (n % 3) * 0.25, 1.75);
        meter->Emit(VantrelCntl::Event::ReadingReady);
        // A failed write closes the file, and the title no longer names it.
        if (window->windowTitle() != QStringLiteral("DOI/Haze Meter - ") + dataPath) return 5;
        Say("accepted " + QByteArray::number(n));
        store.SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment2"),
                          QStringLiteral("Batch %1-%2").arg(round).arg(n));
        if (!store.Sync()) return 6;
        meter->log.clear();
        sounds.sounds.clear();
        QCoreApplication::processEvents();
    }
    window->close();
    return 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "readings" && (argc == 5 || argc == 6)) return Readings(argc, argv);
    if (mode == "save-settings" && argc == 4) return SaveSettings(argv);
    std::fputs("usage: crash_driver readings <data> <settings> <round> [<max>] | save-settings <settings> <extra>\n",
               stderr);
    return 2;
}
