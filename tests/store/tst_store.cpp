// The local measurement store on a real SQLite file: records come back as they went in, the
// schema moves forward step by step, and a store that fails costs the operator one message and
// no reading.
#include <QMenu>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <sys/stat.h>

#include "store/HistoryWindow.h"
#include "store/LocalStore.h"
#include "store/Migrations.h"
#include "tests/app/AppFixture.h"
#include "tests/store/HistoryRows.h"
#include "tests/common/Unwritable.h"

using namespace store;

namespace {

template <typename Record>
std::vector<Record> ReadAll(QSqlDatabase db, const QString& table, const std::vector<Column<Record>>& columns)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT ") + ColumnNames(columns) + QStringLiteral(" FROM ") + table
           + QStringLiteral(" ORDER BY rowid"));
    return RecordsOf(q, columns);
}

int Count(const QString& path, const QString& table)
{
    QString name = LocalStore::OpenConnection(path, QStringLiteral("count"), 1000);
    int n = -1;
    {
        QSqlQuery q(QSqlDatabase::database(name));
        if (q.exec(QStringLiteral("SELECT count(*) FROM ") + table) && q.next()) n = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}

}  // namespace

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void recordsComeBackUnchanged_data();
    void recordsComeBackUnchanged();
    void unreadableKeptRecordsAreSetAside_data();
    void unreadableKeptRecordsAreSetAside();
    void migrationsRunForwardOnly();
    void failingStoreCostsOneMessage_data();
    void failingStoreCostsOneMessage();
    void historyWindowPagesFiltersAndExports();
};

void TestStore::recordsComeBackUnchanged_data()
{
    QTest::addColumn<bool>("overTheExit");
    QTest::newRow("written at once") << false;
    QTest::newRow("kept over the exit while the file was locked") << true;
}

// What goes into the store comes back as it went in; so does what had to wait for the file when
// the program ended (kept beside the store until the next start).
void TestStore::recordsComeBackUnchanged()
{
    QFETCH(bool, overTheExit);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("data"))));
    const QString path = LocalStore::DefaultPath();
    QVERIFY(path.startsWith(dir.path()));
    ReadingRecord r;
    r.takenAt = QDateTime(QDate(2026, 3, 1), QTime(8, 15, 30, 250), Qt::UTC);
    r.localTime = QStringLiteral("03/01/2026 09:15:30");
    r.station = QStringLiteral("Station 2");
    r.operatorName = QStringLiteral("mrossi");
    r.serialNumber = QStringLiteral("HZ001234");
    r.calStandard = QStringLiteral("Black Glass");
    r.specular = 0.1 + 0.2;
    r.doi = 92.11423456789012;
    r.haze2 = 1e-300;
    r.haze15 = -3.4;
    r.digits = 3;
    r.commentHeaders = {QStringLiteral("Lot"), QString(), QStringLiteral("Prüfer")};
    r.commentTexts = {QStringLiteral("'; DROP TABLE readings; --"),
                      QStringLiteral("say \"hi\", 'there', a,b"),
                      QStringLiteral("Прoба 試料 ☃"),
                      QString(),
                      QString(),
                      QString(),
                      QStringLiteral("tab\there")};
    r.dataFile = QStringLiteral("/data/lot 4711.txt");
    ScanRecord s;
    for (int i = 0; i < 301; ++i) s.points.push_back(i / 7.0);
    s.station = r.station;
    const QString kept = path + QStringLiteral(".waiting");
    if (overTheExit) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QVERIFY(LocalStore(path).Open());
        const QString lock = LocalStore::OpenConnection(path, QStringLiteral("lock"), 0);
        QVERIFY(QSqlQuery(QSqlDatabase::database(lock)).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        {
            LocalStore local(path);
            QVERIFY(!local.RecordReading(r));
            QVERIFY(!local.RecordScan(s));
            QCOMPARE(local.Waiting(), 2);
        }
        QVERIFY(QSqlQuery(QSqlDatabase::database(lock)).exec(QStringLiteral("ROLLBACK")));
        QSqlDatabase::removeDatabase(lock);
        QVERIFY(QFile::exists(kept));
        QCOMPARE(QFile(kept).permissions() & 0x0077, QFileDevice::Permissions());  // the owner's only
        // The next start writes them once its window is up, before any reading.
        AppFixture f;
        f.Start();
        QTRY_VERIFY(!QFile::exists(kept));
        QCOMPARE(f.Rows()->rowCount(), 0);
    }
    {
        LocalStore local(path);
        if (!overTheExit) {
            QVERIFY(local.RecordReading(r));
            QVERIFY(local.RecordScan(s));
        }
        QCOMPARE(local.Waiting(), 0);
        QVERIFY(!QFile::exists(kept));
        QCOMPARE(local.Unsent(), 2);
        QCOMPARE(local.TakeNotice(), QString());
        QSqlQuery q(local.Database());
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        const auto back = ReadAll(local.Database(), QStringLiteral("readings"), ReadingColumns());
        QCOMPARE(back.size(), 1u);
        const ReadingRecord& b = back.front();
        QVERIFY(!b.id.isEmpty());
        QCOMPARE(b.takenAt, r.takenAt);
        for (auto v : {&ReadingRecord::specular, &ReadingRecord::doi, &ReadingRecord::haze2, &ReadingRecord::haze15})
            QCOMPARE(b.*v, r.*v);
        QCOMPARE(b.commentTexts, r.commentTexts);
        QCOMPARE(b.commentHeaders.mid(0, 3), r.commentHeaders);
        QCOMPARE(b.dataFile, r.dataFile);
        QCOMPARE(b.digits, 3);
        QCOMPARE(b.verdict, QString());
        const auto scans = ReadAll(local.Database(), QStringLiteral("scans"), ScanColumns());
        QCOMPARE(scans.size(), 1u);
        QCOMPARE(scans.front().points, s.points);
    }
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
}

