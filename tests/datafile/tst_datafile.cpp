// Data files, comment columns and the recent-files list, through their public interfaces.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <dlfcn.h>
#include <memory>
#include <sys/stat.h>

#include "datafile/DataFile.h"
#include "datafile/DataFileDialog.h"
#include "datafile/DataLines.h"
#include "datafile/RecentFiles.h"
#include "dialogs/FileChooser.h"
#include "dialogs/dlgError.h"
#include "dialogs/dlgYesNo.h"
#include "support/SettingsStore.h"
#include "tests/common/ModalHelper.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/Unwritable.h"
#include "vantrel/MeterReading.h"

// A line counts as written only once it is on the disk: the program's fdatasync calls land here
// first, noting how much of the file each one covered.
static qint64 g_syncedSize = -1;
extern "C" int fdatasync(int fd)
{
    struct stat st {};
    g_syncedSize = ::fstat(fd, &st) == 0 ? qint64(st.st_size) : -1;
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fdatasync"));
    return real(fd);
}

namespace {

const QString kBaseTitle = QStringLiteral("DOI/Haze Meter");
const QString kCommaHeader = QStringLiteral("DateTime,Specular,DOI,Deg2,Deg15,CalName,CalDtTm,SerNum");
const QString kTabHeader = QStringLiteral("DateTime\tSpecular\tDOI\tDeg2\tDeg15\tCalName\tCalDtTm\tSerNum");

// Stands in for the main window: owns the readings list and the last reading, reacts to the
// data file's signals as the window does (title, recent files, clearing the list) and answers
// its questions through the real dialogs.
struct Window {
    QStandardItemModel list;
    MeterReading last;
    DataFileDialogs prompts{nullptr};
    DataFile file{prompts, list, last};
    QString title = kBaseTitle;
    QStringList recent;

