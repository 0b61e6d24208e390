// Data files, comment columns and the recent-files list, through their public interfaces.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QPointer>
#include <QTimer>
#include <memory>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "comments/CommentColumns.h"
#include "comments/dlgAdditionalComments.h"
#include "comments/dlgHeaderText.h"
#include "datafile/DataFile.h"
#include "datafile/DataFileDialog.h"
#include "datafile/DataLines.h"
#include "datafile/RecentFiles.h"
#include "datafile/dlgOldDataToNew.h"
#include "dialogs/dlgError.h"
#include "dialogs/dlgYesNo.h"
#include "support/SettingsStore.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/ModalHelper.h"
#include "tests/common/Unwritable.h"
#include "vantrel/MeterReading.h"

namespace {

const QString kBaseTitle = QStringLiteral("DOI/Haze Meter");
const QString kCommaHeader = QStringLiteral("DateTime,Specular,DOI,Deg2,Deg15,CalName,CalDtTm,SerNum");
const QString kTabHeader = QStringLiteral("DateTime\tSpecular\tDOI\tDeg2\tDeg15\tCalName\tCalDtTm\tSerNum");

// Stands in for the main window: owns the readings list and the last reading, reacts to the
// data file's signals as the window does (title, commands, recent files, clearing the list)
// and answers its questions through the real dialogs.
struct Window {
    QStandardItemModel list;
    MeterReading last;
    DataFileDialogs prompts{nullptr};
    DataFile file{prompts, list, last};
    QString title = kBaseTitle;
    int updates = 0;
    QStringList recent;

    Window()
    {
        last.SerialNo = QStringLiteral("HZ001234");
        QObject::connect(&file, &DataFile::FileChanged, [this](const QString& path) {
            title = path.isEmpty() ? kBaseTitle : kBaseTitle + QStringLiteral(" - ") + path;
            ++updates;
        });
        QObject::connect(&file, &DataFile::Opened, [this](const QString& path) { recent.append(path); });
        QObject::connect(&file, &DataFile::ListToBeCleared, [this] { list.removeRows(0, list.rowCount()); });
    }
    void SetRows(const QList<QStringList>& rows)
    {
        list.clear();
        for (const QStringList& row : rows) {
            QList<QStandardItem*> items;
            for (const QString& cell : row) items.append(new QStandardItem(cell));
            list.appendRow(items);
        }
    }
    QList<QStringList> Rows() const
    {
        QList<QStringList> rows;
        for (int r = 0; r < list.rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < list.columnCount(); ++c) cells.append(list.item(r, c)->text());
            rows.append(cells);
        }
        return rows;
    }
    bool Open(const QString& path, bool exists, const QStringList& headers = {QStringLiteral("Comment")})
    {
        return file.OpenFile(path, exists, headers);
    }
    // One reading line with one comment column, as the window builds it.
    void Write(const MeterReading& reading, const QString& comment, int digits = 2)
    {
        file.AppendLine(datafile::ReadingLine(reading, digits, file.CommaSeparated(), {comment}));
    }
};

MeterReading MakeReading(double specular = 85.3, const QString& calStd = QStringLiteral("Gloss 90"))
{
    MeterReading r;
    r.Valid = true;
    r.TimeStamp = QDateTime(QDate(2026, 3, 14), QTime(9, 5, 7));
    r.CalTimeStamp = QDateTime(QDate(2026, 2, 1), QTime(16, 20, 0));
    r.SerialNo = QStringLiteral("HZ001234");
    r.SetValues(specular, 92.11, 1.25, 3.4);
    r.SetCalStd(calStd);
    return r;
}

QStringList Row(const QString& specular, const QString& comment = QStringLiteral("c"))
{
    return {QStringLiteral("03/14/2026 09:05:07"), specular, QStringLiteral("92.11"), QStringLiteral("1.25"),
            QStringLiteral("3.40"), QStringLiteral("Gloss 90"), comment};
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray("<unreadable>");
    return f.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Records the message of each "File Error" notice and closes it with OK.
struct ErrorCatcher {
    QStringList messages;
    void Expect()
    {
        testing::WhenModal(
            [this](QWidget* w) {
                auto* d = qobject_cast<dlgError*>(w);
                messages.append(d ? d->ErrMsg->text() : QStringLiteral("<%1>").arg(w->objectName()));
                testing::Click(w, QStringLiteral("OKButton"));
            },
            QStringLiteral("File Error"));
    }
};

void Answer(const QString& button, const QString& title)
{
    testing::WhenModal([button](QWidget* w) { testing::Click(w, button); }, title);
}

void AnswerOldData(const QString& button)
{
    Answer(button, QStringLiteral("Save Old Data To New File"));
}

// The child process of the file-size test: it runs under a file size limit with SIGXFSZ
// ignored, so that writes beyond the limit fail the way a full disk does.
int RunLimitedChild(const QString& mode, const QString& path)
{
    int argc = 1;
    char name[] = "tst_datafile-child";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    QStringList errors;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&errors] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible()) return;
        if (auto* e = qobject_cast<dlgError*>(w)) {
            errors.append(e->ErrMsg->text());
            e->OKButton->click();
        } else if (auto* o = qobject_cast<dlgOldDataToNew*>(w)) {
            o->btnSaveToFile->click();
        } else if (auto* d = qobject_cast<QDialog*>(w)) {
            d->reject();
        }
    });
    answer.start(5);

    Window w;
    QList<QStringList> rows;
    if (mode == QLatin1String("olddata"))
        for (int i = 0; i < 40; ++i) rows.append(Row(QString::number(i)));
    w.SetRows(rows);
    const bool opened = w.Open(path, false);
    int written = 0;
    if (opened && mode == QLatin1String("readings")) {
        for (int i = 0; i < 100 && w.file.FileOpen(); ++i) {
            w.Write(MakeReading(i), QStringLiteral("note %1").arg(i));
            if (w.file.FileOpen()) ++written;
        }
    }
    std::printf("opened=%d\nwritten=%d\nopen=%d\nname=%s\ntitle=%s\nerrors=%s\n", opened ? 1 : 0, written,
                w.file.FileOpen() ? 1 : 0, qPrintable(w.file.FileName()), qPrintable(w.title),
                qPrintable(errors.join(QLatin1Char('|'))));
    std::fflush(stdout);
    return 0;
}

}  // namespace

class TestDataFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<support::SettingsStore> m_store;
    RecordingSoundSink m_sounds;
    int m_storeNumber = 0;

    QString PathOf(const QString& name) const { return m_dir.filePath(name); }
    QMap<QString, QString> ChildResult(const QString& mode, const QString& path, qint64 limit);

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        support::SetSounds(&m_sounds);
    }
    void init()
    {
        m_store = std::make_unique<support::SettingsStore>(PathOf(QStringLiteral("settings%1.ini").arg(++m_storeNumber)));
        m_sounds.sounds.clear();
    }
    void cleanup()
    {
        const int pending = testing::PendingModals();
        testing::ClearModals();
        QCOMPARE(pending, 0);
    }

    void headerAndReadingLines();
    void oldDataLines();
    void headerRecognition_data();
    void headerRecognition();
    void commentCounting();
    void commentHeadersFromStore();
    void newFileAndReadings();
    void separatorFollowsExtension();
    void openFailures();
    void unrecognisedFile();
    void existingRecognisedFile();
    void listedReadingsOnOpen();
    void oldDataDialog();
    void writeErrorAtFileSizeLimit();
    void fileCommandsAndDialog();
    void recentFilesOrder();
    void recentFilesMenu();
    void commentDialogs();
    void headerChangeWarning();
    void boxesHoldOneLine();
};

void TestDataFile::headerAndReadingLines()
{
    using namespace datafile;
    QCOMPARE(HeaderLine(true, {QStringLiteral("Comment")}), kCommaHeader + QStringLiteral(",Comment\r\n"));
    QCOMPARE(HeaderLine(false, {}), kTabHeader + QStringLiteral("\r\n"));
    // Header texts go in unquoted, separators and all.
    QCOMPARE(HeaderLine(true, {QStringLiteral("Batch, lot"), QString(), QStringLiteral("Who")}),
             kCommaHeader + QStringLiteral(",Batch, lot,,Who\r\n"));

    const MeterReading r = MakeReading();
    QCOMPARE(ReadingLine(r, 2, true, {QStringLiteral("Panel 7")}),
             QStringLiteral("03/14/2026 09:05:07,85.30,92.11,1.25,3.40,\"Gloss 90\",02/01/2026 16:20:00,\"HZ001234\",\"Panel 7\"\r\n"));
    // Tabs, no decimals (trailing point), blanks trimmed off the quoted name and serial number.
    MeterReading padded = MakeReading(85.346, QStringLiteral("  Gloss 90 "));
    padded.SerialNo = QStringLiteral(" HZ9 ");
    QCOMPARE(ReadingLine(padded, 0, false, {QString(), QStringLiteral("x")}),
             QStringLiteral("03/14/2026 09:05:07\t85.\t92.\t1.\t3.\t\"Gloss 90\"\t02/01/2026 16:20:00\t\"HZ9\"\t\"\"\t\"x\"\r\n"));
    QCOMPARE(ReadingLine(r, 3, true, {}).section(QLatin1Char(','), 1, 1), QStringLiteral("85.300"));
    // Comment texts are written exactly as typed: commas, quotes, tabs, letters beyond ASCII.
    const QString odd = QStringLiteral("a,b \"q\"\tc ü ß 漢");
    QVERIFY(ReadingLine(r, 2, true, {odd}).endsWith(QStringLiteral(",\"") + odd + QStringLiteral("\"\r\n")));

    // A pasted line break never splits a record.
    MeterReading broken = MakeReading(1, QStringLiteral("Gloss\n90"));
    QCOMPARE(ReadingLine(broken, 2, true, {QStringLiteral("two\r\nlines")}).count(QLatin1Char('\n')), 1);
    QVERIFY(ReadingLine(broken, 2, true, {QStringLiteral("two\r\nlines")}).endsWith(QStringLiteral("\"two lines\"\r\n")));
    QCOMPARE(HeaderLine(true, {QStringLiteral("a\nb")}).count(QLatin1Char('\n')), 1);
    QCOMPARE(OldDataLine(Row(QStringLiteral("1.00"), QStringLiteral("x\ny")), QString(), true).count(QLatin1Char('\n')), 1);
}

void TestDataFile::oldDataLines()
{
    using namespace datafile;
    const QStringList row = Row(QStringLiteral("85.30"), QStringLiteral("Panel, 7"));
    QCOMPARE(OldDataLine(row, QStringLiteral(" HZ5 "), true),
             QStringLiteral("03/14/2026 09:05:07,85.30,92.11,1.25,3.40,Gloss 90,,\"HZ5\",Panel, 7\r\n"));
    QCOMPARE(OldDataLine(row, QStringLiteral("HZ5"), false),
             QStringLiteral("03/14/2026 09:05:07\t85.30\t92.11\t1.25\t3.40\tGloss 90\t\t\"HZ5\"\tPanel, 7\r\n"));
    // A short row still gives nine fields.
    QCOMPARE(OldDataLine({QStringLiteral("d")}, QString(), true).count(QLatin1Char(',')), 8);
}

