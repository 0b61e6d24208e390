// The lab database on a real PostgreSQL 15: a private cluster in a temporary folder, reached
// through its Unix socket only, started once for the suite (as the postgres user when the test
// runs as root), stopped and started again to prove the outbox.
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <unistd.h>

#include "store/HistoryWindow.h"
#include "tests/store/HistoryRows.h"
#include "store/LabConnection.h"
#include <QComboBox>
#include <QLineEdit>
#include "store/LocalStore.h"
#include "store/MeasurementHistory.h"
#include "quality/StandardsLibrary.h"
#include "support/SettingsStore.h"

using namespace store;

namespace {

const QString kBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

class Cluster {
public:
    QTemporaryDir dir;
    bool Run(const QString& program, const QStringList& args)
    {
        QProcess p;
        if (::geteuid() == 0)
            p.start(QStringLiteral("runuser"),
                    QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), kBin + program}
                        + args);
        else p.start(kBin + program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            qWarning("%s: %s", qPrintable(program), p.readAllStandardError().constData());
            return false;
        }
        return true;
    }
    bool Init()
    {
        if (::geteuid() == 0
            && QProcess::execute(QStringLiteral("chown"), {QStringLiteral("postgres"), dir.path()}) != 0)
            return false;
        return Run(QStringLiteral("initdb"),
                   {QStringLiteral("-D"), dir.filePath(QStringLiteral("data")), QStringLiteral("-U"),
                    QStringLiteral("postgres"), QStringLiteral("-A"), QStringLiteral("trust"),
                    QStringLiteral("--no-sync")})
            && Start();
    }
    bool Start()
    {
        return Run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), dir.filePath(QStringLiteral("data")), QStringLiteral("-w"),
                    QStringLiteral("-l"), dir.filePath(QStringLiteral("log")), QStringLiteral("-o"),
                    QStringLiteral("-c listen_addresses='' -c unix_socket_directories=%1 -p 5439 -c fsync=off")
                        .arg(dir.path()),
                    QStringLiteral("start")});
    }
    bool Stop()
    {
        return Run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), dir.filePath(QStringLiteral("data")), QStringLiteral("-w"),
                    QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("stop")});
    }
    QString Server(const QString& db) const
    {
        return QStringLiteral("host=%1 port=5439 dbname=%2 user=postgres").arg(dir.path(), db);
    }
};

// A station: its own settings and local store, forwarding to the server.
struct Station {
    QTemporaryDir dir;
    std::unique_ptr<MeasurementHistory> history;
    Station(const QString& name, const QString& server)
    {
        support::SettingsStore settings(dir.filePath(QStringLiteral("Glimora.ini")));
        settings.SaveSetting(QStringLiteral("Store"), QStringLiteral("Station"), name);
        settings.SaveSetting(QStringLiteral("Store"), QStringLiteral("Server"), server);
        history = std::make_unique<MeasurementHistory>(settings, dir.filePath(QStringLiteral("m.sqlite")));
    }
    void Read(int n)
    {
        ReadingRecord r;
        r.specular = n / 3.0;
        r.doi = 90 + n * 1e-9;
        r.haze2 = 1.0 / (n + 7);
        r.haze15 = -n;
        r.commentTexts = {QStringLiteral("'; DROP TABLE readings; --"), QStringLiteral("\"%1\", ко, 試").arg(n)};
        history->RecordReading(r);
    }
};

template <typename Record>
std::vector<Record> Rows(QSqlDatabase db, const QString& sql, const std::vector<Column<Record>>& columns,
                         const QString& station)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT ") + ColumnNames(columns) + sql);
    q.addBindValue(station);
    if (!q.exec()) qWarning("%s", qPrintable(q.lastError().text()));
    return RecordsOf(q, columns);
}

int Scalar(QSqlDatabase db, const QString& sql)
{
    QSqlQuery q(db);
    return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
}

}  // namespace

class TestLabDatabase : public QObject {
    Q_OBJECT
    Cluster m_cluster;
    QString m_admin;

private slots:
    void initTestCase()
    {
        QVERIFY(m_cluster.dir.isValid());
        QVERIFY(m_cluster.Init());
        QString problem;
        m_admin = OpenLabConnection(m_cluster.Server(QStringLiteral("postgres")), QStringLiteral("admin"), &problem);
        QVERIFY2(!m_admin.isEmpty(), qPrintable(problem));
    }
    void cleanupTestCase()
    {
        QSqlDatabase::removeDatabase(m_admin);
        m_cluster.Stop();
    }
    void connectionStrings_data();
    void connectionStrings();
    void twoStationsThroughAnOutage();
    void newerServerSchemaRefused();
    void historyWindowOnTheLabDatabase();
    void standardsSharedThroughTheLab();
};

