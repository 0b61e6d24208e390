// Print fonts and tab stops, the print page and the readings report: the value and store rules
// as tables, the composed page as a QTextDocument, and one real print job through a private
// CUPS queue, read back from the PDF it produced.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QPrintDialog>
#include <QPushButton>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include <unistd.h>

#include "printing/DataReport.h"
#include "printing/FontClass.h"
#include "printing/RichText.h"
#include "printing/TabClass.h"
#include "printing/dlgPrintForm.h"
#include "support/SettingsStore.h"
#include "tests/common/ModalHelper.h"
#include "vantrel/MeterReading.h"

namespace {

// A readings list of `rows` rows, the way the main window shows it.
std::unique_ptr<QStandardItemModel> MakeList(int rows)
{
    auto model = std::make_unique<QStandardItemModel>(0, 7);
    model->setHorizontalHeaderLabels({"Date/Time", "Specular", "DOI", "2 Degree", "15 Degree", "Cal STD", "Comment"});
    for (int r = 0; r < rows; ++r) {
        QList<QStandardItem*> items;
        for (const QString& text : {QStringLiteral("07/04/2002 14:%1:09").arg(r % 60, 2, 10, QLatin1Char('0')),
                                    QStringLiteral("%1.35").arg(80 + r), QStringLiteral("%1.10").arg(60 + r),
                                    QStringLiteral("%1.25").arg(10 + r), QStringLiteral("%1.50").arg(20 + r),
                                    QStringLiteral("Std A"), QStringLiteral("panel%1").arg(r + 1)})
            items << new QStandardItem(text);
        model->appendRow(items);
    }
    return model;
}

// Averages holding one reading on one calibration standard.
MeterReading Averages(double specular, double doi, double deg2, double deg15, bool pixelAvg = true)
{
    MeterReading reading;
    reading.SetValues(specular, doi, deg2, deg15);
    reading.SetCalStd(QStringLiteral("Std A"));
    reading.PixelAvg = pixelAvg;
    MeterReading avg;
    avg.Clear();
    avg.Add(reading);
    return avg;
}

ReportInputs Inputs(const QAbstractItemModel* list, const MeterReading* avg,
                    const QString& format = QStringLiteral("##0.00"))
{
    return {list, avg, format, QStringLiteral("HZ001234"), QDateTime(QDate(2002, 7, 4), QTime(14, 5, 9))};
}

// "family size [bold] [italic]" of the character where `needle` begins.
QString LookAt(const QTextDocument* doc, const QString& needle)
{
    const QTextCursor found = doc->find(needle);
    if (found.isNull()) return QStringLiteral("'%1' not on the page").arg(needle);
    QTextCursor c(const_cast<QTextDocument*>(doc));
    c.setPosition(found.selectionStart() + 1);
    const QTextCharFormat f = c.charFormat();
    return QStringLiteral("%1 %2%3%4")
        .arg(f.fontFamilies().toStringList().value(0))
        .arg(f.fontPointSize())
        .arg(f.fontWeight() >= QFont::Bold ? " bold" : "")
        .arg(f.fontItalic() ? " italic" : "");
}

QList<double> TabPositionsOf(const QTextBlock& block)
{
    QList<double> out;
    for (const auto& tab : block.blockFormat().tabPositions()) out << tab.position;
    return out;
}

struct Word {
    double x, y;
    int page;
    QString text;
};
// The words of a PDF with their positions in points, read with pdftotext -bbox.
QList<Word> PdfWords(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    QList<Word> words;
    int page = -1;
    static const QRegularExpression re(
        QStringLiteral(R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>)re"));
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) ++page;
        else
            words.append({m.captured(1).toDouble(), m.captured(2).toDouble(), page,
                          m.captured(3).replace(QLatin1String("&amp;"), QLatin1String("&"))});
    }
    return words;
}

const Word* FindWord(const QList<Word>& words, const QString& text, int occurrence = 0)
{
    for (const Word& w : words)
        if (w.text == text && occurrence-- == 0) return &w;
    return nullptr;
}