void TestDataFile::headerRecognition_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("form");
    const int none = int(datafile::HeaderForm::None), comma = int(datafile::HeaderForm::Comma),
              tab = int(datafile::HeaderForm::Tab);
    QTest::newRow("comma") << kCommaHeader.toLatin1() << comma;
    QTest::newRow("capitals") << kCommaHeader.toUpper().toLatin1() << comma;
    QTest::newRow("small letters, tab") << kTabHeader.toLower().toLatin1() << tab;
    QTest::newRow("comment headers after") << QByteArray(kCommaHeader.toLatin1() + ",Comment,Batch") << comma;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF" + kCommaHeader.toLatin1()) << comma;
    QTest::newRow("cut short") << kCommaHeader.left(40).toLatin1() << none;
    QTest::newRow("leading blank") << QByteArray(" " + kCommaHeader.toLatin1()) << none;
    QTest::newRow("mixed separators") << QByteArray("DateTime,Specular\tDOI,Deg2,Deg15,CalName,CalDtTm,SerNum") << none;
    QTest::newRow("empty") << QByteArray() << none;
    QTest::newRow("binary") << QByteArray(64, '\0') << none;
}

void TestDataFile::headerRecognition()
{
    QFETCH(QByteArray, line);
    QFETCH(int, form);
    QCOMPARE(int(datafile::RecognizeHeader(line)), form);
}

void TestDataFile::commentCounting()
{
    CommentColumns c(*m_store);
    c.ClearCommentTexts();
    QCOMPARE(c.CommentTextCount, int16_t(1));
    c.CountCommentTexts();
    QCOMPARE(c.CommentTextCount, int16_t(0));
    QVERIFY(c.TextsInUse().isEmpty());

    c.SetCommentText(4, QStringLiteral("four"));
    c.CountCommentTexts();
    QCOMPARE(c.CommentTextCount, int16_t(4));
    QCOMPARE(c.TextsInUse(), QStringList({QString(), QString(), QString(), QStringLiteral("four")}));

    c.SetCommentText(4, QString());
    c.SetCommentText(1, QStringLiteral(" "));  // blanks count as a text here
    c.CountCommentTexts();
    QCOMPARE(c.CommentTextCount, int16_t(1));

    // Out-of-range columns read as empty text and are never stored.
    c.SetCommentText(0, QStringLiteral("x"));
    c.SetCommentText(8, QStringLiteral("x"));
    QCOMPARE(c.CommentText(0), QString());
    QCOMPARE(c.CommentText(8), QString());

    for (int k = 1; k <= 7; ++k) c.SetCommentHeader(k, QString());
    c.CountCommentHeaders();
    QCOMPARE(c.CommentHeaderCount, int16_t(0));
    QVERIFY(c.HeadersInUse().isEmpty());
    c.SetCommentHeader(7, QStringLiteral("last"));
    c.CountCommentHeaders();
    QCOMPARE(c.CommentHeaderCount, int16_t(7));
}

void TestDataFile::commentHeadersFromStore()
{
    CommentColumns fresh(*m_store);
    fresh.LoadCommentHeaders();
    QCOMPARE(fresh.CommentHeader(1), QStringLiteral("Comment"));
    QCOMPARE(fresh.CommentHeader(2), QString());
    QCOMPARE(fresh.CommentHeaderCount, int16_t(1));

    m_store->SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment1"), QString());
    m_store->SaveSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment3"), QStringLiteral("Batch"));
    CommentColumns stored(*m_store);
    stored.LoadCommentHeaders();
    QCOMPARE(stored.CommentHeader(1), QString());  // present but empty: no default
    QCOMPARE(stored.HeadersInUse(), QStringList({QString(), QString(), QStringLiteral("Batch")}));
}

void TestDataFile::newFileAndReadings()
{
    Window w;
    const QString path = PathOf(QStringLiteral("new.csv"));

    QVERIFY(w.Open(path, false));
    QVERIFY(w.file.FileOpen());
    QVERIFY(w.file.FileNumber() != 0);
    QVERIFY(w.file.CommaSeparated());
    QCOMPARE(w.file.FileName(), path);
    QCOMPARE(w.title, kBaseTitle + QStringLiteral(" - ") + path);
    QCOMPARE(w.recent, QStringList({path}));
    QCOMPARE(ReadAll(path), (kCommaHeader + QStringLiteral(",Comment\r\n")).toUtf8());

    // Each line is in the file as soon as AppendLine returns.
    QByteArray expected = ReadAll(path);
    for (const QString& comment : {QStringLiteral("Panel 7"), QString()}) {
        w.Write(MakeReading(), comment);
        expected += datafile::ReadingLine(MakeReading(), 2, true, {comment}).toUtf8();
        QCOMPARE(ReadAll(path), expected);
    }

    const int updates = w.updates;
    w.file.CloseFile();
    QVERIFY(!w.file.FileOpen());
    QCOMPARE(w.file.FileNumber(), 0);
    QCOMPARE(w.file.FileName(), path);  // kept after a close
    QCOMPARE(w.title, kBaseTitle);
    QCOMPARE(w.updates, updates + 1);
    // Nothing is written while no file is open, and closing again only resets title and commands.
    w.Write(MakeReading(), QStringLiteral("late"));
    QCOMPARE(ReadAll(path), expected);
    w.file.CloseFile();
    QCOMPARE(w.updates, updates + 2);
}

void TestDataFile::separatorFollowsExtension()
{
    Window w;
    for (const QString& name : {QStringLiteral("CAPS.CSV"), QStringLiteral("noext")}) {
        const QString path = PathOf(name);
        QVERIFY(w.Open(path, false));
        QVERIFY(!w.file.CommaSeparated());
        w.Write(MakeReading(), QStringLiteral("x"), 1);
        const QList<QByteArray> lines = ReadAll(path).split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), (kTabHeader + QStringLiteral("\tComment\r")).toUtf8());
        QCOMPARE(lines.at(1).count('\t'), 8);
        QVERIFY(!lines.at(1).contains(','));
    }
    // With every header cleared a new file gets only the fixed header.
    QVERIFY(w.Open(PathOf(QStringLiteral("bare.csv")), false, {}));
    QCOMPARE(ReadAll(PathOf(QStringLiteral("bare.csv"))), (kCommaHeader + QStringLiteral("\r\n")).toUtf8());
}