void TestLabDatabase::connectionStrings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dbname");
    QTest::addColumn<QString>("problem");
    QTest::newRow("service") << "service=glimora"
                             << ""
                             << "";
    QTest::newRow("blanks and quotes") << " host = db.lab  dbname='lab \\'A\\' db' sslmode=verify-full"
                                       << "lab 'A' db"
                                       << "";
    QTest::newRow("password refused") << "host=db dbname=x password=secret"
                                      << "x"
                                      << "password";
    QTest::newRow("no value") << "host"
                              << ""
                              << "key=value";
    QTest::newRow("open quote") << "dbname='x"
                                << ""
                                << "closing quote";
    QTest::newRow("empty") << "  "
                           << ""
                           << "empty";
}

void TestLabDatabase::connectionStrings()
{
    QFETCH(QString, text);
    QFETCH(QString, dbname);
    QFETCH(QString, problem);
    const LabConnection c = LabConnection::Parse(text);
    QVERIFY2(problem.isEmpty() ? c.problem.isEmpty() : c.problem.contains(problem), qPrintable(c.problem));
    if (problem.isEmpty()) QCOMPARE(c.Value(QStringLiteral("dbname")), dbname);
}

// Two stations feed one server at once; the server stops mid-run and starts again. Every
// record arrives once, in each station's order, exactly as it was stored; a batch sent again
// changes nothing.
void TestLabDatabase::twoStationsThroughAnOutage()
{
    const QString server = m_cluster.Server(QStringLiteral("postgres"));
    Station a(QStringLiteral("Station A"), server), b(QStringLiteral("Station B"), server);
    for (int n = 0; n < 150; ++n) {
        a.Read(n);
        b.Read(1000 + n);
    }
    QVERIFY(m_cluster.Stop());
    for (int n = 150; n < 300; ++n) {
        a.Read(n);
        b.Read(1000 + n);
    }
    ScanRecord scan;
    for (int i = 0; i < 301; ++i) scan.points.push_back(i / 7.0);
    a.history->RecordScan(scan);
    QTRY_VERIFY(a.history->ServerProblem().contains(QStringLiteral("cannot be reached")));
    QVERIFY(a.history->Unsent() > 0);
    QVERIFY(m_cluster.Start());
    QTRY_VERIFY_WITH_TIMEOUT(a.history->Unsent() == 0 && b.history->Unsent() == 0, 30000);
    QCOMPARE(a.history->ServerProblem(), QString());

    QSqlDatabase db = QSqlDatabase::database(m_admin);
    db.close();
    QVERIFY(db.open());
    const auto sent = Rows(db, QStringLiteral(" FROM readings WHERE station = ? ORDER BY seq"), ReadingColumns(),
                           QStringLiteral("Station A"));
    const auto kept =
        Rows(a.history->Local().Database(), QStringLiteral(" FROM readings WHERE station = ? ORDER BY rowid"),
             ReadingColumns(), QStringLiteral("Station A"));
    QCOMPARE(sent.size(), 300u);
    QCOMPARE(kept.size(), 300u);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        QCOMPARE(sent[i].id, kept[i].id);
        QCOMPARE(sent[i].takenAt, kept[i].takenAt);
        QCOMPARE(sent[i].commentTexts.mid(0, 2), kept[i].commentTexts.mid(0, 2));
        for (auto v : {&ReadingRecord::specular, &ReadingRecord::doi, &ReadingRecord::haze2, &ReadingRecord::haze15})
            QCOMPARE(sent[i].*v, kept[i].*v);
    }
    QCOMPARE(Scalar(db, QStringLiteral("SELECT count(DISTINCT id) FROM readings WHERE station = 'Station B'")), 300);
    const auto scans =
        Rows(db, QStringLiteral(" FROM scans WHERE station = ?"), ScanColumns(), QStringLiteral("Station A"));
    QCOMPARE(scans.size(), 1u);
    QCOMPARE(scans.front().points, scan.points);

    // Everything queued again, as after a commit whose answer was lost: nothing doubles.
    QVERIFY(QSqlQuery(a.history->Local().Database())
                .exec(QStringLiteral("INSERT INTO outbox (kind, record_id) SELECT 'reading', id FROM readings")));
    a.Read(300);
    QTRY_COMPARE_WITH_TIMEOUT(Scalar(a.history->Local().Database(), QStringLiteral("SELECT count(*) FROM outbox")), 0,
                              20000);
    QCOMPARE(Scalar(db, QStringLiteral("SELECT count(*) FROM readings")), 601);
}