// Checks that the report on the PDF has its columns on the inch positions of the default stops.
void CheckReportColumns(const QList<Word>& words)
{
    const Word* date = FindWord(words, QStringLiteral("Date/Time"));
    const Word* row = FindWord(words, QStringLiteral("panel1"));
    const Word* title = FindWord(words, QStringLiteral("DOI/Haze"));
    QVERIFY2(date && row && title, "no title, column header line or first row on the page");
    // Where `text` starts on the line of `line`, against where it should, in inches from the left edge.
    auto startsAt = [&](const QString& text, double inches, const Word* line) {
        for (const Word& w : words) {
            if (w.text != text || w.page != line->page || qAbs(w.y - line->y) > 1) continue;
            const double offset = w.x - date->x;
            return qAbs(offset - inches * 72) <= 1.5
                ? QString()
                : QStringLiteral("'%1' at %2 pt from the left edge, not %3").arg(text).arg(offset).arg(inches * 72);
        }
        return QStringLiteral("'%1' missing").arg(text);
    };
    // The title on the third stop; header line and first row at 0, 1.5, 2.25, 3, 3.75, 4.5, 5.7 inches.
    QStringList failures = {
        startsAt("DOI/Haze", 3, title), startsAt("Specular", 1.5, date), startsAt("DOI", 2.25, date),
        startsAt("2", 3, date),         startsAt("15", 3.75, date),      startsAt("Cal", 4.5, date),
        startsAt("Comment", 5.7, date), startsAt("07/04/2002", 0, row),  startsAt("80.35", 1.5, row),
        startsAt("60.10", 2.25, row),   startsAt("10.25", 3, row),       startsAt("20.50", 3.75, row),
        startsAt("Std", 4.5, row)};
    // The value after each label on the first stop, which the label must not run past (with a
    // font wider than Arial's metrics it would, and the value moves a stop on).
    const QList<std::tuple<const char*, int, const char*>> labelled = {
        {"Printed:", 0, "07/04/2002"}, {"Serial", 0, "HZ001234"}, {"Specular:", 0, "85.35"},
        {"DOI:", 0, "60.10"},          {"Degree:", 0, "12.00"},   {"Degree:", 1, "20.50"}};
    for (const auto& [name, occurrence, value] : labelled) {
        const Word* label = FindWord(words, QLatin1String(name), occurrence);
        failures << (label ? startsAt(QLatin1String(value), 1.5, label)
                           : QStringLiteral("label '%1' missing").arg(name));
    }
    failures.removeAll(QString());
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("; ")));
}

bool HaveTool(const char* name)
{
    return !QStandardPaths::findExecutable(QLatin1String(name), {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}).isEmpty();
}

const QString kHead =
    QStringLiteral("\t\t\tDOI/Haze Measurements\nPrinted:\t07/04/2002 14:05:09\n\nUnit Serial Number:\tHZ001234\n");
const QString kTitles = QStringLiteral("\nDate/Time\tSpecular\tDOI\t2 Degree\t15 Degree\tCal STD\tComment\t\n");

}  // namespace