    Window()
    {
        last.SerialNo = QStringLiteral("HZ001234");
        QObject::connect(&file, &DataFile::FileChanged, [this](const QString& path) {
            title = path.isEmpty() ? kBaseTitle : kBaseTitle + QStringLiteral(" - ") + path;
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
    int Rows() const { return list.rowCount(); }
    bool Open(const QString& path, bool exists, const QStringList& headers = {QStringLiteral("Comment")})
    {
        return file.OpenFile(path, exists, headers);
    }
    // One reading line with one comment column, as the window builds it.
    void Write(const MeterReading& reading, const QString& comment)
    {
        file.AppendLine(datafile::ReadingLine(reading, 2, file.CommaSeparated(), {comment}));
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
    return {QStringLiteral("03/14/2026 09:05:07"),
            specular,
            QStringLiteral("92.11"),
            QStringLiteral("1.25"),
            QStringLiteral("3.40"),
            QStringLiteral("Gloss 90"),
            comment};
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
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

}  // namespace

class TestDataFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<support::SettingsStore> m_store;
    RecordingSoundSink m_sounds;
    int m_storeNumber = 0;

    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        support::SetSounds(&m_sounds);
    }
    void init()
    {
        m_store =
            std::make_unique<support::SettingsStore>(PathOf(QStringLiteral("settings%1.ini").arg(++m_storeNumber)));
        m_sounds.sounds.clear();
    }
    void cleanup() { testing::VerifyAllAnswered(); }

    void headerReadingAndOldDataLines()
    {
        using namespace datafile;
        // Header texts go in unquoted, separators and all.
        QCOMPARE(HeaderLine(true, {QStringLiteral("Batch, lot"), QString(), QStringLiteral("Who")}),
                 kCommaHeader + QStringLiteral(",Batch, lot,,Who\r\n"));
        QCOMPARE(HeaderLine(false, {}), kTabHeader + QStringLiteral("\r\n"));
        const MeterReading r = MakeReading();
        QCOMPARE(
            ReadingLine(r, 2, true, {QStringLiteral("Panel 7")}),
            QStringLiteral(
                "03/14/2026 09:05:07,85.30,92.11,1.25,3.40,\"Gloss 90\",02/01/2026 16:20:00,\"HZ001234\",\"Panel 7\"\r\n"));
        // Tabs, no decimals (trailing point), blanks trimmed off the quoted name and serial number.
        MeterReading padded = MakeReading(85.346, QStringLiteral("  Gloss 90 "));
        padded.SerialNo = QStringLiteral(" HZ9 ");
        QCOMPARE(
            ReadingLine(padded, 0, false, {QString(), QStringLiteral("x")}),
            QStringLiteral(
                "03/14/2026 09:05:07\t85.\t92.\t1.\t3.\t\"Gloss 90\"\t02/01/2026 16:20:00\t\"HZ9\"\t\"\"\t\"x\"\r\n"));
        // Comment texts are written exactly as typed: commas, quotes, tabs, letters beyond ASCII.
        const QString odd = QStringLiteral("a,b \"q\"\tc ü ß 漢");
        QVERIFY(ReadingLine(r, 3, true, {odd}).endsWith(QStringLiteral(",\"") + odd + QStringLiteral("\"\r\n")));
        // A pasted line break never splits a record.
        const QString broken =
            ReadingLine(MakeReading(1, QStringLiteral("Gloss\n90")), 2, true, {QStringLiteral("two\r\nlines")});
        QCOMPARE(broken.count(QLatin1Char('\n')), 1);
        QVERIFY(broken.endsWith(QStringLiteral("\"two lines\"\r\n")));
        QCOMPARE(HeaderLine(true, {QStringLiteral("a\nb")}).count(QLatin1Char('\n')), 1);

        // Listed rows: cells as shown, the comment unquoted, the serial number of the last reading.
        const QStringList row = Row(QStringLiteral("85.30"), QStringLiteral("Panel, 7"));
        QCOMPARE(OldDataLine(row, QStringLiteral(" HZ5 "), false),
                 QStringLiteral("03/14/2026 09:05:07\t85.30\t92.11\t1.25\t3.40\tGloss 90\t\t\"HZ5\"\tPanel, 7\r\n"));
        QCOMPARE(OldDataLine({QStringLiteral("d")}, QString(), true).count(QLatin1Char(',')),
                 8);  // a short row: nine fields
        QCOMPARE(
            OldDataLine(Row(QStringLiteral("1.00"), QStringLiteral("x\ny")), QString(), true).count(QLatin1Char('\n')),
            1);
    }

    void headerRecognition_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("form");
        const int none = int(datafile::HeaderForm::None), comma = int(datafile::HeaderForm::Comma),
                  tab = int(datafile::HeaderForm::Tab);
        QTest::newRow("comma") << kCommaHeader.toLatin1() << comma;
        QTest::newRow("small letters, tab") << kTabHeader.toLower().toLatin1() << tab;
        QTest::newRow("comment headers after") << QByteArray(kCommaHeader.toLatin1() + ",Comment,Batch") << comma;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF" + kCommaHeader.toLatin1()) << comma;
        QTest::newRow("cut short") << kCommaHeader.left(40).toLatin1() << none;
        QTest::newRow("leading blank") << QByteArray(" " + kCommaHeader.toLatin1()) << none;
        QTest::newRow("mixed separators")
            << QByteArray("DateTime,Specular\tDOI,Deg2,Deg15,CalName,CalDtTm,SerNum") << none;
        QTest::newRow("binary") << QByteArray(64, '\0') << none;
    }
    void headerRecognition()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, form);
        QCOMPARE(int(datafile::RecognizeHeader(line)), form);
    }

    void separatorFollowsHeaderElseExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");  // of the existing file; none: a new file
        QTest::addColumn<bool>("comma");
        QTest::newRow("new .csv") << "sep.csv" << QByteArray() << true;
        QTest::newRow("new .CSV") << "CAPS.CSV" << QByteArray() << false;
        QTest::newRow("tab header in .csv")
            << "tabbed.csv" << (kTabHeader.toUpper() + "\tComment\r\nrow\r\n").toUtf8() << false;
        QTest::newRow("unrecognised .txt, Yes") << "foreign.txt" << QByteArray("Name;Value\r\nalpha;1\r\n") << false;
        QTest::newRow("comma header in .txt")
            << "comma.txt" << (kCommaHeader.toLower() + ",Comment,Batch\r\n").toUtf8() << true;
    }
    // Each line is in the file as soon as AppendLine returns.
    void separatorFollowsHeaderElseExtension()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, comma);
        Window w;
        const QString path = PathOf(name);
        if (!content.isEmpty()) WriteFile(path, content);
        if (content.startsWith("Name"))  // a file of unknown structure: written to as it is
            Answer(QStringLiteral("YesButton"), QStringLiteral("File Error"));
        QVERIFY(w.Open(path, !content.isEmpty()));
        QCOMPARE(w.file.CommaSeparated(), comma);
        // A new file gets its header; nothing is written on opening an existing one.
        QCOMPARE(ReadAll(path),
                 content.isEmpty() ? datafile::HeaderLine(comma, {QStringLiteral("Comment")}).toUtf8() : content);
        const qsizetype before = ReadAll(path).size();
        g_syncedSize = -1;
        w.Write(MakeReading(), QStringLiteral("x"));
        const QByteArray added = ReadAll(path).mid(before);
        QCOMPARE(g_syncedSize, qint64(before + added.size()));
        QCOMPARE(added.count(comma ? ',' : '\t'), 8);
        QCOMPARE(added.count(comma ? '\t' : ','), 0);
        QCOMPARE(w.title, kBaseTitle + QStringLiteral(" - ") + path);
        QCOMPARE(w.recent, QStringList{path});
        // Closed: the name is kept, the title goes back, nothing more is written.
        w.file.CloseFile();
        QCOMPARE(w.file.FileName(), path);
        QCOMPARE(w.title, kBaseTitle);
        w.Write(MakeReading(), QStringLiteral("late"));
        QCOMPARE(ReadAll(path).size(), before + added.size());
    }

    void openFailures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("content");  // "dir": a folder; "none": nothing there
        QTest::addColumn<QString>("message");
        QTest::newRow("unrecognised, No")
            << "foreign.txt" << true << QByteArray("Name;Value\r\nalpha;1\r\n") << "Error Opening File";
        QTest::newRow("new names an existing file")
            << "kept.csv" << false << QByteArray("precious\r\n") << "File Already Exists!";
        QTest::newRow("missing file") << "missing.csv" << true << QByteArray("none") << "Error Opening File";
        QTest::newRow("empty file") << "empty.csv" << true << QByteArray() << "Error Opening File";
        QTest::newRow("folder") << "folder.csv" << true << QByteArray("dir") << "Error Opening File";
        QTest::newRow("new file in a missing folder")
            << "no/such/x.csv" << false << QByteArray("none") << "Error Opening File";
    }
    // A failed open closes the earlier file all the same, touches nothing, warns with the sound,
    // and never reaches the recent files.
    void openFailures()
    {
        QFETCH(QString, name);
        QFETCH(bool, exists);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = PathOf(QStringLiteral("%1/%2").arg(QTest::currentDataTag(), name));
        QVERIFY(QDir().mkpath(QFileInfo(PathOf(QStringLiteral("%1/x").arg(QTest::currentDataTag()))).path()));
        if (content == "dir") QVERIFY(QDir().mkpath(path));
        else if (content != "none") WriteFile(path, content);
        Window w;
        QVERIFY(w.Open(PathOf(QStringLiteral("%1/first.csv").arg(QTest::currentDataTag())), false));
        QString asked;
        if (name == QLatin1String("foreign.txt"))
            testing::WhenModal(
                [&asked](QWidget* w) {
                    auto* d = qobject_cast<dlgYesNo*>(w);
                    asked = d && d->CancelButton->isVisible() ? d->MsgLbl->text() : QStringLiteral("<no Cancel>");
                    testing::Click(w, QStringLiteral("NoButton"));
                },
                QStringLiteral("File Error"));
        ErrorCatcher errors;
        errors.Expect();
        qsizetype noticesBeforeLastChange = -1;  // the window updates its commands once the notice is closed
        QObject::connect(&w.file, &DataFile::FileChanged, [&] { noticesBeforeLastChange = errors.messages.size(); });
        QVERIFY(!w.Open(path, exists));
        QCOMPARE(errors.messages, QStringList{message});
        QCOMPARE(noticesBeforeLastChange, 1);
        if (!asked.isEmpty())
            QCOMPARE(asked, QStringLiteral("Unrecognized file structure.  Continue writing to file?"));
        QVERIFY(!w.file.FileOpen());
        QCOMPARE(w.file.FileName(), QString());
        QCOMPARE(w.title, kBaseTitle);
        QCOMPARE(w.recent.size(), 1);
        QCOMPARE(m_sounds.sounds, QList<int>{RecordingSoundSink::Warning});
        if (content == "none") QVERIFY(!QFileInfo::exists(path));
        else if (content != "dir") QCOMPARE(ReadAll(path), content);
    }

    void listedReadingsOnOpen()
    {
        Window w;
        const QList<QStringList> rows = {Row(QStringLiteral("10.00"), QStringLiteral("first")),
                                         Row(QStringLiteral("20.00"), QString())};
        w.last.SerialNo = QStringLiteral(" HZ777 ");
        const auto lines = [](const QString& path) { return ReadAll(path).count("\r\n"); };

        // Save Old To File on a new file: the header, then one line per row in list order.
        w.SetRows(rows);
        AnswerOldData(QStringLiteral("btnSaveToFile"));
        const QString saved = PathOf(QStringLiteral("saved.csv"));
        QVERIFY(w.Open(saved, false));
        QCOMPARE(w.Rows(), 2);
        QCOMPARE(ReadAll(saved),
                 (kCommaHeader + QStringLiteral(",Comment\r\n")
                  + QStringLiteral("03/14/2026 09:05:07,10.00,92.11,1.25,3.40,Gloss 90,,\"HZ777\",first\r\n"
                                   "03/14/2026 09:05:07,20.00,92.11,1.25,3.40,Gloss 90,,\"HZ777\",\r\n"))
                     .toUtf8());

        // Save New Only (also Escape, the safe choice): the rows stay listed and are not written.
        testing::WhenModal([](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); },
                           QStringLiteral("Save Old Data To New File"));
        const QString newOnly = PathOf(QStringLiteral("newonly.csv"));
        QVERIFY(w.Open(newOnly, false));
        QCOMPARE(w.Rows(), 2);
        QCOMPARE(lines(newOnly), 1);

        // Delete Old Data: the list is cleared before the file is opened, and stays cleared when
        // the open then fails.
        AnswerOldData(QStringLiteral("btnDeleteData"));
        ErrorCatcher errors;
        errors.Expect();
        QVERIFY(!w.Open(PathOf(QStringLiteral("absent.csv")), true));
        QCOMPARE(w.Rows(), 0);

        // Save Old To File followed by a refused open writes nothing anywhere.
        w.SetRows(rows);
        AnswerOldData(QStringLiteral("btnSaveToFile"));
        errors.Expect();
        QVERIFY(!w.Open(newOnly, false));
        QCOMPARE(lines(newOnly), 1);
        QCOMPARE(w.Rows(), 2);
        QCOMPARE(errors.messages,
                 QStringList({QStringLiteral("Error Opening File"), QStringLiteral("File Already Exists!")}));
    }

    void fileDialogs()
    {
        using namespace datafile;
        QCOMPARE(NameFiltersFromText(QStringLiteral("Scans|*.scn;*.txt|All (*.*)|*.*")),
                 QStringList({"Scans (*.scn *.txt)", "All (*.*)"}));

        // "All Files (*.*)" lists names without a point too. A name typed without extension gets
        // ".csv"; the next Open dialog offers the filter chosen.
        const QString folder = PathOf(QStringLiteral("listing"));
        QVERIFY(QDir().mkpath(folder));
        for (const char* name : {"README", "a.csv"}) WriteFile(folder + QLatin1Char('/') + QLatin1String(name), "x");
        DataFileDialogs dialogs(nullptr);
        testing::WhenModal(
            [&](QWidget* w) {
                auto* d = qobject_cast<QFileDialog*>(w);
                QVERIFY(d);
                d->setDirectory(folder);
                auto* model = d->findChild<QFileSystemModel*>();
                const auto listed = [&](const QString& name) {
                    for (int r = 0; r < model->rowCount(model->index(folder)); ++r)
                        if (model->index(r, 0, model->index(folder)).data().toString() == name) return true;
                    return false;
                };
                QTRY_VERIFY(listed(QStringLiteral("a.csv")));
                QVERIFY(!listed(QStringLiteral("README")));
                QTest::keyClick(d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")),
                                Qt::Key_End);  // the operator picks it
                QTRY_VERIFY(listed(QStringLiteral("README")));
                d->selectNameFilter(QStringLiteral("Text (*.txt)"));
                d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(PathOf(QStringLiteral("typed")));
                QTimer::singleShot(0, d, [d] { static_cast<QDialog*>(d)->accept(); });
            },
            QStringLiteral("New"));
        QCOMPARE(dialogs.ChooseFile(true), PathOf(QStringLiteral("typed.csv")));
        QString offered;
        testing::WhenModal(
            [&offered](QWidget* w) {
                offered = static_cast<QFileDialog*>(w)->selectedNameFilter();
                static_cast<QDialog*>(w)->reject();
            },
            QStringLiteral("Open"));
        QCOMPARE(dialogs.ChooseFile(false), QString());
        QCOMPARE(offered, QStringLiteral("Text (*.txt)"));

        // Names the data could not be written to are refused before anything happens to the open
        // data file: a locked file, a closed folder, and for a new file a missing folder. The dialog
        // stays open for another name; cancelling then returns nothing.
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("closed")));
        const QString locked = PathOf(QStringLiteral("locked.csv"));
        WriteFile(locked, "x");
        const testing::Unwritable closedFolder(PathOf(QStringLiteral("closed"))), lockedFile(locked);
        QVERIFY(closedFolder.Holds() && lockedFile.Holds());
        QVERIFY(WriteRefusal(locked).startsWith(QStringLiteral("locked.csv\nThis file is set to read-only.")));
        QVERIFY(WriteRefusal(PathOf(QStringLiteral("closed/x.csv")))
                    .contains(QStringLiteral("You do not have permission to create a file")));
        QCOMPARE(WriteRefusal(PathOf(QStringLiteral("fine.csv"))), QString());
        QPointer<QFileDialog> chooser;
        testing::WhenModal(
            [&chooser, this](QWidget* w) {
                chooser = qobject_cast<QFileDialog*>(w);
                chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                    ->setText(PathOf(QStringLiteral("nowhere/x.csv")));
                QTimer::singleShot(0, chooser, [&chooser] { static_cast<QDialog*>(chooser.data())->accept(); });
            },
            QStringLiteral("New"));
        QString refused;
        testing::WhenModal(
            [&refused, &chooser](QWidget* w) {
                refused = static_cast<QMessageBox*>(w)->text();
                w->close();
                if (chooser) QTimer::singleShot(0, chooser, [&chooser] { chooser->reject(); });
            },
            QStringLiteral("New"));
        QCOMPARE(dialogs.ChooseFile(true), QString());
        QVERIFY2(refused.contains(QStringLiteral("Path does not exist.")), qPrintable(refused));
    }

    void recentFiles()
    {
        QMenu menu;
        RecentFiles recent(*m_store, &menu);
        recent.LoadRecentFiles();
        const QString section = QStringLiteral("Recent Files");
        auto shown = [&recent] {
            QStringList list;
            for (int i = 1; i <= 4; ++i)
                if (recent.mnuFileRecent[i]->isVisible()) list.append(recent.mnuFileRecent[i]->text());
            return list;
        };
        QVERIFY(shown().isEmpty());
        QVERIFY(!recent.mnuFileRecent[0]->isVisible());  // the separator goes with the entries

        for (const char* p : {"/d/A.csv", "/d/B.csv", "/d/C.csv", "/d/D.csv", "/d/E.csv"})
            recent.AddRecentFile(QString::fromLatin1(p));
        QCOMPARE(shown(), QStringList({"/d/E.csv", "/d/D.csv", "/d/C.csv", "/d/B.csv"}));
        QVERIFY(recent.mnuFileRecent[0]->isVisible());
        QCOMPARE(recent.FindRecentFile(QStringLiteral("/d/C.csv")), int16_t(2));
        recent.AddRecentFile(QStringLiteral("/d/C.csv"));
        // Case counts: the same path in capitals is another entry.
        recent.AddRecentFile(QStringLiteral("/D/C.CSV"));
        QCOMPARE(shown(), QStringList({"/D/C.CSV", "/d/C.csv", "/d/E.csv", "/d/D.csv"}));
        // The store is on disk after every change.
        QCOMPARE(support::SettingsStore(m_store->FilePath()).GetSetting(section, QStringLiteral("RecentFile2")),
                 QStringLiteral("/d/C.csv"));

        // A hand-edited store: gaps close up, extra keys are ignored.
        m_store->DeleteSetting(section, QStringLiteral("RecentFile2"));
        m_store->SaveSetting(section, QStringLiteral("RecentFile5"), QStringLiteral("/five"));
        recent.LoadRecentFiles();
        QCOMPARE(shown(), QStringList({"/D/C.CSV", "/d/E.csv", "/d/D.csv"}));
        recent.AddRecentFile(QStringLiteral("/R&D run.csv"));

        // The caption is the path itself, ampersands included; a click hands the path on.
        QCOMPARE(recent.mnuFileRecent[1]->iconText(), QStringLiteral("/R&D run.csv"));
        QSignalSpy opened(&recent, &RecentFiles::Opened);
        recent.mnuFileRecent[1]->trigger();
        QCOMPARE(opened.value(0).value(0).toString(), QStringLiteral("/R&D run.csv"));
    }
};

QTEST_MAIN(TestDataFile)
#include "tst_datafile.moc"