void TestDataFile::openFailures()
{
    Window w;
    ErrorCatcher errors;
    const QString kept = PathOf(QStringLiteral("kept.csv"));
    WriteFile(kept, "precious\r\n");

    QVERIFY(w.Open(PathOf(QStringLiteral("first.csv")), false));
    const int recentBefore = int(w.recent.size());

    // New names an existing file: the earlier file is closed all the same.
    errors.Expect();
    QVERIFY(!w.Open(kept, false));
    QVERIFY(!w.file.FileOpen());
    QCOMPARE(w.file.FileName(), QString());
    QCOMPARE(w.title, kBaseTitle);
    QCOMPARE(ReadAll(kept), QByteArray("precious\r\n"));

    // Open of a missing file creates nothing.
    const QString missing = PathOf(QStringLiteral("missing.csv"));
    errors.Expect();
    QVERIFY(!w.Open(missing, true));
    QVERIFY(!QFile::exists(missing));

    // An empty existing file cannot be read.
    const QString empty = PathOf(QStringLiteral("empty.csv"));
    WriteFile(empty, QByteArray());
    errors.Expect();
    QVERIFY(!w.Open(empty, true));
    QCOMPARE(QFileInfo(empty).size(), 0);

    // A folder is no data file, whether opened or named as a new one.
    QDir(m_dir.path()).mkdir(QStringLiteral("folder.csv"));
    errors.Expect();
    QVERIFY(!w.Open(PathOf(QStringLiteral("folder.csv")), true));
    // A new file in a folder that does not exist.
    errors.Expect();
    QVERIFY(!w.Open(PathOf(QStringLiteral("no/such/folder/x.csv")), false));

    QCOMPARE(errors.messages, QStringList({QStringLiteral("File Already Exists!")}) + QStringList(4, QStringLiteral("Error Opening File")));
    QVERIFY(!w.file.FileOpen());
    QCOMPARE(w.recent.size(), recentBefore);  // failures never reach the recent files
    QCOMPARE(w.title, kBaseTitle);
    QCOMPARE(m_sounds.sounds.count(48), errors.messages.size());
}

void TestDataFile::unrecognisedFile()
{
    Window w;
    const QString path = PathOf(QStringLiteral("foreign.txt"));
    const QByteArray foreign("Name;Value\r\nalpha;1\r\n");
    WriteFile(path, foreign);
    const QString question = QStringLiteral("Unrecognized file structure.  Continue writing to file?");

    // No and the close box refuse the file and leave it untouched.
    ErrorCatcher errors;
    QStringList asked;
    for (const QString& button : {QStringLiteral("NoButton"), QString()}) {
        testing::WhenModal(
            [&asked, button](QWidget* w) {
                auto* d = qobject_cast<dlgYesNo*>(w);
                asked.append(d ? d->MsgLbl->text() + (d->CancelButton->isVisible() ? "+cancel" : "") : QString());
                if (button.isEmpty()) w->close();
                else testing::Click(w, button);
            },
            QStringLiteral("File Error"));
        errors.Expect();
        QVERIFY(!w.Open(path, true));
        QVERIFY(!w.file.FileOpen());
    }
    QCOMPARE(asked, QStringList(2, question + QStringLiteral("+cancel")));
    QCOMPARE(errors.messages, QStringList(2, QStringLiteral("Error Opening File")));
    QCOMPARE(ReadAll(path), foreign);

    // Yes: appended to as it is, no header, separator from the extension (txt: tabs).
    Answer(QStringLiteral("YesButton"), QStringLiteral("File Error"));
    QVERIFY(w.Open(path, true));
    QCOMPARE(ReadAll(path), foreign);
    QVERIFY(!w.file.CommaSeparated());
    w.Write(MakeReading(), QStringLiteral("x"));
    const QByteArray after = ReadAll(path);
    QVERIFY(after.startsWith(foreign));
    QCOMPARE(after.mid(foreign.size()).count('\t'), 8);
    QCOMPARE(after.count("\r\n"), 3);
}

void TestDataFile::existingRecognisedFile()
{
    Window w;

    // The file's own header decides the separator, whatever the extension says.
    const QString tabCsv = PathOf(QStringLiteral("tabbed.csv"));
    const QByteArray tabContent = (kTabHeader.toUpper() + QStringLiteral("\tComment\r\nrow\r\n")).toUtf8();
    WriteFile(tabCsv, tabContent);
    QVERIFY(w.Open(tabCsv, true));
    QVERIFY(!w.file.CommaSeparated());
    QCOMPARE(ReadAll(tabCsv), tabContent);  // nothing written on opening
    w.Write(MakeReading(), QStringLiteral("x"));
    QCOMPARE(ReadAll(tabCsv).mid(tabContent.size()).count('\t'), 8);

    const QString commaTxt = PathOf(QStringLiteral("comma.txt"));
    const QByteArray commaContent = (kCommaHeader.toLower() + QStringLiteral(",Comment,Batch\r\n")).toUtf8();
    WriteFile(commaTxt, commaContent);
    QVERIFY(w.Open(commaTxt, true));
    QVERIFY(w.file.CommaSeparated());
    w.Write(MakeReading(), QStringLiteral("x"));
    QCOMPARE(ReadAll(commaTxt).mid(commaContent.size()).count(','), 8);
    QCOMPARE(w.recent, QStringList({tabCsv, commaTxt}));
}

