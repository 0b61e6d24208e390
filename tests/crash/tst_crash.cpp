// Crash safety: the program killed outright while readings stream in, many times over, and a
// settings store saved on a disk that fills up. The program runs as a child process
// (crash_driver) so that it can really die.
//
// The test command runs five kill rounds from a fixed seed, so a failure repeats as it is. For
// the long random run, set the number of rounds and leave the seed to chance:
//   export QTEST_FUNCTION_TIMEOUT=3600000 GLIMORA_CRASH_ROUNDS=200 GLIMORA_CRASH_SEED=random
//   build/tests/crash/tst_crash killedWhileReading
// (GLIMORA_CRASH_SEED=<number> repeats the run that printed that seed.)
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include "support/SettingsStore.h"

namespace {

const QByteArray kHeader = "DateTime,Specular,DOI,Deg2,Deg15,CalName,CalDtTm,SerNum,Comment,Batch";

// A settings file in INI form: the section names and, per section, the keys in file order.
// Fails on a line that is neither a section, a key=value pair nor blank, and on a file that
// does not end with a line end.
struct IniFile {
    QMap<QString, QMap<QString, QByteArray>> sections;
    QString error;
};

IniFile ParseIni(const QByteArray& bytes)
{
    IniFile ini;
    if (bytes.isEmpty()) {
        ini.error = QStringLiteral("empty file");
        return ini;
    }
    if (!bytes.endsWith('\n')) {
        ini.error = QStringLiteral("no line end at the end: ...") + QString::fromUtf8(bytes.right(40));
        return ini;
    }
    QString section;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty()) continue;
        if (line.startsWith('[') && line.endsWith(']')) {
            section = QUrl::fromPercentEncoding(line.mid(1, line.size() - 2));
            ini.sections[section];
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || section.isEmpty()) {
            ini.error = QStringLiteral("torn line: ") + QString::fromUtf8(line);
            return ini;
        }
        ini.sections[section].insert(QString::fromUtf8(line.left(eq)), line.mid(eq + 1));
    }
    return ini;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The store every run starts from: all six sections of the program, the password among them.
void WriteStartStore(const QString& path)
{
    support::SettingsStore store(path);
    const QStringList prefs = {"CalIndex=1", "KeepAlive=True", "NoFile=True", "SoundOn=True", "Digits=2",
                               "EnableButton=True", "CalConst=False", "PixelAvg=True", "Password=Mx;gefk"};
    for (const QString& kv : prefs) store.SaveSetting(QStringLiteral("Preferences"), kv.section('=', 0, 0), kv.section('=', 1));
    for (int i = 1; i <= 4; ++i)
        store.SaveSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile%1").arg(i), QStringLiteral("/data/plant %1/day.csv").arg(i));
    store.SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment1"), QStringLiteral("Comment"));
    store.SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment2"), QStringLiteral("Batch"));
    for (int i = 3; i <= 7; ++i) store.SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment%1").arg(i), QString());
    for (const char* font : {"HeaderFont", "DataFont"}) {
        const QString s = QLatin1String(font);
        store.SaveSetting(s, QStringLiteral("FontName"), QStringLiteral("Arial"));
        store.SaveSetting(s, QStringLiteral("FontSize"), QStringLiteral("10"));
        store.SaveSetting(s, QStringLiteral("FontBold"), QStringLiteral("False"));
        store.SaveSetting(s, QStringLiteral("FontColor"), QStringLiteral("0"));
    }
    store.SaveSetting(QStringLiteral("Tabs"), QStringLiteral("TabCount"), QStringLiteral("40"));
    for (int i = 1; i <= 40; ++i) store.SaveSetting(QStringLiteral("Tabs"), QStringLiteral("Tab%1").arg(i), QString::number(i * 720));
    QVERIFY(store.Sync());
}