// A lab database made by a newer Glimora is left alone: the station keeps its history locally.
void TestLabDatabase::newerServerSchemaRefused()
{
    QSqlDatabase admin = QSqlDatabase::database(m_admin);
    QVERIFY(QSqlQuery(admin).exec(QStringLiteral("CREATE DATABASE newer")));
    {
        QString problem;
        const QString name =
            OpenLabConnection(m_cluster.Server(QStringLiteral("newer")), QStringLiteral("newer"), &problem);
        QSqlQuery q(QSqlDatabase::database(name));
        QVERIFY(q.exec(QStringLiteral(
            "CREATE TABLE glimora_schema (one boolean PRIMARY KEY DEFAULT true, version integer NOT NULL)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO glimora_schema (version) VALUES (99)")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("newer"));
    Station s(QStringLiteral("Station C"), m_cluster.Server(QStringLiteral("newer")));
    s.Read(1);
    QTRY_VERIFY(s.history->ServerProblem().contains(QStringLiteral("newer")));
    QCOMPARE(s.history->Unsent(), 1);
}

// The History window reads the lab database by pages and shows another station's reading as
// soon as the server announces it.
void TestLabDatabase::historyWindowOnTheLabDatabase()
{
    const QString server = m_cluster.Server(QStringLiteral("postgres"));
    Station here(QStringLiteral("Station E"), server), there(QStringLiteral("Station D"), server);
    for (int n = 0; n < 130; ++n) there.Read(n);
    QTRY_COMPARE_WITH_TIMEOUT(there.history->Unsent(), 0, 20000);
    // The newest reading of all is this station's, so the first page shows Station D first only
    // once the station filter has taken effect.
    here.Read(999);
    QTRY_COMPARE_WITH_TIMEOUT(here.history->Unsent(), 0, 20000);
    HistoryWindow window(*here.history);
    window.findChild<QComboBox*>(QStringLiteral("HistorySource"))->setCurrentIndex(1);
    window.findChild<QLineEdit*>(QStringLiteral("HistoryStation"))->setText(QStringLiteral("Station D"));
    const auto stations = [&] { return HistoryColumn(&window, 1); };
    const auto comments = [&] { return HistoryColumn(&window, 9); };
    QTRY_VERIFY(stations().size() == HistoryWindow::PageSize && stations().value(0) == QLatin1String("Station D"));
    const QString newest = comments().value(0);
    window.findChild<QPushButton*>(QStringLiteral("HistoryOlder"))->click();
    QTRY_COMPARE(stations().size(), 30);
    window.findChild<QPushButton*>(QStringLiteral("HistoryNewer"))->click();
    QTRY_COMPARE(comments().value(0), newest);
    there.Read(500);
    QTRY_VERIFY_WITH_TIMEOUT(comments().value(0).endsWith(QStringLiteral("\"500\", ко, 試")), 3000);
}

// A standard and its baseline made at one station are the other station's once it refreshes; with
// the lab away a change is refused, so that stations never disagree, and judging goes on from
// the station's copy.
void TestLabDatabase::standardsSharedThroughTheLab()
{
    const QString server = m_cluster.Server(QStringLiteral("postgres"));
    Station one(QStringLiteral("Station F"), server), two(QStringLiteral("Station G"), server);
    one.Read(1);
    two.Read(1);
    QTRY_VERIFY_WITH_TIMEOUT(one.history->Unsent() == 0 && two.history->Unsent() == 0, 20000);
    const auto lab = [server](const QString& name) {
        return [server, name](QString* problem) {
            if (!QSqlDatabase::contains(name) || !QSqlDatabase::database(name, false).isOpen())
                OpenLabConnection(server, name, problem);
            return QSqlDatabase::database(name, false);
        };
    };
    quality::StandardsLibrary first([&one] { return one.history->Local().Database(); }, lab(QStringLiteral("lab-F")));
    quality::StandardsLibrary second([&two] { return two.history->Local().Database(); }, lab(QStringLiteral("lab-G")));
    quality::Standard panel;
    panel.name = QStringLiteral("Panel 7");
    panel.tolerances[1] = {true, 85, 80, 90, 10};
    QString problem;
    QVERIFY2(first.Save(panel, &problem), qPrintable(problem));
    QVERIFY(!second.Find(panel.name));  // the station's copy, until it refreshes
    second.Refresh();
    const quality::Standard* shared = second.Find(panel.name);
    QVERIFY(shared && shared->id == panel.id);
    QCOMPARE(shared->tolerances[1].upper, 90.0);
    QCOMPARE(quality::Judge(shared, {0, 91, 0, 0}).overall, quality::Verdict::Fail);

    quality::Baseline b;
    b.standardId = panel.id;
    b.parameter = 1;
    b.firstN = b.count = 20;
    b.centre = 85.5;
    b.sigma = 0.75;
    b.mrCentre = 0.85;
    b.fixedAt = QDateTime::currentDateTimeUtc();
    QVERIFY2(first.SaveBaseline(b, &problem), qPrintable(problem));
    const auto kept = second.FindBaseline(panel.id, 1);
    QVERIFY(kept && kept->centre == 85.5 && kept->count == 20);

    QVERIFY(m_cluster.Stop());
    panel.tolerances[1].upper = 95;
    problem.clear();
    QVERIFY(!second.Save(panel, &problem));
    QVERIFY(!problem.isEmpty());
    second.Refresh();
    QVERIFY(second.Find(panel.name) && second.Find(panel.name)->tolerances[1].upper == 90.0);
    QCOMPARE(quality::Judge(second.Find(panel.name), {0, 91, 0, 0}).overall, quality::Verdict::Fail);
    QVERIFY(m_cluster.Start());
}

QTEST_MAIN(TestLabDatabase)
#include "tst_labdatabase.moc"