// A step list grows at its end: an old file runs only the new steps and keeps its rows; a step
// that fails leaves the file at the version before it; a file newer than the list is refused.
void TestStore::unreadableKeptRecordsAreSetAside_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("cut short") << QByteArray(R"([{"table": "readings", "values": {"specular": 8)");
    QTest::newRow("not a list") << QByteArray(R"({"table": "readings"})");
}

// Kept records that cannot be read are never removed unread: the file is set aside whole, the
// operator is told, and the store takes readings on.
void TestStore::unreadableKeptRecordsAreSetAside()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("measurements.sqlite"));
    const QString kept = path + QStringLiteral(".waiting");
    QFile file(kept);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    file.close();
    {
        LocalStore local(path);
        ReadingRecord r;
        r.station = QStringLiteral("Station 1");
        QVERIFY(local.RecordReading(r));
        QCOMPARE(local.Unsent(), 1);
        const QString notice = local.TakeNotice();
        QVERIFY2(notice.contains(kept + QStringLiteral(".unreadable")), qPrintable(notice));
    }
    QVERIFY(!QFile::exists(kept));
    QFile aside(kept + QStringLiteral(".unreadable"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), contents);
}

void TestStore::migrationsRunForwardOnly()
{
    QTemporaryDir dir;
    const QString name =
        LocalStore::OpenConnection(dir.filePath(QStringLiteral("m.sqlite")), QStringLiteral("m"), 1000);
    QVERIFY(!name.isEmpty());
    {
        QSqlDatabase db = QSqlDatabase::database(name);
        std::vector<MigrationStep> steps{LocalSteps().front()};
        QCOMPARE(MigrateLocal(db, steps).version, 1);
        QSqlQuery q(db);
        QVERIFY(
            q.exec(QStringLiteral("INSERT INTO readings (id, taken_at, station, specular, doi, haze2, haze15, digits) "
                                  "VALUES ('a', 'x', 's', 1, 2, 3, 4, 2)")));
        steps = LocalSteps();
        steps.push_back({QStringLiteral("broken"),
                         {QStringLiteral("CREATE TABLE extra (x)"), QStringLiteral("no such statement")}});
        const MigrationResult broken = MigrateLocal(db, steps);
        QVERIFY(!broken.ok);
        QCOMPARE(broken.version, int(LocalSteps().size()));
        QVERIFY(broken.problem.startsWith(QStringLiteral("broken: ")));
        QVERIFY(!db.tables().contains(QStringLiteral("extra")));
        steps.back().statements.removeLast();
        QVERIFY(MigrateLocal(db, steps).ok);
        QVERIFY(db.tables().contains(QStringLiteral("extra")));
        QVERIFY(q.exec(QStringLiteral("SELECT count(*) FROM readings")) && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        const MigrationResult newer = MigrateLocal(db, LocalSteps());
        QVERIFY(!newer.ok);
        QVERIFY(newer.problem.contains(QStringLiteral("newer")));
    }
    QSqlDatabase::removeDatabase(name);
}

void TestStore::failingStoreCostsOneMessage_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("cause");
    QTest::newRow("damaged file") << "damaged"
                                  << "not a database";
    QTest::newRow("locked by another program") << "locked"
                                               << "locked";
    QTest::newRow("file not writable") << "read-only file"
                                       << "readonly";
    QTest::newRow("folder not writable") << "read-only folder"
                                         << "unable to open";
}