// Every section and key of `before` is in `after`; the password is the one written at the start.
QString MissingFrom(const IniFile& before, const IniFile& after)
{
    for (auto s = before.sections.cbegin(); s != before.sections.cend(); ++s) {
        if (!after.sections.contains(s.key())) return QStringLiteral("section [%1] lost").arg(s.key());
        for (auto k = s->cbegin(); k != s->cend(); ++k)
            if (!after.sections[s.key()].contains(k.key())) return QStringLiteral("key %1/%2 lost").arg(s.key(), k.key());
    }
    if (after.sections[QStringLiteral("Preferences")][QStringLiteral("Password")] != before.sections[QStringLiteral("Preferences")][QStringLiteral("Password")])
        return QStringLiteral("password changed");
    return {};
}

struct Run {
    QByteArray out;
    int exitCode = -1;
    bool crashed = false;
};

}  // namespace

class CrashTest : public QObject {
    Q_OBJECT

private slots:
    // The program is killed at random moments while readings stream in: each time, the data file
    // is the previous file plus whole lines, one per accepted reading (and at most one more that
    // was written but not yet reported); no line is torn, none accepted is lost; the settings
    // file parses and keeps every section and key it held.
    void killedWhileReading()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString data = dir.filePath(QStringLiteral("stream.csv"));
        const QString ini = dir.filePath(QStringLiteral("config/Glimora/Glimora.ini"));
        WriteStartStore(ini);
        if (QTest::currentTestFailed()) return;
        const IniFile start = ParseIni(ReadAll(ini));
        QVERIFY2(start.error.isEmpty(), qPrintable(start.error));

        const QByteArray seedText = qgetenv("GLIMORA_CRASH_SEED");
        const quint32 seed = seedText == "random" ? QRandomGenerator::system()->generate()
                             : seedText.isEmpty() ? 20261206u
                                                  : seedText.toUInt();
        qInfo("seed %u (GLIMORA_CRASH_SEED=%u repeats this run)", seed, seed);
        QRandomGenerator random(seed);
        static const QRegularExpression line(
            QStringLiteral(R"re(^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d(,\d+\.\d\d){4},"Std A",\d\d/\d\d/\d{4} \d\d:\d\d:\d\d,"HZ001234","r(\d+)-(\d+)"\r$)re"));