void TestDataFile::listedReadingsOnOpen()
{
    Window w;
    const QList<QStringList> rows = {Row(QStringLiteral("10.00"), QStringLiteral("first")),
                                     Row(QStringLiteral("20.00"), QString()), Row(QStringLiteral("30.00"), QStringLiteral("a \"b\""))};
    w.last.SerialNo = QStringLiteral(" HZ777 ");

    // Save Old To File on a new file: the header, then one line per row in list order.
    w.SetRows(rows);
    AnswerOldData(QStringLiteral("btnSaveToFile"));
    const QString saved = PathOf(QStringLiteral("saved.csv"));
    QVERIFY(w.Open(saved, false));
    QCOMPARE(w.Rows(), rows);
    QCOMPARE(ReadAll(saved),
             (kCommaHeader + QStringLiteral(",Comment\r\n") +
              QStringLiteral("03/14/2026 09:05:07,10.00,92.11,1.25,3.40,Gloss 90,,\"HZ777\",first\r\n"
                             "03/14/2026 09:05:07,20.00,92.11,1.25,3.40,Gloss 90,,\"HZ777\",\r\n"
                             "03/14/2026 09:05:07,30.00,92.11,1.25,3.40,Gloss 90,,\"HZ777\",a \"b\"\r\n"))
                 .toUtf8());

    // Save Old To File on an existing recognised file appends at its end.
    const QByteArray before = ReadAll(saved);
    AnswerOldData(QStringLiteral("btnSaveToFile"));
    QVERIFY(w.Open(saved, true));
    QVERIFY(ReadAll(saved).startsWith(before));
    QCOMPARE(ReadAll(saved).count("\r\n"), 7);

    // Save New Only: the rows stay listed and are not written.
    AnswerOldData(QStringLiteral("Cancel"));
    const QString newOnly = PathOf(QStringLiteral("newonly.csv"));
    QVERIFY(w.Open(newOnly, false));
    QCOMPARE(w.Rows(), rows);
    QCOMPARE(ReadAll(newOnly).count("\r\n"), 1);

    // Delete Old Data: the list is cleared before the file is opened.
    AnswerOldData(QStringLiteral("btnDeleteData"));
    const QString deleted = PathOf(QStringLiteral("deleted.csv"));
    QVERIFY(w.Open(deleted, false));
    QVERIFY(w.Rows().isEmpty());
    QCOMPARE(ReadAll(deleted).count("\r\n"), 1);

    // Delete Old Data stands even when the open then fails.
    w.SetRows(rows);
    AnswerOldData(QStringLiteral("btnDeleteData"));
    ErrorCatcher errors;
    errors.Expect();
    QVERIFY(!w.Open(PathOf(QStringLiteral("absent.csv")), true));
    QVERIFY(w.Rows().isEmpty());
    QVERIFY(!w.file.FileOpen());

    // Save Old To File followed by a refused open writes nothing anywhere.
    w.SetRows(rows);
    AnswerOldData(QStringLiteral("btnSaveToFile"));
    errors.Expect();
    QVERIFY(!w.Open(deleted, false));
    QCOMPARE(ReadAll(deleted).count("\r\n"), 1);
    QCOMPARE(w.Rows(), rows);
    QCOMPARE(errors.messages, QStringList({QStringLiteral("Error Opening File"), QStringLiteral("File Already Exists!")}));
}

void TestDataFile::oldDataDialog()
{
    Window w;
    w.SetRows({Row(QStringLiteral("1.00"))});

    // The safe choice, Save New Only, answers Enter, Escape and the close box: the list is kept
    // and none of it is written.
    QString question;
    for (int key : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
        testing::WhenModal(
            [&question, key](QWidget* w) {
                if (auto* d = qobject_cast<dlgOldDataToNew*>(w)) question = d->Label1->text();
                if (key) QTest::keyClick(w, Qt::Key(key));
                else w->close();
            },
            QStringLiteral("Save Old Data To New File"));
        const QString path = PathOf(QStringLiteral("key%1.csv").arg(key));
        QVERIFY(w.Open(path, false));
        QCOMPARE(w.Rows().size(), 1);
        QCOMPARE(ReadAll(path).count("\r\n"), 1);
    }
    QCOMPARE(question, QStringLiteral("There is data remaining in the application list box.  Do you wish to save this data to "
                                      "the new file, delete the data before opening the file or just save the new readings "
                                      "taken to the file?"));
}

QMap<QString, QString> TestDataFile::ChildResult(const QString& mode, const QString& path, qint64 limit)
{
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QStringLiteral("--limited-child"), mode, path});
    child.setChildProcessModifier([limit] {
        struct rlimit rl;
        rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(limit);
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ::signal(SIGXFSZ, SIG_IGN);
    });
    child.start();
    QMap<QString, QString> result;
    if (!child.waitForFinished(60000)) {
        child.kill();
        child.waitForFinished();
        return result;
    }
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) result.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    result.insert(QStringLiteral("exit"), QString::number(child.exitCode()));
    return result;
}

void TestDataFile::writeErrorAtFileSizeLimit()
{
    const QString header = datafile::HeaderLine(true, {QStringLiteral("Comment")});
    const qint64 lineLength = datafile::ReadingLine(MakeReading(1), 2, true, {QStringLiteral("note 1")}).size();

    // Readings: the limit falls inside the fourth reading line.
    const QString path = PathOf(QStringLiteral("limited.csv"));
    const qint64 limit = header.size() + 3 * lineLength + lineLength / 2;
    QMap<QString, QString> r = ChildResult(QStringLiteral("readings"), path, limit);
    QCOMPARE(r.value(QStringLiteral("exit")), QStringLiteral("0"));
    QCOMPARE(r.value(QStringLiteral("opened")), QStringLiteral("1"));
    QCOMPARE(r.value(QStringLiteral("written")), QStringLiteral("3"));
    QCOMPARE(r.value(QStringLiteral("open")), QStringLiteral("0"));
    QCOMPARE(r.value(QStringLiteral("name")), QString());
    QCOMPARE(r.value(QStringLiteral("title")), kBaseTitle);
    QCOMPARE(r.value(QStringLiteral("errors")), QStringLiteral("Data Write Error"));
    // Every line reported as written is whole in the file; the broken one is what fitted.
    const QByteArray content = ReadAll(path);
    QCOMPARE(content.size(), limit);
    const QList<QByteArray> lines = content.split('\n');
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0) + '\n', header.toUtf8());
    for (int i = 1; i <= 3; ++i) {
        QVERIFY(lines.at(i).endsWith('\r'));
        QCOMPARE(lines.at(i).count(','), 8);
        QVERIFY(lines.at(i).endsWith(QStringLiteral("\"note %1\"\r").arg(i - 1).toUtf8()));
    }
    QVERIFY(!lines.at(4).isEmpty() && !lines.at(4).contains('\r'));

    // The header of a new file does not fit.
    const QString tiny = PathOf(QStringLiteral("tiny.csv"));
    r = ChildResult(QStringLiteral("header"), tiny, 20);
    QCOMPARE(r.value(QStringLiteral("opened")), QStringLiteral("0"));
    QCOMPARE(r.value(QStringLiteral("errors")), QStringLiteral("Error Opening File"));
    QCOMPARE(ReadAll(tiny), header.toUtf8().left(20));

    // Old data stops part way.
    const QString old = PathOf(QStringLiteral("old.csv"));
    r = ChildResult(QStringLiteral("olddata"), old, header.size() + 500);
    QCOMPARE(r.value(QStringLiteral("opened")), QStringLiteral("0"));
    QCOMPARE(r.value(QStringLiteral("open")), QStringLiteral("0"));
    QCOMPARE(r.value(QStringLiteral("errors")), QStringLiteral("Error Writing Old Data"));
    QCOMPARE(ReadAll(old).size(), header.size() + 500);
    QVERIFY(ReadAll(old).startsWith(header.toUtf8()));
}