// Readings go on into the list and the data file; the operator is told once, naming the file
// and the cause; what waited is in the store once the file takes records again.
void TestStore::failingStoreCostsOneMessage()
{
    QFETCH(QString, fault);
    QFETCH(QString, cause);
    AppFixture f;
    const QString folder = f.dir.filePath(QStringLiteral("data/Glimora"));
    const QString path = folder + QStringLiteral("/measurements.sqlite");
    qputenv("XDG_DATA_HOME", QFile::encodeName(f.dir.filePath(QStringLiteral("data"))));
    QDir().mkpath(folder);
    if (fault != QLatin1String("read-only folder")) QVERIFY(LocalStore(path).Open());
    if (fault == QLatin1String("damaged")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
    }
    std::unique_ptr<testing::Unwritable> unwritable;
    if (fault.startsWith(QLatin1String("read-only")))
        unwritable = std::make_unique<testing::Unwritable>(fault.endsWith(QLatin1String("file")) ? path : folder);
    QString lock = LocalStore::OpenConnection(path, QStringLiteral("lock"), 0);
    if (fault == QLatin1String("locked"))
        QVERIFY(QSqlQuery(QSqlDatabase::database(lock)).exec(QStringLiteral("BEGIN EXCLUSIVE")));
    f.Start();
    QVERIFY(f.app->OpenFile(f.dir.filePath(QStringLiteral("lot.txt")), false));
    QString told;
    testing::WhenModal(
        [&](QWidget* w) {
            told = w->findChild<QLabel*>(QStringLiteral("ErrMsg"))->text();
            static_cast<QDialog*>(w)->accept();
        },
        QStringLiteral("Measurement Store Error"));
    for (int i = 0; i < 3; ++i) {
        f.meter->SetNextReading(80 + i, 90, 1, 2);
        f.meter->Emit(VantrelCntl::Event::ReadingReady);
        QVERIFY(testing::PumpUntil([&] { return !told.isEmpty(); }, 2000));
    }
    QCOMPARE(testing::AnsweredTitles().count(QStringLiteral("Measurement Store Error")), 1);
    QVERIFY2(told.contains(path) && told.contains(cause, Qt::CaseInsensitive), qPrintable(told));
    QCOMPARE(f.Rows()->rowCount(), 3);
    // Put right, the store takes the waiting readings with the next one.
    if (fault == QLatin1String("locked")) QSqlQuery(QSqlDatabase::database(lock)).exec(QStringLiteral("ROLLBACK"));
    QSqlDatabase::removeDatabase(lock);
    unwritable.reset();
    f.meter->Emit(VantrelCntl::Event::ReadingReady);
    QTRY_COMPARE(Count(path, QStringLiteral("readings")), 4);
    QCOMPARE(testing::AnsweredTitles().count(QStringLiteral("Measurement Store Error")), 1);
    QFile data(f.dir.filePath(QStringLiteral("lot.txt")));
    QVERIFY(data.open(QIODevice::ReadOnly));
    QCOMPARE(data.readAll().count('\n'), 5);
}

// Data > History... on the readings the window took: pages of a filter, a reading that shows
// at once, and the filtered readings exported as CSV.
void TestStore::historyWindowPagesFiltersAndExports()
{
    AppFixture f;
    qputenv("XDG_DATA_HOME", QFile::encodeName(f.dir.filePath(QStringLiteral("data"))));
    f.Start();
    auto* comment = f.Find<QLineEdit>(QStringLiteral("UserCommentBox"));
    auto read = [&](int n) {
        comment->setText(n % 2 ? QStringLiteral("lot 4711, \"odd\"") : QStringLiteral("lot 4712"));
        f.meter->SetNextReading(80, 90, 1, 2, QStringLiteral("Std A"),
                                QDateTime(QDate(2026, 3, 1), QTime(8, 0)).addSecs(n));
        f.meter->Emit(VantrelCntl::Event::ReadingReady);
    };
    for (int n = 0; n < 250; ++n) read(n);
    f.Find<QAction>(QStringLiteral("mnuDataHistory"))->trigger();
    auto* window = f.app->findChild<HistoryWindow*>(QStringLiteral("HistoryWindow"));
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Measurement History"));
    for (QWidget* w : window->findChildren<QWidget*>(QRegularExpression(QStringLiteral("^History"))))
        QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    testing::TypeInto(window, QStringLiteral("HistoryComment"), QStringLiteral("4711, \"ODD"));
    // The newest odd reading first, the one before it next.
    const auto times = [&] { return HistoryColumn(window, 0); };
    QTRY_VERIFY(times().size() > 1 && times()[1] == QLatin1String("2026-03-01 08:04:07"));
    QCOMPARE(times().size(), HistoryWindow::PageSize);
    testing::Click(window, QStringLiteral("HistoryOlder"));
    QTRY_COMPARE(times().size(), 25);
    testing::Click(window, QStringLiteral("HistoryNewer"));
    QTRY_COMPARE(times().size(), HistoryWindow::PageSize);
    read(1001);
    QTRY_COMPARE_WITH_TIMEOUT(times().value(0), QStringLiteral("2026-03-01 08:16:41"), 2000);
    const QString csv = f.dir.filePath(QStringLiteral("odd.csv"));
    testing::AnswerFileDialog(csv, QStringLiteral("Export"));
    testing::Click(window, QStringLiteral("HistoryExport"));
    QTRY_VERIFY(window->findChild<QLabel*>(QStringLiteral("HistoryStatus"))
                    ->text()
                    .startsWith(QStringLiteral("Exported 126 readings")));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 128);  // the header, 126 readings and the empty piece after the last line end
    QVERIFY(lines.at(1).contains(",\"lot 4711, \"\"odd\"\"\","));
}

QTEST_MAIN(TestStore)
#include "tst_store.moc"
