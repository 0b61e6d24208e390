// Crash safety: the program killed outright while readings stream in, many times over, and a
// settings store saved on a disk that fills up. The program runs as a child process
// (crash_driver) so that it can really die.
//
// The test command runs five kill rounds from a fixed seed, so a failure repeats as it is;
// scripts/crash-long.sh runs 200 rounds from a random seed (GLIMORA_CRASH_SEED=<number> repeats
// the run that printed that seed).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include "support/SettingsStore.h"

namespace {

const QByteArray kHeader = "DateTime,Specular,DOI,Deg2,Deg15,CalName,CalDtTm,SerNum,Comment,Batch";
const QStringList kSections = {"Preferences", "Recent Files", "UserComments", "HeaderFont", "DataFont", "Tabs"};
const QString kPassword = QStringLiteral("Mx;gefk");

// The comments of the readings in the measurement store at path.
QSet<QString> StoredComments(const QString& path)
{
    QSet<QString> comments;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("crash-check"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT comment_1 FROM readings")))
            while (q.next()) comments.insert(q.value(0).toString());
    }
    QSqlDatabase::removeDatabase(QStringLiteral("crash-check"));
    return comments;
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
    for (const char* kv : {"CalIndex=1", "KeepAlive=True", "NoFile=True", "SoundOn=True", "Digits=2", "PixelAvg=True",
                           "Password=Mx;gefk"})
        store.SaveSetting(kSections[0], QString::fromLatin1(kv).section('=', 0, 0),
                          QString::fromLatin1(kv).section('=', 1));
    for (int i = 1; i <= 7; ++i) {
        store.SaveSetting(kSections[1], QStringLiteral("RecentFile%1").arg(i),
                          QStringLiteral("/data/plant %1/day.csv").arg(i));
        store.SaveSetting(kSections[2], QStringLiteral("UserComment%1").arg(i),
                          i == 1       ? QStringLiteral("Comment")
                              : i == 2 ? QStringLiteral("Batch")
                                       : QString());
    }
    for (const QString& font : kSections.mid(3, 2))
        for (const char* kv : {"FontName=Arial", "FontSize=10", "FontBold=False", "FontColor=0"})
            store.SaveSetting(font, QString::fromLatin1(kv).section('=', 0, 0),
                              QString::fromLatin1(kv).section('=', 1));
    store.SaveSetting(kSections[5], QStringLiteral("TabCount"), QStringLiteral("40"));
    for (int i = 1; i <= 40; ++i)
        store.SaveSetting(kSections[5], QStringLiteral("Tab%1").arg(i), QString::number(i * 720));
    QVERIFY(store.Sync());
}

// What is wrong with the settings file against the start store: a torn end, a damaged line, a
// key lost, another password. Empty when nothing is.
QString Damage(const QString& path, const QString& startPath)
{
    const QByteArray bytes = ReadAll(path);
    if (!bytes.endsWith('\n')) return QStringLiteral("torn end: ...") + QString::fromUtf8(bytes.right(40));
    const support::SettingsStore now(path), start(startPath);
    if (!now.Problem().isEmpty()) return now.Problem();
    for (const QString& section : kSections)
        for (const QString& key : start.Keys(section))
            if (!now.Contains(section, key)) return QStringLiteral("key %1/%2 lost").arg(section, key);
    return now.GetSetting(kSections[0], QStringLiteral("Password")) == kPassword ? QString()
                                                                                 : QStringLiteral("password changed");
}

// Runs the driver to its end, under a file size limit (a full disk) when limit >= 0, with SIGXFSZ
// ignored so that writes beyond it fail as they do on a full disk. Gives the exit code and the
// lines it printed.
std::pair<int, QList<QByteArray>> RunDriver(const QStringList& arguments, qint64 limit)
{
    QProcess child;
    if (limit >= 0)
        child.setChildProcessModifier([limit] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit rl{rlim_t(limit), rlim_t(limit)};
            setrlimit(RLIMIT_FSIZE, &rl);
        });
    child.start(QStringLiteral(GLIMORA_CRASH_DRIVER), arguments);
    child.waitForFinished(60000);
    return {child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1,
            child.readAllStandardOutput().trimmed().split('\n')};
}

}  // namespace

class CrashTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_start;  // the start store, never touched by a child

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_start = m_dir.filePath(QStringLiteral("start.ini"));
        WriteStartStore(m_start);
    }

    // The program is killed at random moments while readings stream in: each time, the data file
    // is the previous file plus whole lines, one per accepted reading (and at most one more that
    // was written but not yet reported); no line is torn, none accepted is lost; the settings
    // file keeps every section and key it held; every line in the data file is in the measurement
    // store too, but for the last one of the round (the one being recorded when killed).
    void killedWhileReading()
    {
        const QString data = m_dir.filePath(QStringLiteral("stream.csv"));
        const QString ini = m_dir.filePath(QStringLiteral("config/Glimora/Glimora.ini"));
        QVERIFY(QDir().mkpath(QFileInfo(ini).path()) && QFile::copy(m_start, ini));
        const QByteArray seedText = qgetenv("GLIMORA_CRASH_SEED");
        const quint32 seed = seedText == "random" ? QRandomGenerator::system()->generate()
            : seedText.isEmpty()                  ? 20261206u
                                                  : seedText.toUInt();
        qInfo("seed %u (GLIMORA_CRASH_SEED=%u repeats this run)", seed, seed);
        QRandomGenerator random(seed);
        static const QRegularExpression line(QStringLiteral(
            R"re(^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d(,\d+\.\d\d){4},"Std A",\d\d/\d\d/\d{4} \d\d:\d\d:\d\d,"HZ001234","r(\d+)-(\d+)"\r$)re"));

        QByteArray previous;
        int killedStreaming = 0;
        const int rounds = qEnvironmentVariableIsSet("GLIMORA_CRASH_ROUNDS")
            ? qEnvironmentVariableIntValue("GLIMORA_CRASH_ROUNDS")
            : 5;
        for (int round = 1; round <= rounds; ++round) {
            // Mostly while readings stream in, now and then during start-up or opening.
            const bool early = round % 5 == 0;
            const int delayMs = early ? int(random.bounded(250)) : int(random.bounded(20, 400));
            // The driver reports into a file: what it wrote there before the kill is kept.
            const QString report = m_dir.filePath(QStringLiteral("round%1.out").arg(round));
            QProcess driver;
            driver.setStandardOutputFile(report);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
            driver.setProcessEnvironment(env);
            driver.start(QStringLiteral(GLIMORA_CRASH_DRIVER),
                         {QStringLiteral("readings"), data, ini, QString::number(round)});
            QVERIFY2(driver.waitForStarted(10000), qPrintable(driver.errorString()));
            if (!early)
                QTRY_VERIFY_WITH_TIMEOUT(ReadAll(report).contains("opened") || driver.state() == QProcess::NotRunning,
                                         20000);
            QTest::qWait(delayMs);  // the random moment of the kill
            QVERIFY2(driver.state() == QProcess::Running,
                     qPrintable(QStringLiteral("round %1: the driver ended by itself: ").arg(round) + ReadAll(report)));
            driver.kill();  // SIGKILL
            QVERIFY(driver.waitForFinished(10000));

            const QByteArray out = ReadAll(report);
            const qsizetype at = out.lastIndexOf("accepted ");
            const int accepted = at < 0 ? 0 : out.mid(at + 9).split('\n').first().toInt();
            killedStreaming += accepted > 0;
            const QByteArray now = ReadAll(data);
            const QString where =
                QStringLiteral("round %1 (killed after %2 ms, %3 accepted)").arg(round).arg(delayMs).arg(accepted);
            if (!out.contains("opened") && now.isEmpty()) {
                // Killed before the file had its header: it was never reported open.
                QVERIFY2(previous.isEmpty(), qPrintable(where + QStringLiteral(": the file was emptied")));
                QFile::remove(data);
            } else {
                QVERIFY2(now.startsWith(previous), qPrintable(where + QStringLiteral(": earlier lines changed")));
                QVERIFY2(now.startsWith(kHeader + "\r\n"),
                         qPrintable(where + QStringLiteral(": header ") + now.left(90)));
                QVERIFY2(now.endsWith("\r\n"),
                         qPrintable(where + QStringLiteral(": torn last line: ") + now.right(60)));
                const QList<QByteArray> added =
                    now.mid(previous.isEmpty() ? kHeader.size() + 2 : previous.size()).split('\n');
                const qsizetype count = added.size() - 1;  // split() leaves an empty piece after the last line end
                QVERIFY2(count >= accepted && count <= accepted + 1,
                         qPrintable(where + QStringLiteral(": %1 lines added").arg(count)));
                const QSet<QString> stored =
                    StoredComments(m_dir.filePath(QStringLiteral("data/Glimora/measurements.sqlite")));
                for (qsizetype i = 0; i < count; ++i) {
                    const QRegularExpressionMatch m = line.match(QString::fromUtf8(added.at(i)));
                    QVERIFY2(m.hasMatch() && m.captured(2).toInt() == round && m.captured(3).toLongLong() == i + 1,
                             qPrintable(where + QStringLiteral(": line ") + added.at(i)));
                    QVERIFY2(i == count - 1 || stored.contains(QStringLiteral("r%1-%2").arg(round).arg(i + 1)),
                             qPrintable(where + QStringLiteral(": not in the measurement store: ") + added.at(i)));
                }
            }
            previous = ReadAll(data);
            const QString damage = Damage(ini, m_start);
            QVERIFY2(damage.isEmpty(), qPrintable(where + QStringLiteral(": settings file: ") + damage));
        }
        // The kills must really have landed in the stream for the test to mean anything.
        QVERIFY2(killedStreaming >= rounds / 2,
                 qPrintable(QStringLiteral("only %1 rounds were killed while streaming").arg(killedStreaming)));

        // A last run that ends normally appends its readings and leaves no half-written store behind.
        QCOMPARE(
            RunDriver({QStringLiteral("readings"), data, ini, QStringLiteral("99"), QStringLiteral("3")}, -1).first, 0);
        QVERIFY(ReadAll(data).startsWith(previous));
        QCOMPARE(ReadAll(data).mid(previous.size()).count("\r\n"), 3);
        QCOMPARE(QDir(QFileInfo(ini).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Glimora.ini")});
        QCOMPARE(Damage(ini, m_start), QString());
    }

    // A save killed half-way leaves QSettings' temporary and (possibly empty) lock files and a
    // half-checked file behind: the next save clears them away at once instead of waiting for
    // the lock to go stale (past the test's time limit), and writes the store.
    void saveAfterAKilledSave()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Glimora.ini"));
        QVERIFY(QFile::copy(m_start, ini));
        for (const char* name :
             {"Glimora.ini.new", "Glimora.ini.new.lock", "Glimora.ini.new.Xq3rTz", "Glimora.ini.check-999999-4"}) {
            QFile f(dir.filePath(QLatin1String(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
            if (!QByteArray(name).endsWith(".lock"))
                f.write("[Preferences]\nCalIndex=");  // the lock stays empty: the worst case
        }
        support::SettingsStore store(ini);
        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("Digits"), QStringLiteral("3"));
        QVERIFY(store.Sync());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Glimora.ini")});
        QCOMPARE(support::SettingsStore(ini).GetSetting(QStringLiteral("Preferences"), QStringLiteral("Digits")),
                 QStringLiteral("3"));
        QCOMPARE(Damage(ini, m_start), QString());
    }

    // The data file fills the disk (a file-size limit in the child) while readings stream in:
    // the failed write is reported, and exactly the lines reported accepted are whole in the
    // file. A new file whose header does not fit is not opened.
    void dataFileOnAFullDisk()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Glimora.ini")),
                      data = dir.filePath(QStringLiteral("full.csv"));
        QVERIFY(QFile::copy(m_start, ini));
        const auto run = [&](const QString& path, qint64 limit) {
            return RunDriver({QStringLiteral("readings"), path, ini,
                              path.endsWith(QLatin1String("old.csv")) ? QStringLiteral("listed") : QStringLiteral("1")},
                             limit);
        };
        const qint64 limit = 4096 + 37;  // room for the settings file, then a few dozen lines
        const auto [code, said] = run(data, limit);
        QCOMPARE(code, 3);
        QCOMPARE(said.last(), QByteArray("dialog File Error: Data Write Error"));
        const qsizetype accepted = said.size() - 2;  // between "opened" and the dialog
        QCOMPARE(said.value(accepted), "accepted " + QByteArray::number(accepted));
        const QByteArray content = ReadAll(data);
        QCOMPARE(content.size(), limit);
        QCOMPARE(content.left(content.lastIndexOf("\r\n") + 2).count("\r\n"), accepted + 1);
        QCOMPARE(Damage(ini, m_start), QString());

        const QString tiny = dir.filePath(QStringLiteral("tiny.csv"));
        const auto [tinyCode, tinySaid] = run(tiny, 20);
        QCOMPARE(tinyCode, 3);
        QCOMPARE(tinySaid, QList<QByteArray>{"dialog File Error: Error Opening File"});
        QCOMPARE(ReadAll(tiny), kHeader.left(20));
        // Readings listed before the file opened stop part way when they are saved to it.
        const QString old = dir.filePath(QStringLiteral("old.csv"));
        const auto [oldCode, oldSaid] = run(old, kHeader.size() + 500);
        QCOMPARE(oldSaid.last(), QByteArray("dialog File Error: Error Writing Old Data"));
        QCOMPARE(ReadAll(old).size(), kHeader.size() + 500);
    }

    // Saving a larger store on a disk that fills up (a file-size limit in the child) is refused,
    // and the previous file stays exactly as it was, wherever the write is cut off; with room
    // enough the same save succeeds.
    void settingsOnAFullDisk()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("Glimora.ini")),
                      roomy = dir.filePath(QStringLiteral("roomy.ini"));
        QVERIFY(QFile::copy(m_start, ini) && QFile::copy(m_start, roomy));
        const QByteArray before = ReadAll(ini);
        const int extra = 120;
        const auto save = [&](const QString& path, qint64 limit) {
            const auto [code, said] = RunDriver({QStringLiteral("save-settings"), path, QString::number(extra)}, limit);
            return code == 0 ? said.join('\n') : QByteArray("<failed>");
        };

        // With room enough: saved, and the new file holds the old keys and the new ones.
        QCOMPARE(save(roomy, -1), QByteArray("saved"));
        const QByteArray larger = ReadAll(roomy);
        QCOMPARE(Damage(roomy, m_start), QStringLiteral("password changed"));
        QCOMPARE(support::SettingsStore(roomy).Keys(QStringLiteral("Tabs")).size(), 41 + extra);

        // Cut off anywhere short of the end, from nothing at all to inside the password's line
        // to the last few bytes.
        const qsizetype password = larger.indexOf("Password=");
        QVERIFY(password > 0);
        for (qint64 limit :
             {qint64(0), qint64(64), qint64(before.size()), qint64(password + 10), qint64(larger.size() - 2)}) {
            const QString where = QStringLiteral("limit %1 of %2 bytes").arg(limit).arg(larger.size());
            QVERIFY2(save(ini, limit) == "refused", qPrintable(where));
            QVERIFY2(ReadAll(ini) == before, qPrintable(where + QStringLiteral(": the old file changed")));
            QVERIFY2(QDir(dir.path()).entryList(QDir::Files).size() == 2,
                     qPrintable(where + QStringLiteral(": files left behind")));
        }
        // The same save with just enough room succeeds.
        QCOMPARE(save(ini, larger.size()), QByteArray("saved"));
        QCOMPARE(ReadAll(ini), larger);
    }
};

QTEST_GUILESS_MAIN(CrashTest)
#include "tst_crash.moc"