void TestDataFile::fileCommandsAndDialog()
{
    using namespace datafile;
    const QStringList filters = {QStringLiteral("Excel (*.csv)"), QStringLiteral("Text (*.txt)"), QStringLiteral("All Files (*.*)")};
    QCOMPARE(NameFiltersFromText(DataFileFilterText()), filters);
    QCOMPARE(NameFiltersFromText(QStringLiteral("Scans|*.scn;*.txt")), QStringList({QStringLiteral("Scans (*.scn *.txt)")}));

    for (bool forNew : {true, false}) {
        std::unique_ptr<QFileDialog> d = MakeDataFileDialog(nullptr, forNew, filters.at(1));
        QCOMPARE(d->selectedNameFilter(), forNew ? filters.first() : filters.at(1));
        QCOMPARE(d->fileMode(), forNew ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    }

    // A name typed without extension gets ".csv"; the next Open dialog offers the filter chosen.
    DataFileDialogs dialogs(nullptr);
    testing::WhenModal([this](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        QVERIFY(d);
        d->selectNameFilter(QStringLiteral("Text (*.txt)"));
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(PathOf(QStringLiteral("typed")));
        QTimer::singleShot(0, d, [d] { static_cast<QDialog*>(d)->accept(); });
    }, QStringLiteral("New"));
    QCOMPARE(dialogs.ChooseFile(true), PathOf(QStringLiteral("typed.csv")));
    QString offered;
    testing::WhenModal([&offered](QWidget* w) {
        offered = static_cast<QFileDialog*>(w)->selectedNameFilter();
        static_cast<QDialog*>(w)->reject();
    }, QStringLiteral("Open"));
    QCOMPARE(dialogs.ChooseFile(false), QString());
    QCOMPARE(offered, filters.at(1));

    // Names the data could not be written to are refused in the dialog, which stays open, before
    // anything happens to the open data file; cancelling then returns nothing.
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("closed")));
    const QString locked = PathOf(QStringLiteral("locked.csv"));
    WriteFile(locked, "x");
    const testing::Unwritable closedFolder(PathOf(QStringLiteral("closed")));
    const testing::Unwritable lockedFile(locked);
    QVERIFY(closedFolder.Holds() && lockedFile.Holds());
    const struct {
        bool forNew;
        QString name;
        QString message;
    } refusals[] = {
        {true, PathOf(QStringLiteral("nowhere/x.csv")), QStringLiteral("Path does not exist.")},
        {true, PathOf(QStringLiteral("closed/x.csv")), QStringLiteral("You do not have permission to create a file in this folder.")},
        {false, locked, QStringLiteral("This file is set to read-only.")},
    };
    for (const auto& r : refusals) {
        const QString title = r.forNew ? QStringLiteral("New") : QStringLiteral("Open");
        QPointer<QFileDialog> chooser;
        testing::WhenModal([&r, &chooser](QWidget* w) {
            chooser = qobject_cast<QFileDialog*>(w);
            QVERIFY(chooser);
            chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(r.name);  // typed, as an operator does
            QTimer::singleShot(0, chooser, [&chooser] { static_cast<QDialog*>(chooser.data())->accept(); });
        }, title);
        QStringList refused;
        // The refusal closed, the chooser (still open for another name) is cancelled.
        testing::WhenModal([&refused, &chooser](QWidget* w) {
            refused << w->windowTitle() << static_cast<QMessageBox*>(w)->text();
            w->close();
            if (chooser) QTimer::singleShot(0, chooser, [&chooser] { chooser->reject(); });
        });
        QCOMPARE(dialogs.ChooseFile(r.forNew), QString());
        QCOMPARE(refused.value(0), title);
        QVERIFY2(refused.value(1).contains(r.message), qPrintable(refused.value(1)));
    }
}