        QByteArray previous;
        int killedStreaming = 0, totalAccepted = 0;
        const int rounds = qEnvironmentVariableIsSet("GLIMORA_CRASH_ROUNDS") ? qEnvironmentVariableIntValue("GLIMORA_CRASH_ROUNDS") : 5;
        for (int round = 1; round <= rounds; ++round) {
            // Mostly while readings stream in, now and then during start-up or opening.
            const bool early = round % 5 == 0;
            const int delayMs = early ? int(random.bounded(250)) : int(random.bounded(20, 400));
            // The driver reports into a file: what it wrote there before the kill is kept.
            const QString report = dir.filePath(QStringLiteral("round%1.out").arg(round));
            QProcess driver;
            driver.setProgram(QStringLiteral(GLIMORA_CRASH_DRIVER));
            driver.setArguments({QStringLiteral("readings"), data, ini, QString::number(round)});
            driver.setStandardOutputFile(report);
            driver.start();
            QVERIFY2(driver.waitForStarted(10000), qPrintable(driver.errorString()));
            if (!early)
                QTRY_VERIFY2_WITH_TIMEOUT(ReadAll(report).contains("opened") || driver.state() == QProcess::NotRunning,
                                          "the driver did not open the data file", 20000);
            QTest::qWait(delayMs);
            QVERIFY2(driver.state() == QProcess::Running,
                     qPrintable(QStringLiteral("round %1: the driver ended by itself: %2 %3")
                                    .arg(round)
                                    .arg(QString::fromUtf8(ReadAll(report)), QString::fromUtf8(driver.readAllStandardError()))));
            driver.kill();  // SIGKILL
            QVERIFY(driver.waitForFinished(10000));
            QCOMPARE(driver.exitStatus(), QProcess::CrashExit);
            const QByteArray out = ReadAll(report);

            int accepted = 0;
            const bool opened = out.contains("opened");
            for (const QByteArray& l : out.split('\n'))
                if (l.startsWith("accepted ")) accepted = l.mid(9).toInt();
            totalAccepted += accepted;
            if (accepted > 0) ++killedStreaming;

            const QByteArray now = ReadAll(data);
            const QString where = QStringLiteral("round %1 (killed after %2 ms, %3 accepted)").arg(round).arg(delayMs).arg(accepted);
            if (!opened && now.isEmpty()) {
                // Killed before the file had its header: it was never reported open.
                QVERIFY2(previous.isEmpty(), qPrintable(where + QStringLiteral(": the file was emptied")));
                QFile::remove(data);
            } else {
                QVERIFY2(now.startsWith(previous), qPrintable(where + QStringLiteral(": earlier lines changed")));
                QVERIFY2(now.endsWith("\r\n"), qPrintable(where + QStringLiteral(": torn last line: ") + QString::fromUtf8(now.right(60))));
                QVERIFY2(now.startsWith(kHeader + "\r\n"), qPrintable(where + QStringLiteral(": header ") + QString::fromUtf8(now.left(90))));
                const QList<QByteArray> added = now.mid(previous.isEmpty() ? kHeader.size() + 2 : previous.size()).split('\n');
                // split() leaves an empty piece after the last line end.
                const qsizetype count = added.size() - 1;
                QVERIFY2(count >= accepted && count <= accepted + 1,
                         qPrintable(where + QStringLiteral(": %1 lines added").arg(count)));
                for (qsizetype i = 0; i < count; ++i) {
                    const QRegularExpressionMatch m = line.match(QString::fromUtf8(added.at(i)));
                    QVERIFY2(m.hasMatch(), qPrintable(where + QStringLiteral(": line ") + QString::fromUtf8(added.at(i))));
                    QCOMPARE(m.captured(2).toInt(), round);
                    QCOMPARE(m.captured(3).toLongLong(), i + 1);
                }
            }
            previous = ReadAll(data);

            const IniFile after = ParseIni(ReadAll(ini));
            QVERIFY2(after.error.isEmpty(), qPrintable(where + QStringLiteral(": settings file: ") + after.error));
            const QString missing = MissingFrom(start, after);
            QVERIFY2(missing.isEmpty(), qPrintable(where + QStringLiteral(": settings file: ") + missing));
        }
        qInfo("%d rounds, %d killed while readings streamed, %d readings accepted", rounds, killedStreaming, totalAccepted);
        // The kills must really have landed in the stream for the test to mean anything.
        QVERIFY2(killedStreaming >= rounds / 2, qPrintable(QStringLiteral("only %1 rounds were killed while streaming").arg(killedStreaming)));

        // A last run that ends normally appends its readings and leaves no half-written store behind.
        const QString report = dir.filePath(QStringLiteral("last.out"));
        QProcess last;
        last.setStandardOutputFile(report);
        last.start(QStringLiteral(GLIMORA_CRASH_DRIVER), {QStringLiteral("readings"), data, ini, QStringLiteral("99"), QStringLiteral("3")});
        QVERIFY(last.waitForFinished(60000));
        QCOMPARE(last.exitStatus(), QProcess::NormalExit);
        QCOMPARE(last.exitCode(), 0);
        QVERIFY(ReadAll(report).contains("done"));
        const QByteArray final = ReadAll(data);
        QVERIFY(final.startsWith(previous));
        QCOMPARE(final.mid(previous.size()).count("\r\n"), 3);
        const QStringList left = QDir(QFileInfo(ini).path()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(left == QStringList{QStringLiteral("Glimora.ini")}, qPrintable(left.join(QLatin1Char(' '))));
        const IniFile end = ParseIni(ReadAll(ini));
        QVERIFY2(end.error.isEmpty(), qPrintable(end.error));
        QVERIFY(MissingFrom(start, end).isEmpty());
    }