class TestPrinting : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void cleanup() { testing::VerifyAllAnswered(); }

    // The size setter keeps to the bounds, and a copy takes the bounds before the size. The store
    // is read without the bounds; a number that does not fit or is no number reads as 0, and
    // only "True" as true.
    void fontRules_data()
    {
        QTest::addColumn<QString>("key");  // "set": SetSize with the bounds 6..72, "set200": 6..200
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("read");
        QTest::newRow("set 5") << "set"
                               << "5"
                               << "12";
        QTest::newRow("set 6") << "set"
                               << "6"
                               << "6";
        QTest::newRow("set 72") << "set"
                                << "72"
                                << "72";
        QTest::newRow("set 73") << "set"
                                << "73"
                                << "12";
        QTest::newRow("set 10 beyond 16 bits") << "set"
                                               << "65546"
                                               << "12";
        QTest::newRow("set 150 in raised bounds") << "set200"
                                                  << "150"
                                                  << "150";
        QTest::newRow("stored size 100") << "FontSize"
                                         << "100"
                                         << "100";
        QTest::newRow("stored size 12.5 to even") << "FontSize"
                                                  << "12.5"
                                                  << "12";
        QTest::newRow("stored size not a number") << "FontSize"
                                                  << "big"
                                                  << "0";
        QTest::newRow("stored size with unit") << "FontSize"
                                               << "12pt"
                                               << "0";
        QTest::newRow("stored size beyond 16 bits") << "FontSize"
                                                    << "40000"
                                                    << "0";
        QTest::newRow("stored colour red") << "FontColor"
                                           << "16711680"
                                           << "16711680";
        QTest::newRow("stored colour beyond 32 bits") << "FontColor"
                                                      << "4294967295"
                                                      << "0";
        QTest::newRow("stored bold true") << "FontBold"
                                          << "true"
                                          << "false";
        QTest::newRow("stored bold True") << "FontBold"
                                          << "True"
                                          << "true";
        QTest::newRow("stored name empty") << "FontName"
                                           << ""
                                           << "Arial";
    }

    void fontRules()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, read);
        FontClass f;
        f.SetBold(true);
        if (key.startsWith(QLatin1String("set"))) {
            f.SetMaxSize(key == QLatin1String("set200") ? 200 : 72);
            f.SetSize(value.toInt());
            FontClass copy;
            f.CopyTo(&copy);
            QVERIFY(copy.IsEqual(&f));
            key = QStringLiteral("FontSize");
        } else {
            support::SettingsStore store(m_dir.filePath(QStringLiteral("fonts.ini")));
            store.SaveSetting(QStringLiteral("DataFont"), key, value);
            f.ReadProperties(store, QStringLiteral("DataFont"));
        }
        const QMap<QString, QString> got{{"FontSize", QString::number(f.Size())},
                                         {"FontColor", QString::number(f.Color())},
                                         {"FontBold", f.Bold() ? "true" : "false"},
                                         {"FontName", f.FontName()}};
        QCOMPARE(got.value(key), read);
    }

    void tabStoreRules_data()
    {
        QTest::addColumn<QList<int>>("held");
        QTest::addColumn<QStringList>("stored");  // key=value
        QTest::addColumn<QList<int>>("read");
        QTest::newRow("count 41") << QList<int>{111} << QStringList{"TabCount=41"} << QList<int>{};
        QTest::newRow("count -1") << QList<int>{111} << QStringList{"TabCount=-1"} << QList<int>{};
        QTest::newRow("count not a number") << QList<int>{111} << QStringList{"TabCount=3x"} << QList<int>{};
        QTest::newRow("count 40") << QList<int>{} << QStringList{"TabCount=40"} << QList<int>(40, 0);
        // Growing keeps the positions held; missing keys keep them too.
        QTest::newRow("grown") << QList<int>{500, 600} << QStringList{"TabCount=4", "Tab3=100000", "Tab4=2.5"}
                               << QList<int>{500, 600, 0, 2};
        QTest::newRow("bad positions") << QList<int>{500, 600} << QStringList{"TabCount=2", "Tab1=junk", "Tab2=-5"}
                                       << QList<int>{0, 0};
    }

    void tabStoreRules()
    {
        QFETCH(QList<int>, held);
        QFETCH(QStringList, stored);
        QFETCH(QList<int>, read);
        support::SettingsStore store(m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentDataTag())));
        for (const QString& kv : stored)
            store.SaveSetting(QStringLiteral("Tabs"), kv.section('=', 0, 0), kv.section('=', 1));
        TabClass t;
        for (int v : held) t.Add(v);
        t.ReadProperties(store, QStringLiteral("Tabs"));
        QList<int> got;
        for (int i = 1; i <= t.TabCount(); ++i) got << t.Tabs(i);
        QCOMPARE(got, read);
    }

    // The report's text: averages only where the summary shows numbers, named by how they were
    // taken, in the number format in force; missing pieces are left out.
    void reportText_data()
    {
        QTest::addColumn<int>("averages");  // 0 none given, 1 area, 2 total energy, 3 two standards, 4 cleared
        QTest::addColumn<int>("rows");  // -1: no list
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        const QString rows = QStringLiteral("07/04/2002 14:00:09\t80.35\t60.10\t10.25\t20.50\tStd A\tpanel1\n"
                                            "07/04/2002 14:01:09\t81.35\t61.10\t11.25\t21.50\tStd A\tpanel2\n");
        QTest::newRow("area averages") << 1 << 2 << "##0.00"
                                       << kHead
                + "Area Averaged Data\nAverage Specular:\t85.35\nAverage DOI:\t60.10\n"
                  "Average 2 Degree:\t12.00\nAverage 15 Degree:\t20.50\n"
                + kTitles + rows;
        QTest::newRow("total energy, no decimals") << 2 << 0 << "##0."
                                                   << kHead
                + "Total Energy Data\nAverage Specular:\t12.\nAverage DOI:\t13.\n"
                  "Average 2 Degree:\t0.\nAverage 15 Degree:\t-4.\n"
                + kTitles;
        QTest::newRow("two standards") << 3 << 2 << "##0.00" << kHead + kTitles + rows;
        QTest::newRow("no readings") << 4 << 0 << "##0.00" << kHead + kTitles;
        QTest::newRow("nothing given") << 0 << -1 << "##0.00" << kHead;
    }

    void reportText()
    {
        QFETCH(int, averages);
        QFETCH(int, rows);
        QFETCH(QString, format);
        QFETCH(QString, text);
        FontClass header, data;
        TabClass tabs;
        SetPrintDefaults(header, data, tabs);
        MeterReading avg = averages == 1 ? Averages(85.346, 60.1, 12, 20.5) : Averages(12, 12.5, 0.4, -3.5, false);
        MeterReading other;
        other.SetCalStd(QStringLiteral("Std B"));
        if (averages == 3) avg.Add(other);
        if (averages == 4) avg.Clear();
        auto list = MakeList(qMax(rows, 0));
        dlgPrintForm page;
        ComposeReport(page, header, data, tabs,
                      Inputs(rows < 0 ? nullptr : list.get(), averages ? &avg : nullptr, format));
        QCOMPARE(page.TB->document()->toPlainText(), text);
    }

    // Labels in the header font, values in the data font; the default stops replace any held.
    void reportFonts()
    {
        FontClass header, data;
        TabClass tabs;
        for (int i = 0; i < 12; ++i) tabs.Add(100 * (i + 1));
        data.SetColor(0x123456);
        SetPrintDefaults(header, data, tabs);
        QCOMPARE(header.Color(), 0x123456);  // the defaults keep the operator's colour
        header.SetFontName(QStringLiteral("Courier New"));
        header.SetSize(14);
        data.SetSize(9);
        auto list = MakeList(1);
        const MeterReading avg = Averages(85.346, 60.1, 12, 20.5);
        dlgPrintForm page;
        ComposeReport(page, header, data, tabs, Inputs(list.get(), &avg));
        const QTextDocument* doc = page.TB->document();
        for (const char* label :
             {"DOI/Haze", "Printed:", "Unit Serial", "Area Averaged", "Average DOI:", "Date/Time\tSpecular"})
            QCOMPARE(LookAt(doc, label), QStringLiteral("Courier New 14 bold italic"));
        for (const char* value : {"07/04/2002 14:05:09", "HZ001234", "85.35", "07/04/2002 14:00:09", "panel1"})
            QCOMPARE(LookAt(doc, value), QStringLiteral("Arial 9"));
        // The seven stops on every paragraph; past the last one tabs fall every half inch.
        const double inch = printing::UnitsPerInch();
        const QList<double> stops{1.5 * inch, 2.25 * inch, 3 * inch, 3.75 * inch, 4.5 * inch, 5.7 * inch, 7.2 * inch};
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) QCOMPARE(TabPositionsOf(b), stops);
        QCOMPARE(doc->defaultTextOption().tabStopDistance(), inch / 2);
    }

    // A real print job: File > Print through the print dialog to a cups-pdf queue; the PDF that
    // comes out has its columns on the stops and its pages without numbers.
    void printThroughCups()
    {
        if (geteuid() != 0) QSKIP("printing through CUPS needs root: the test adds a print queue and may start cupsd");
        for (const char* tool : {"cupsd", "lpadmin", "lpstat", "pdftotext"})
            if (!HaveTool(tool))
                QSKIP(qPrintable(QStringLiteral("%1 is not installed (cups, cups-client, poppler-utils)").arg(tool)));
        if (!QFileInfo::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf")))
            QSKIP("printer-driver-cups-pdf is not installed");

        QLockFile lock(QDir::temp().filePath(QStringLiteral("glimora-cups-pdf-queue.lock")));
        QVERIFY2(lock.tryLock(60000), "another test holds the CUPS queue");
        QTemporaryDir out;
        QVERIFY(out.isValid());
        auto queue = [](const QStringList& args) {
            QProcess p;
            p.start(QStringLiteral(GLIMORA_CUPS_QUEUE_SCRIPT), args);
            p.waitForFinished(30000);
            return std::make_pair(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                                  QString::fromLocal8Bit(p.readAllStandardError()));
        };
        const auto [code, error] = queue({QStringLiteral("start"), out.path()});
        const auto stop = qScopeGuard([&] { queue({QStringLiteral("stop")}); });
        if (code == 3 || code == 4) QSKIP(qPrintable(error));  // CUPS missing, or a queue "PDF" that is not ours
        QVERIFY2(code == 0, qPrintable(error));
        auto jobsLeft = [] {
            QProcess p;
            p.start(QStringLiteral("lpstat"), {"-W", "not-completed", "-o", "PDF"});
            p.waitForFinished(10000);
            return !p.readAllStandardOutput().trimmed().isEmpty();
        };
        auto pdfs = [&] { return QDir(out.path()).entryInfoList({"*.pdf"}, QDir::Files, QDir::Time); };

        FontClass header, data;
        TabClass tabs;
        SetPrintDefaults(header, data, tabs);
        auto list = MakeList(90);
        const MeterReading avg = Averages(85.346, 60.1, 12, 20.5);
        QWidget mainWindow;

        // The operator picks the queue "PDF" in the dialog, which offers no file output, no page
        // range and no selection, and confirms.
        bool chosen = false, offersTooMuch = true;
        testing::WhenModal(
            [&](QWidget* w) {
                auto* dialog = qobject_cast<QPrintDialog*>(w);
                QVERIFY(dialog);
                offersTooMuch = dialog->testOption(QAbstractPrintDialog::PrintToFile)
                    || dialog->testOption(QAbstractPrintDialog::PrintPageRange)
                    || dialog->testOption(QAbstractPrintDialog::PrintSelection)
                    || dialog->testOption(QAbstractPrintDialog::PrintCurrentPage);
                for (QPushButton* b : w->findChildren<QPushButton*>())  // all the options shown
                    if (b->text().contains(QStringLiteral("Options"))) b->click();
                for (const char* pagesOnly : {"gbPrintRange", "pageSetCombo"})  // page ranges, odd or even pages
                    if (auto* choice = w->findChild<QWidget*>(QLatin1String(pagesOnly)))
                        offersTooMuch |= choice->isVisible();
                for (QComboBox* box : w->findChildren<QComboBox*>()) {
                    const int i = box->findText(QStringLiteral("PDF"));
                    if (i >= 0) {
                        box->setCurrentIndex(i);
                        chosen = true;
                    }
                }
                dialog->accept();
            },
            QStringLiteral("Print"));
        PrintDataReport(&mainWindow, header, data, tabs, Inputs(list.get(), &avg));
        QVERIFY2(chosen, "the print dialog does not offer the queue PDF");
        QVERIFY(!offersTooMuch);
        QTRY_VERIFY2_WITH_TIMEOUT(!jobsLeft() && !pdfs().isEmpty(), "no PDF came out of the queue", 30000);
        const QList<Word> words = PdfWords(pdfs().first().absoluteFilePath());
        CheckReportColumns(words);
        if (QTest::currentTestFailed()) return;
        // 90 rows need two pages; every row is there once and no page carries a number: the only
        // lone numbers are the "2" and "15" of the averages and the column titles.
        QCOMPARE(words.last().page, 1);
        for (int r = 0; r < 90; ++r)
            QVERIFY2(FindWord(words, QStringLiteral("panel%1").arg(r + 1)), qPrintable(QString::number(r)));
        static const QRegularExpression number(QStringLiteral("^\\d+$"));
        QStringList numbers;
        for (const Word& w : words)
            if (number.match(w.text).hasMatch()) numbers << w.text;
        QCOMPARE(numbers, QStringList({"2", "15", "2", "15"}));
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