void TestDataFile::recentFilesOrder()
{
    QMenu menu;
    RecentFiles recent(*m_store, &menu);
    recent.LoadRecentFiles();
    auto shown = [&recent] {
        QStringList list;
        for (int i = 1; i <= 4; ++i)
            if (recent.mnuFileRecent[i]->isVisible()) list.append(recent.mnuFileRecent[i]->text());
        return list;
    };
    auto stored = [this] {
        QStringList list;
        for (int i = 1; i <= 4; ++i) list.append(m_store->GetSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile%1").arg(i)));
        return list;
    };
    QVERIFY(shown().isEmpty());
    QVERIFY(!recent.mnuFileRecent[0]->isVisible());

    for (const char* p : {"/d/A.csv", "/d/B.csv", "/d/C.csv", "/d/D.csv", "/d/E.csv"}) recent.AddRecentFile(QString::fromLatin1(p));
    const QStringList edcb = {QStringLiteral("/d/E.csv"), QStringLiteral("/d/D.csv"), QStringLiteral("/d/C.csv"), QStringLiteral("/d/B.csv")};
    QCOMPARE(shown(), edcb);
    QCOMPARE(stored(), edcb);
    QVERIFY(recent.mnuFileRecent[0]->isVisible());
    QCOMPARE(recent.FindRecentFile(QStringLiteral("/d/E.csv")), int16_t(0));
    QCOMPARE(recent.FindRecentFile(QStringLiteral("/d/C.csv")), int16_t(2));
    QCOMPARE(recent.FindRecentFile(QStringLiteral("/d/Z.csv")), int16_t(3));

    recent.AddRecentFile(QStringLiteral("/d/C.csv"));
    QCOMPARE(shown(), QStringList({QStringLiteral("/d/C.csv"), QStringLiteral("/d/E.csv"), QStringLiteral("/d/D.csv"), QStringLiteral("/d/B.csv")}));
    // Case counts: the same path in capitals is another entry.
    recent.AddRecentFile(QStringLiteral("/D/C.CSV"));
    QCOMPARE(shown(), QStringList({QStringLiteral("/D/C.CSV"), QStringLiteral("/d/C.csv"), QStringLiteral("/d/E.csv"), QStringLiteral("/d/D.csv")}));

    // The store is on disk after every change.
    support::SettingsStore reread(m_store->FilePath());
    QCOMPARE(reread.GetSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile1")), QStringLiteral("/D/C.CSV"));

    // Hand-edited stores: position 1 missing shows nothing; gaps close up; extra keys are ignored.
    const QString section = QStringLiteral("Recent Files");
    m_store->DeleteSetting(section, QStringLiteral("RecentFile1"));
    recent.LoadRecentFiles();
    QVERIFY(shown().isEmpty());
    QVERIFY(!recent.mnuFileRecent[0]->isVisible());

    m_store->SaveSetting(section, QStringLiteral("RecentFile1"), QStringLiteral("/one"));
    m_store->DeleteSetting(section, QStringLiteral("RecentFile2"));
    m_store->SaveSetting(section, QStringLiteral("RecentFile5"), QStringLiteral("/five"));
    m_store->SaveSetting(section, QStringLiteral("Other"), QStringLiteral("/other"));
    recent.LoadRecentFiles();
    QCOMPARE(shown(), QStringList({QStringLiteral("/one"), QStringLiteral("/d/E.csv"), QStringLiteral("/d/D.csv")}));

    // Adding with an empty store value skips it rather than copying it down.
    m_store->SaveSetting(section, QStringLiteral("RecentFile3"), QString());
    recent.LoadRecentFiles();
    recent.AddRecentFile(QStringLiteral("/new"));
    QCOMPARE(stored(), QStringList({QStringLiteral("/new"), QStringLiteral("/one"), QString(), QStringLiteral("/d/D.csv")}));
}

void TestDataFile::recentFilesMenu()
{
    QMenu menu;
    QAction* exitAction = menu.addAction(QStringLiteral("E&xit"));
    RecentFiles recent(*m_store, &menu);
    QCOMPARE(menu.actions().size(), 6);  // the entries come after what the menu held
    QCOMPARE(menu.actions().first(), exitAction);

    // The caption is the path itself, ampersands included; a click hands the path on.
    const QString odd = QStringLiteral("/data/R&D run.csv");
    recent.AddRecentFile(odd);
    QCOMPARE(recent.mnuFileRecent[1]->iconText(), odd);
    QSignalSpy opened(&recent, &RecentFiles::Opened);
    recent.mnuFileRecent[1]->trigger();
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.first().first().toString(), odd);
}

void TestDataFile::commentDialogs()
{
    CommentColumns c(*m_store);
    c.LoadCommentHeaders();
    c.ClearCommentTexts();
    c.SetCommentText(3, QStringLiteral("old three"));

    // OK takes the trimmed texts of columns 2 to 7; the dialog shows what it was given.
    testing::WhenModal([](QWidget* w) {
        auto* d = qobject_cast<dlgAdditionalComments*>(w);
        QVERIFY(d);
        QCOMPARE(d->Data3Txt->text(), QStringLiteral("old three"));
        for (auto* box : d->findChildren<QLineEdit*>()) QVERIFY2(!box->accessibleName().isEmpty(), qPrintable(box->objectName()));
        testing::TypeInto(w, QStringLiteral("Data3Txt"), QString());
        testing::TypeInto(w, QStringLiteral("Data5Txt"), QStringLiteral("  five, \"5\"  "));
        testing::Click(w, QStringLiteral("OKButton"));
    }, QStringLiteral("Additional Comment Fields"));
    c.CommentBtnCommand(nullptr);
    QCOMPARE(c.CommentText(3), QString());
    QCOMPARE(c.CommentText(5), QStringLiteral("five, \"5\""));
    QCOMPARE(c.CommentTextCount, int16_t(5));
    QVERIFY(!m_store->Dirty());  // the headers were not touched

    // Cancel keeps the texts.
    testing::WhenModal([](QWidget* w) {
        testing::TypeInto(w, QStringLiteral("Data7Txt"), QStringLiteral("seven"));
        testing::Click(w, QStringLiteral("CancelButton"));
    }, QStringLiteral("Additional Comment Fields"));
    c.CommentBtnCommand(nullptr);
    QCOMPARE(c.CommentText(7), QString());
    QCOMPARE(c.CommentTextCount, int16_t(5));

    // Headers changed through the header dialog stand even when the outer dialog is cancelled.
    testing::WhenModal([](QWidget* w) {
        testing::TypeInto(w, QStringLiteral("Data2Txt"), QStringLiteral("dropped"));
        QTimer::singleShot(0, w, [w] { testing::Click(w, QStringLiteral("HeaderBtn")); });
    }, QStringLiteral("Additional Comment Fields"));
    Answer(QStringLiteral("YesButton"), QStringLiteral("Change Column Header Text"));
    testing::WhenModal([](QWidget* w) {
        auto* h = qobject_cast<dlgHeaderText*>(w);
        QVERIFY(h);
        QCOMPARE(h->HdrTxt1TxtBx->text(), QStringLiteral("Comment"));
        testing::TypeInto(w, QStringLiteral("HdrTxt1TxtBx"), QStringLiteral(" Sample "));
        testing::TypeInto(w, QStringLiteral("HdrTxt4TxtBx"), QStringLiteral("Batch, lot"));
        testing::Click(w, QStringLiteral("OKButton"));
        QTimer::singleShot(0, [] {
            auto* outer = qobject_cast<dlgAdditionalComments*>(QApplication::activeModalWidget());
            QVERIFY(outer);
            QCOMPARE(outer->Hdr4Txt->text(), QStringLiteral("Batch, lot"));
            outer->CancelButton->click();
        });
    }, QStringLiteral("Data Header Text"));
    c.CommentBtnCommand(nullptr);
    QCOMPARE(c.CommentText(2), QString());
    QCOMPARE(c.CommentHeader(1), QStringLiteral("Sample"));
    QCOMPARE(c.CommentHeader(4), QStringLiteral("Batch, lot"));
    QCOMPARE(c.CommentHeaderCount, int16_t(4));
    support::SettingsStore reread(m_store->FilePath());
    QCOMPARE(reread.Keys(QStringLiteral("UserComments")).size(), 7);
    QCOMPARE(reread.GetSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment1")), QStringLiteral("Sample"));
    QCOMPARE(reread.GetSetting(QStringLiteral("UserComments"), QStringLiteral("UserComment2")), QString());

    // A new data file now carries the new headers.
    Window w;
    QVERIFY(w.Open(PathOf(QStringLiteral("headers.csv")), false, c.HeadersInUse()));
    QCOMPARE(ReadAll(PathOf(QStringLiteral("headers.csv"))), (kCommaHeader + QStringLiteral(",Sample,,,Batch, lot\r\n")).toUtf8());
}

void TestDataFile::headerChangeWarning()
{
    CommentColumns c(*m_store);
    c.LoadCommentHeaders();
    const QString warning = QStringLiteral("Changing the column headers does not modify the headers in an existing file. Data is "
                                           "only appended to existing files.  Do you wish to change the headers?");
    QStringList questions;
    int headerDialogs = 0;

    // No to the warning; the second click in the same showing skips it; Cancel in the header
    // dialog changes nothing.
    testing::WhenModal([](QWidget* w) { QTimer::singleShot(0, w, [w] { testing::Click(w, QStringLiteral("HeaderBtn")); }); },
                       QStringLiteral("Additional Comment Fields"));
    testing::WhenModal([&questions](QWidget* w) {
        auto* q = qobject_cast<dlgYesNo*>(w);
        QVERIFY(q);
        questions << q->MsgLbl->text();
        QVERIFY(!q->CancelButton->isVisible());
        testing::Click(w, QStringLiteral("NoButton"));
        QTimer::singleShot(0, [] {
            if (auto* outer = qobject_cast<dlgAdditionalComments*>(QApplication::activeModalWidget()))
                outer->HeaderBtn->click();
        });
    }, QStringLiteral("Change Column Header Text"));
    testing::WhenModal([&headerDialogs](QWidget* w) {
        ++headerDialogs;
        testing::TypeInto(w, QStringLiteral("HdrTxt2TxtBx"), QStringLiteral("ignored"));
        testing::Click(w, QStringLiteral("CancelButton"));
        QTimer::singleShot(0, [] {
            if (auto* outer = qobject_cast<dlgAdditionalComments*>(QApplication::activeModalWidget()))
                outer->OKButton->click();
        });
    }, QStringLiteral("Data Header Text"));
    c.CommentBtnCommand(nullptr);
    QCOMPARE(questions, QStringList({warning}));
    QCOMPARE(headerDialogs, 1);
    QCOMPARE(c.CommentHeader(2), QString());
    QVERIFY(!QFile::exists(m_store->FilePath()));  // nothing saved

    // The warning is armed again for the next showing.
    testing::WhenModal([](QWidget* w) { QTimer::singleShot(0, w, [w] { testing::Click(w, QStringLiteral("HeaderBtn")); }); },
                       QStringLiteral("Additional Comment Fields"));
    testing::WhenModal([](QWidget* w) {
        w->close();
        QTimer::singleShot(0, [] {
            if (auto* outer = qobject_cast<dlgAdditionalComments*>(QApplication::activeModalWidget()))
                outer->close();
        });
    }, QStringLiteral("Change Column Header Text"));
    c.CommentBtnCommand(nullptr);
    QCOMPARE(headerDialogs, 1);
    QCOMPARE(testing::AnsweredTitles().last(), QStringLiteral("Change Column Header Text"));
}

void TestDataFile::boxesHoldOneLine()
{
    dlgAdditionalComments d;
    d.Data4Txt->setText(QStringLiteral("one\r\ntwo\nthree"));
    QCOMPARE(d.Data4Txt->text(), QStringLiteral("one two three"));
    d.Data4Txt->clear();
    d.Data4Txt->insert(QStringLiteral("pasted\nline"));
    QCOMPARE(d.Data4Txt->text(), QStringLiteral("pasted line"));
    dlgHeaderText h;
    h.HdrTxt3TxtBx->setText(QStringLiteral("a\u2029b\tc"));
    QCOMPARE(h.HdrTxt3TxtBx->text(), QStringLiteral("a b\tc"));
}

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--limited-child") == 0)
        return RunLimitedChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    QApplication app(argc, argv);
    TestDataFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datafile.moc"