    // A save killed half-way leaves QSettings' temporary and (possibly empty) lock files and a
    // half-checked file behind: the next save clears them away at once instead of waiting for
    // the lock to go stale, and writes the store.
    void saveAfterAKilledSave()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString ini = dir.filePath(QStringLiteral("Glimora.ini"));
        WriteStartStore(ini);
        if (QTest::currentTestFailed()) return;
        for (const char* name : {"Glimora.ini.new", "Glimora.ini.new.lock", "Glimora.ini.new.Xq3rTz", "Glimora.ini.check-999999-4"}) {
            QFile f(dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (QByteArray(name).endsWith(".lock")) continue;  // created, never written: the worst case
            f.write("[Preferences]\nCalIndex=");
        }
        support::SettingsStore store(ini);
        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Digits"), QStringLiteral("3"));
        QElapsedTimer took;
        took.start();
        QVERIFY(store.Sync());
        QVERIFY2(took.elapsed() < 5000, qPrintable(QStringLiteral("the save took %1 ms").arg(took.elapsed())));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Glimora.ini")});
        support::SettingsStore again(ini);
        QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Digits")), QStringLiteral("3"));
        QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Password")), QStringLiteral("Mx;gefk"));
    }

    // Saving a larger store on a disk that fills up (a file-size limit in the child) is refused,
    // and the previous file stays exactly as it was, wherever the write is cut off; with room
    // enough the same save succeeds.
    void settingsOnAFullDisk()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString ini = dir.filePath(QStringLiteral("Glimora.ini"));
        WriteStartStore(ini);
        if (QTest::currentTestFailed()) return;
        const QByteArray before = ReadAll(ini);
        const int extra = 120;

        auto save = [&](const QString& path, qint64 limit) {
            QProcess child;
            child.setProgram(QStringLiteral(GLIMORA_CRASH_DRIVER));
            child.setArguments({QStringLiteral("save-settings"), path, QString::number(extra)});
            if (limit >= 0) {
                child.setChildProcessModifier([limit] {
                    std::signal(SIGXFSZ, SIG_IGN);
                    const rlimit rl{rlim_t(limit), rlim_t(limit)};
                    setrlimit(RLIMIT_FSIZE, &rl);
                });
            }
            child.start();
            child.waitForFinished(30000);
            return std::make_pair(child.exitCode(), child.readAllStandardOutput().trimmed());
        };

        // With room enough: saved, and the new file holds the old keys and the new ones.
        const QString roomy = dir.filePath(QStringLiteral("roomy.ini"));
        QVERIFY(QFile::copy(ini, roomy));
        const auto [code, said] = save(roomy, -1);
        QCOMPARE(code, 0);
        QCOMPARE(said, QByteArray("saved"));
        const QByteArray larger = ReadAll(roomy);
        const IniFile full = ParseIni(larger);
        QVERIFY2(full.error.isEmpty(), qPrintable(full.error));
        QVERIFY(MissingFrom(ParseIni(before), full) == QStringLiteral("password changed"));
        QCOMPARE(full.sections[QStringLiteral("Tabs")].size(), 41 + extra);
        QVERIFY(larger.size() > before.size() * 2);

        // Cut off anywhere short of the end, from nothing at all to inside the password's line
        // to the last few bytes.
        const qsizetype password = larger.indexOf("Password=");
        QVERIFY(password > 0);
        for (qint64 limit : {qint64(0), qint64(64), qint64(before.size()), qint64(password + 10), qint64(larger.size() / 2),
                             qint64(larger.size() - 2)}) {
            const auto [c, s] = save(ini, limit);
            const QString where = QStringLiteral("limit %1 of %2 bytes").arg(limit).arg(larger.size());
            QVERIFY2(c == 0, qPrintable(where + QStringLiteral(": the child failed")));
            QVERIFY2(s == "refused", qPrintable(where + QStringLiteral(": the save reported ") + QString::fromUtf8(s)));
            QVERIFY2(ReadAll(ini) == before, qPrintable(where + QStringLiteral(": the old file changed")));
            const QStringList left = QDir(dir.path()).entryList(QDir::Files);
            QVERIFY2(left == QStringList({QStringLiteral("Glimora.ini"), QStringLiteral("roomy.ini")}), qPrintable(where + QStringLiteral(": files left: ") + left.join(' ')));
        }
        // The same save with just enough room succeeds.
        const auto [c, s] = save(ini, larger.size());
        QCOMPARE(s, QByteArray("saved"));
        QCOMPARE(c, 0);
        QCOMPARE(ReadAll(ini), larger);
    }
};

QTEST_GUILESS_MAIN(CrashTest)
#include "tst_crash.moc"
