// Print fonts and tab stops, the print page and the readings report: values and store rules,
// the composed page as a QTextDocument, the page printed to a PDF, and a real print job
// through a private CUPS queue.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QPdfWriter>
#include <QPrintDialog>
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

const QStringList kColumns = {"Date/Time", "Specular", "DOI", "2 Degree", "15 Degree", "Cal STD", "Comment"};

// A readings list of `rows` rows, the way the main window shows it.
std::unique_ptr<QStandardItemModel> MakeList(int rows)
{
    auto model = std::make_unique<QStandardItemModel>(0, kColumns.size());
    model->setHorizontalHeaderLabels(kColumns);
    for (int r = 0; r < rows; ++r) {
        QList<QStandardItem*> items;
        items << new QStandardItem(QStringLiteral("07/04/2002 14:%1:09").arg(r % 60, 2, 10, QLatin1Char('0')))
              << new QStandardItem(QStringLiteral("%1.35").arg(80 + r)) << new QStandardItem(QStringLiteral("%1.10").arg(60 + r))
              << new QStandardItem(QStringLiteral("%1.25").arg(10 + r)) << new QStandardItem(QStringLiteral("%1.50").arg(20 + r))
              << new QStandardItem(QStringLiteral("Std A")) << new QStandardItem(QStringLiteral("panel%1").arg(r + 1));
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

// The character format of the character where `needle` begins (the first occurrence from `from`).
QTextCharFormat FormatAt(const QTextDocument* doc, const QString& needle, int from = 0)
{
    const QTextCursor found = doc->find(needle, from);
    if (found.isNull()) {
        qWarning("'%s' not on the page", qPrintable(needle));
        return {};
    }
    QTextCursor c(const_cast<QTextDocument*>(doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

struct Look {
    QString family;
    double size;
    bool bold;
    bool italic;
};
Look LookOf(const QTextCharFormat& f)
{
    return {f.fontFamilies().toStringList().value(0), f.fontPointSize(), f.fontWeight() >= QFont::Bold, f.fontItalic()};
}
bool operator==(const Look& a, const Look& b)
{
    return a.family == b.family && a.size == b.size && a.bold == b.bold && a.italic == b.italic;
}
char* toString(const Look& l)
{
    return QTest::toString(QStringLiteral("%1 %2%3%4").arg(l.family).arg(l.size).arg(l.bold ? " bold" : "").arg(l.italic ? " italic" : ""));
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
    static const QRegularExpression re(QStringLiteral(R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>)re"));
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            ++page;
            continue;
        }
        QString text = m.captured(3);
        text.replace(QLatin1String("&amp;"), QLatin1String("&")).replace(QLatin1String("&lt;"), QLatin1String("<")).replace(QLatin1String("&gt;"), QLatin1String(">"));
        words.append({m.captured(1).toDouble(), m.captured(2).toDouble(), page, text});
    }
    return words;
}

const Word* FindWord(const QList<Word>& words, const QString& text, int occurrence = 0)
{
    for (const Word& w : words)
        if (w.text == text && occurrence-- == 0) return &w;
    return nullptr;
}

QString PdfLayoutText(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Checks that the report on the PDF has its columns on the inch positions of the default stops.
void CheckReportColumns(const QList<Word>& words)
{
    const Word* date = FindWord(words, QStringLiteral("Date/Time"));
    const Word* row = FindWord(words, QStringLiteral("panel1"));
    QVERIFY2(date && row, "no column header line or first row on the page");
    // Where `text` starts on the line of `line`, against where it should, in inches from the left edge.
    auto startsAt = [&](const QString& text, double inches, const Word* line) {
        for (const Word& w : words) {
            if (w.text != text || w.page != line->page || qAbs(w.y - line->y) > 1) continue;
            const double offset = w.x - date->x;
            return qAbs(offset - inches * 72) <= 1.5 ? QString() : QStringLiteral("'%1' at %2 pt from the left edge, not %3").arg(text).arg(offset).arg(inches * 72);
        }
        return QStringLiteral("'%1' missing").arg(text);
    };
    // Header line and the first row: columns at 0, 1.5, 2.25, 3, 3.75, 4.5 and 5.7 inches.
    QStringList failures = {startsAt("Specular", 1.5, date), startsAt("DOI", 2.25, date), startsAt("2", 3, date),
                            startsAt("15", 3.75, date), startsAt("Cal", 4.5, date), startsAt("Comment", 5.7, date),
                            startsAt("07/04/2002", 0, row), startsAt("80.35", 1.5, row), startsAt("60.10", 2.25, row),
                            startsAt("10.25", 3, row), startsAt("20.50", 3.75, row), startsAt("Std", 4.5, row)};
    // The title on the third stop; the value after each label on the first, which the label must
    // not run past (with a font wider than Arial's metrics it would, and the value moves a stop on).
    const Word* title = FindWord(words, QStringLiteral("DOI/Haze"));
    QVERIFY2(title, "title missing");
    failures << startsAt("DOI/Haze", 3, title);
    const struct {
        const char* label;
        int occurrence;
        const char* value;
    } labelled[] = {{"Printed:", 0, "07/04/2002"}, {"Serial", 0, "HZ001234"}, {"Specular:", 0, "85.35"},
                    {"DOI:", 0, "60.10"},        {"Degree:", 0, "12.00"},   {"Degree:", 1, "20.50"}};
    for (const auto& l : labelled) {
        const Word* label = FindWord(words, QLatin1String(l.label), l.occurrence);
        failures << (label ? startsAt(QLatin1String(l.value), 1.5, label) : QStringLiteral("label '%1' missing").arg(l.label));
    }
    failures.removeAll(QString());
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("; ")));
}

bool HaveTool(const char* name)
{
    return !QStandardPaths::findExecutable(QLatin1String(name), {"/usr/sbin", "/usr/bin", "/sbin", "/bin"}).isEmpty();
}

}  // namespace

class TestPrinting : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    std::unique_ptr<support::SettingsStore> m_store;

    support::SettingsStore& FreshStore()
    {
        static int n = 0;
        m_store = std::make_unique<support::SettingsStore>(m_dir.filePath(QStringLiteral("store%1.ini").arg(++n)));
        return *m_store;
    }

    ReportInputs Inputs(const QAbstractItemModel* list, const MeterReading* avg, const QString& format = QStringLiteral("##0.00"))
    {
        return {list, avg, format, QStringLiteral("HZ001234"), QDateTime(QDate(2002, 7, 4), QTime(14, 5, 9))};
    }

private slots:
    void cleanup()
    {
        const int pending = testing::PendingModals();
        testing::ClearModals();
        QCOMPARE(pending, 0);
    }

    void fontValuesAndCopies()
    {
        FontClass f;
        QCOMPARE(f.Size(), 12);
        QCOMPARE(f.FontName(), QStringLiteral("Arial"));
        QCOMPARE(f.Color(), 0);
        QVERIFY(!f.Bold() && !f.Italic() && !f.Underline() && !f.StrikeThru());

        f.SetSize(5);
        f.SetSize(73);
        QCOMPARE(f.Size(), 12);
        f.SetSize(6);
        QCOMPARE(f.Size(), 6);
        f.SetSize(72);
        QCOMPARE(f.Size(), 72);
        f.SetSize(65536 + 10);  // not taken as 10
        QCOMPARE(f.Size(), 72);
        f.SetFontName(QString());
        QCOMPARE(f.FontName(), QStringLiteral("Arial"));

        // Bounds travel before the size, so a size inside the source's own bounds arrives.
        FontClass wide;
        wide.SetMaxSize(200);
        wide.SetSize(150);
        wide.SetFontName(QStringLiteral("Courier New"));
        wide.SetColor(0x0000FF);
        wide.SetBold(true);
        wide.SetStrikeThru(true);
        FontClass target;
        QVERIFY(!target.IsEqual(&wide));
        wide.CopyTo(&target);
        QCOMPARE(target.Size(), 150);
        QVERIFY(target.IsEqual(&wide));
        QVERIFY(wide.IsEqual(&target));
        wide.CopyTo(nullptr);
        QVERIFY(!wide.IsEqual(nullptr));

        target.SetFontName(QStringLiteral("courier new"));
        QVERIFY(!target.IsEqual(&wide));
        target.SetFontName(QStringLiteral("Courier New"));
        target.SetUnderline(true);
        QVERIFY(!target.IsEqual(&wide));
    }

    void fontStoreRules()
    {
        auto& store = FreshStore();
        // A missing section leaves every value as it was.
        FontClass f;
        f.SetBold(true);
        f.SetColor(77);
        f.ReadProperties(store, QStringLiteral("HeaderFont"));
        QVERIFY(f.Bold());
        QCOMPARE(f.Color(), 77);
        QCOMPARE(f.Size(), 12);

        auto read = [&](const QString& key, const QString& value) {
            store.SaveSetting(QStringLiteral("DataFont"), key, value);
            FontClass g;
            g.SetBold(true);
            g.ReadProperties(store, QStringLiteral("DataFont"));
            return g;
        };
        QCOMPARE(read("FontSize", "100").Size(), 100);  // taken without the bounds
        QCOMPARE(read("FontSize", "12.5").Size(), 12);
        QCOMPARE(read("FontSize", "13.5").Size(), 14);
        QCOMPARE(read("FontSize", "big").Size(), 0);
        QCOMPARE(read("FontSize", "12pt").Size(), 0);  // not a number as the store writes one
        QCOMPARE(read("FontSize", " 9 ").Size(), 9);
        QCOMPARE(read("FontSize", "40000").Size(), 0);  // does not fit 16 bits
        QCOMPARE(read("FontColor", "16711680").Color(), 0xFF0000);
        QCOMPARE(read("FontColor", "-1").Color(), -1);
        QCOMPARE(read("FontColor", "4294967295").Color(), 0);  // does not fit 32 bits
        QCOMPARE(read("FontBold", "true").Bold(), false);
        QCOMPARE(read("FontBold", "1").Bold(), false);
        QCOMPARE(read("FontBold", "True").Bold(), true);
        QCOMPARE(read("FontName", "").FontName(), QStringLiteral("Arial"));
        QCOMPARE(read("FontName", "Times New Roman").FontName(), QStringLiteral("Times New Roman"));

        // Saved as text in its key order, and read back to an equal font.
        FontClass saved;
        saved.SetFontName(QStringLiteral("Courier New"));
        saved.SetSize(9);
        saved.SetColor(0x00FF00);
        saved.SetItalic(true);
        saved.SetUnderline(true);
        QVERIFY(saved.WriteProperties(store, QStringLiteral("HeaderFont")));
        QCOMPARE(store.Keys(QStringLiteral("HeaderFont")),
                 QStringList({"FontName", "FontSize", "FontColor", "FontBold", "FontItalic", "FontUnderline", "FontStrikeThru"}));
        QCOMPARE(store.GetSetting("HeaderFont", "FontColor"), QStringLiteral("65280"));
        QCOMPARE(store.GetSetting("HeaderFont", "FontItalic"), QStringLiteral("True"));
        QCOMPARE(store.GetSetting("HeaderFont", "FontBold"), QStringLiteral("False"));
        support::SettingsStore reread(store.FilePath());  // it reached the file
        FontClass loaded;
        loaded.SetBold(true);
        loaded.ReadProperties(reread, QStringLiteral("HeaderFont"));
        QVERIFY(loaded.IsEqual(&saved));

        // A font loaded with size 100 cannot pass it on: the target's setter refuses it.
        reread.SaveSetting(QStringLiteral("HeaderFont"), QStringLiteral("FontSize"), QStringLiteral("100"));
        FontClass big;
        big.ReadProperties(reread, QStringLiteral("HeaderFont"));
        FontClass copy;
        copy.SetSize(20);
        big.CopyTo(&copy);
        QCOMPARE(copy.Size(), 20);
        QCOMPARE(copy.FontName(), QStringLiteral("Courier New"));
        QVERIFY(!copy.IsEqual(&big));
    }

    void tabListRules()
    {
        TabClass t;
        QCOMPARE(t.TabCount(), 0);
        QCOMPARE(t.Tabs(1), 0);
        t.SetTabCount(41);
        t.SetTabCount(-1);
        QCOMPARE(t.TabCount(), 0);
        t.SetTabCount(40);
        QCOMPARE(t.TabCount(), 40);

        t.SetTabCount(3);
        t.SetTabs(1, 100);
        t.SetTabs(3, 99999);
        t.SetTabs(2, 100000);
        t.SetTabs(2, -1);
        t.SetTabs(0, 5);
        t.SetTabs(4, 5);
        QCOMPARE(QList<int>({t.Tabs(0), t.Tabs(1), t.Tabs(2), t.Tabs(3), t.Tabs(4)}), QList<int>({0, 100, 0, 99999, 0}));

        // Add fills the first empty slot, then grows the list by one.
        t.Add(700);
        QCOMPARE(t.Tabs(2), 700);
        QCOMPARE(t.TabCount(), 3);
        t.Add(100000);
        QCOMPARE(t.TabCount(), 3);
        t.Add(800);
        QCOMPARE(t.TabCount(), 4);
        QCOMPARE(t.Tabs(4), 800);

        // Setting the count empties every slot; Clear keeps the count.
        t.SetTabCount(4);
        QCOMPARE(t.Tabs(1), 0);
        t.SetTabs(1, 5);
        t.Clear();
        QCOMPARE(t.TabCount(), 4);
        QCOMPARE(t.Tabs(1), 0);

        TabClass full;
        for (int i = 1; i <= 41; ++i) full.Add(i * 10);
        QCOMPARE(full.TabCount(), 40);
        QCOMPARE(full.Tabs(40), 400);

        // CopyTo replaces a longer list entirely.
        TabClass shortList;
        shortList.Add(1440);
        shortList.Add(2880);
        shortList.CopyTo(&full);
        QCOMPARE(full.TabCount(), 2);
        QCOMPARE(full.Tabs(2), 2880);
        shortList.CopyTo(nullptr);
        shortList.CopyTo(&shortList);
        QCOMPARE(shortList.Tabs(2), 2880);
    }

    void tabStoreRules()
    {
        auto& store = FreshStore();
        const QString sec = QStringLiteral("Tabs");
        auto load = [&](TabClass& t) { t.ReadProperties(*m_store, sec); };

        TabClass t;
        t.Add(111);
        store.SaveSetting(sec, "TabCount", "41");
        load(t);
        QCOMPARE(t.TabCount(), 0);
        t.Add(111);
        store.SaveSetting(sec, "TabCount", "-1");
        load(t);
        QCOMPARE(t.TabCount(), 0);
        t.Add(111);
        store.SaveSetting(sec, "TabCount", "3x");
        load(t);
        QCOMPARE(t.TabCount(), 0);
        store.SaveSetting(sec, "TabCount", "40");
        load(t);
        QCOMPARE(t.TabCount(), 40);

        // Growing keeps the positions held; missing keys keep them too.
        TabClass kept;
        kept.Add(500);
        kept.Add(600);
        support::SettingsStore& fresh = FreshStore();
        fresh.SaveSetting(sec, "TabCount", "4");
        fresh.SaveSetting(sec, "Tab3", "100000");
        fresh.SaveSetting(sec, "Tab4", "2.5");
        load(kept);
        QCOMPARE(kept.TabCount(), 4);
        QCOMPARE(QList<int>({kept.Tabs(1), kept.Tabs(2), kept.Tabs(3), kept.Tabs(4)}), QList<int>({500, 600, 0, 2}));
        fresh.SaveSetting(sec, "Tab1", "junk");
        fresh.SaveSetting(sec, "Tab2", "-5");
        load(kept);
        QCOMPARE(kept.Tabs(1), 0);
        QCOMPARE(kept.Tabs(2), 0);

        // Written as decimal texts; higher slots of a longer earlier list stay unread.
        TabClass written;
        written.Add(2160);
        written.Add(3240);
        QVERIFY(written.WriteProperties(fresh, sec));
        QCOMPARE(fresh.GetSetting(sec, "TabCount"), QStringLiteral("2"));
        QCOMPARE(fresh.GetSetting(sec, "Tab2"), QStringLiteral("3240"));
        QCOMPARE(fresh.GetSetting(sec, "Tab4"), QStringLiteral("2.5"));
        support::SettingsStore reread(fresh.FilePath());
        TabClass back;
        back.ReadProperties(reread, sec);
        QCOMPARE(back.TabCount(), 2);
        QCOMPARE(back.Tabs(1), 2160);
        QCOMPARE(back.Tabs(2), 3240);
    }

    void fontOnTheBox()
    {
        QTextDocument doc;
        QTextCursor box(&doc);
        FontClass red;
        red.SetFontName(QStringLiteral("Courier New"));
        red.SetSize(20);
        red.SetColor(0x0000FF);
        red.SetBold(true);
        red.SetUnderline(true);
        red.InstallFont(&box);
        box.insertText(QStringLiteral("red "));
        FontClass blue;
        blue.SetColor(0xFF0000);
        blue.SetItalic(true);
        blue.InstallFont(&box);
        box.insertText(QStringLiteral("blue"));
        red.InstallFont(nullptr);

        const QTextCharFormat r = FormatAt(&doc, "red");
        QCOMPARE(LookOf(r), (Look{"Courier New", 20, true, false}));
        QCOMPARE(r.foreground().color(), QColor(255, 0, 0));
        QVERIFY(r.fontUnderline() && !r.fontStrikeOut());
        const QTextCharFormat b = FormatAt(&doc, "blue");
        QCOMPARE(LookOf(b), (Look{"Arial", 12, false, true}));
        QCOMPARE(b.foreground().color(), QColor(0, 0, 255));
        QVERIFY(!b.fontUnderline());

        // Reading back one piece gives its font; a mixed selection keeps name, colour and size.
        FontClass back;
        printing::SelectRange(box, 0, 3);
        back.RetreiveFont(&box);
        QVERIFY(back.IsEqual(&red));
        FontClass mixed;
        mixed.SetFontName(QStringLiteral("Verdana"));
        mixed.SetColor(7);
        mixed.SetSize(8);
        mixed.SetBold(true);
        mixed.SetUnderline(true);
        printing::SelectRange(box, 0, 999999);
        mixed.RetreiveFont(&box);
        QCOMPARE(mixed.FontName(), QStringLiteral("Verdana"));
        QCOMPARE(mixed.Color(), 7);
        QCOMPARE(mixed.Size(), 8);
        QVERIFY(!mixed.Bold() && !mixed.Underline() && !mixed.Italic());

        // A size outside the bounds is not taken.
        FontClass huge;
        huge.SetMaxSize(100);
        huge.SetSize(90);
        printing::SelectRange(box, 999999, 0);
        huge.InstallFont(&box);
        box.insertText(QStringLiteral("huge"));
        FontClass small;
        const QTextCursor found = doc.find(QStringLiteral("huge"));
        QTextCursor sel(found);
        small.RetreiveFont(&sel);
        QCOMPARE(small.Size(), 12);
        QCOMPARE(small.FontName(), QStringLiteral("Arial"));
    }

    void tabsOnTheBox()
    {
        QTextDocument doc;
        doc.setDocumentMargin(0);
        QTextCursor box(&doc);
        box.insertText(QStringLiteral("a\tb\r\nc\td\r\ne\tf"));
        const double inch = printing::UnitsPerInch();

        TabClass tabs;
        tabs.Add(1440);
        tabs.Add(2880);
        tabs.InstallTabs(&box, true);
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) QCOMPARE(TabPositionsOf(b), QList<double>({inch, 2 * inch}));

        // The second field starts on the first stop when the document is laid out.
        doc.pageCount();  // lays the text out
        const QTextBlock first = doc.begin();
        QTextLine line = first.layout()->lineAt(0);
        QVERIFY(line.isValid());
        QCOMPARE(qRound(line.cursorToX(2)), qRound(inch));

        // A slot of 0 keeps the paragraph's stop at that index; only the selected paragraph changes.
        TabClass partial;
        partial.SetTabCount(2);
        partial.SetTabs(1, 720);
        printing::SelectRange(box, doc.findBlockByNumber(1).position(), 1);
        partial.InstallTabs(&box, false);
        QCOMPARE(TabPositionsOf(doc.findBlockByNumber(1)), QList<double>({inch / 2, 2 * inch}));
        QCOMPARE(TabPositionsOf(doc.findBlockByNumber(0)), QList<double>({inch, 2 * inch}));
        QCOMPARE(TabPositionsOf(doc.findBlockByNumber(2)), QList<double>({inch, 2 * inch}));

        // An empty list removes every stop.
        TabClass().InstallTabs(&box, true);
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) QVERIFY(TabPositionsOf(b).isEmpty());
        tabs.InstallTabs(nullptr, true);
    }

    void printPage()
    {
        dlgPrintForm page;
        QCOMPARE(page.windowTitle(), QStringLiteral("Never Shown!!!!!"));
        QVERIFY(!page.isVisible());
        QVERIFY(!page.TB->accessibleName().isEmpty());
        QCOMPARE(page.CurrentFont().Size(), 12);
        QCOMPARE(page.CurrentTabs().TabCount(), 0);

        // Two pieces in two fonts on one line.
        FontClass bold;
        bold.SetBold(true);
        bold.SetSize(14);
        page.SetFont(&bold);
        page.AddText(QStringLiteral("Label:\t"));
        FontClass plain;
        plain.SetSize(9);
        page.SetFont(&plain);
        page.SetFont(nullptr);
        page.AddText(QStringLiteral("value\r\nnext\tline"));
        QTextDocument* doc = page.Document();
        QCOMPARE(doc->toPlainText(), QStringLiteral("Label:\tvalue\nnext\tline"));
        QCOMPARE(doc->blockCount(), 2);
        QCOMPARE(LookOf(FormatAt(doc, "Label")), (Look{"Arial", 14, true, false}));
        QCOMPARE(LookOf(FormatAt(doc, "value")), (Look{"Arial", 9, false, false}));
        QCOMPARE(LookOf(FormatAt(doc, "next")), (Look{"Arial", 9, false, false}));

        // Tab stops set after the text reach every paragraph; past the last stop they fall every
        // half inch.
        TabClass tabs;
        tabs.Add(2160);
        page.SetTabs(&tabs);
        page.SetTabs(nullptr);
        const double inch = printing::UnitsPerInch();
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) QCOMPARE(TabPositionsOf(b), QList<double>({1.5 * inch}));
        QCOMPARE(doc->defaultTextOption().tabStopDistance(), inch / 2);
        QCOMPARE(page.CurrentTabs().Tabs(1), 2160);

        page.ClearPage();
        QVERIFY(doc->isEmpty());
        page.AddText(QStringLiteral("again"));
        QCOMPARE(doc->toPlainText(), QStringLiteral("again"));
        QCOMPARE(LookOf(FormatAt(doc, "again")), (Look{"Arial", 9, false, false}));

    }

    void reportComposition()
    {
        FontClass header;
        header.SetFontName(QStringLiteral("Courier New"));
        header.SetSize(14);
        header.SetBold(true);
        header.SetItalic(true);
        FontClass data;
        data.SetSize(9);
        TabClass tabs;
        FontClass unused;
        SetPrintDefaults(unused, unused, tabs);

        auto list = MakeList(2);
        const MeterReading avg = Averages(85.346, 60.1, 12, 20.5);
        dlgPrintForm page;
        ComposeReport(page, header, data, tabs, Inputs(list.get(), &avg));
        const QTextDocument* doc = page.Document();

        QCOMPARE(doc->toPlainText(),
                 QStringLiteral("\t\t\tDOI/Haze Measurements\n"
                                "Printed:\t07/04/2002 14:05:09\n\n"
                                "Unit Serial Number:\tHZ001234\n"
                                "Area Averaged Data\n"
                                "Average Specular:\t85.35\n"
                                "Average DOI:\t60.10\n"
                                "Average 2 Degree:\t12.00\n"
                                "Average 15 Degree:\t20.50\n"
                                "\n"
                                "Date/Time\tSpecular\tDOI\t2 Degree\t15 Degree\tCal STD\tComment\t\n"
                                "07/04/2002 14:00:09\t80.35\t60.10\t10.25\t20.50\tStd A\tpanel1\n"
                                "07/04/2002 14:01:09\t81.35\t61.10\t11.25\t21.50\tStd A\tpanel2\n"));

        const Look h{"Courier New", 14, true, true};
        const Look d{"Arial", 9, false, false};
        for (const char* label : {"DOI/Haze", "Printed:", "Unit Serial", "Area Averaged", "Average Specular:", "Average DOI:",
                                  "Average 2 Degree:", "Average 15 Degree:", "Date/Time\tSpecular", "Comment\t"})
            QCOMPARE(LookOf(FormatAt(doc, label)), h);
        for (const char* value : {"07/04/2002 14:05:09", "HZ001234", "85.35", "60.10\n", "12.00", "20.50\n", "07/04/2002 14:00:09", "panel2"})
            QCOMPARE(LookOf(FormatAt(doc, QString::fromLatin1(value).remove('\n'))), d);
        // Every paragraph carries the seven stops.
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) QCOMPARE(TabPositionsOf(b).size(), 7);

        // Total energy readings are named as such.
        MeterReading total = Averages(1, 2, 3, 4, false);
        ComposeReport(page, header, data, tabs, Inputs(list.get(), &total));
        QVERIFY(doc->toPlainText().contains(QStringLiteral("\nTotal Energy Data\nAverage Specular:\t1.00\n")));
        QVERIFY(!doc->toPlainText().contains(QStringLiteral("Area Averaged")));
    }

    void reportWithoutAverages()
    {
        FontClass header, data;
        TabClass tabs;
        SetPrintDefaults(header, data, tabs);
        auto list = MakeList(0);
        MeterReading none;
        none.Clear();
        dlgPrintForm page;
        ComposeReport(page, header, data, tabs, Inputs(list.get(), &none));
        QCOMPARE(page.Document()->toPlainText(),
                 QStringLiteral("\t\t\tDOI/Haze Measurements\n"
                                "Printed:\t07/04/2002 14:05:09\n\n"
                                "Unit Serial Number:\tHZ001234\n"
                                "\n"
                                "Date/Time\tSpecular\tDOI\t2 Degree\t15 Degree\tCal STD\tComment\t\n"));

        // Readings of two standards: the summary shows no numbers, nor does the report.
        MeterReading mixed = Averages(1, 2, 3, 4);
        MeterReading other;
        other.SetCalStd(QStringLiteral("Std B"));
        mixed.Add(other);
        auto rows = MakeList(3);
        ComposeReport(page, header, data, tabs, Inputs(rows.get(), &mixed));
        const QString text = page.Document()->toPlainText();
        QVERIFY(!text.contains(QStringLiteral("Average")));
        QVERIFY(text.contains(QStringLiteral("HZ001234\n\nDate/Time")));
        QVERIFY(text.endsWith(QStringLiteral("\tpanel3\n")));

        // Missing pieces are skipped, the rest is still composed.
        ComposeReport(page, header, data, tabs, ReportInputs{});
        QVERIFY(page.Document()->toPlainText().startsWith(QStringLiteral("\t\t\tDOI/Haze Measurements\nPrinted:\t")));
        QVERIFY(page.Document()->toPlainText().endsWith(QStringLiteral("Unit Serial Number:\t\n")));
    }

    void reportNumberFormats()
    {
        FontClass header, data;
        TabClass tabs;
        SetPrintDefaults(header, data, tabs);
        dlgPrintForm page;
        const MeterReading avg = Averages(12, 12.5, 0.4, -3.5);
        ComposeReport(page, header, data, tabs, Inputs(nullptr, &avg, QStringLiteral("##0.")));
        const QString text = page.Document()->toPlainText();
        QVERIFY2(text.contains(QStringLiteral("Average Specular:\t12.\nAverage DOI:\t13.\nAverage 2 Degree:\t0.\nAverage 15 Degree:\t-4.\n")),
                 qPrintable(text));
        ComposeReport(page, header, data, tabs, Inputs(nullptr, &avg, QStringLiteral("##0.000")));
        QVERIFY(page.Document()->toPlainText().contains(QStringLiteral("Average DOI:\t12.500\n")));
    }

    void headerFontOutOfBounds()
    {
        auto& store = FreshStore();
        store.SaveSetting(QStringLiteral("HeaderFont"), QStringLiteral("FontSize"), QStringLiteral("100"));
        FontClass header, data;
        TabClass tabs;
        SetPrintDefaults(header, data, tabs);
        data.SetSize(8);
        header.ReadProperties(store, QStringLiteral("HeaderFont"));
        QCOMPARE(header.Size(), 100);

        dlgPrintForm page;
        const MeterReading avg = Averages(1, 2, 3, 4);
        ComposeReport(page, header, data, tabs, Inputs(MakeList(1).get(), &avg));
        const QTextDocument* doc = page.Document();
        // The title takes the page's first size, later labels the data font's size.
        QCOMPARE(LookOf(FormatAt(doc, "DOI/Haze")), (Look{"Arial", 12, true, true}));
        QCOMPARE(LookOf(FormatAt(doc, "Printed:")), (Look{"Arial", 12, true, true}));
        QCOMPARE(LookOf(FormatAt(doc, "Unit Serial")), (Look{"Arial", 8, true, true}));
        QCOMPARE(LookOf(FormatAt(doc, "Date/Time\t")), (Look{"Arial", 8, true, true}));
        QCOMPARE(LookOf(FormatAt(doc, "HZ001234")), (Look{"Arial", 8, false, false}));
    }

    void printDefaults()
    {
        FontClass header, data;
        TabClass tabs;
        data.SetColor(0x123456);
        data.SetFontName(QStringLiteral("Verdana"));
        data.SetBold(true);
        data.SetUnderline(true);
        data.SetStrikeThru(true);
        data.SetSize(30);
        header.SetSize(40);
        header.SetColor(5);
        for (int i = 0; i < 12; ++i) tabs.Add(100 * (i + 1));
        SetPrintDefaults(header, data, tabs);

        QCOMPARE(tabs.TabCount(), 7);
        QCOMPARE(QList<int>({tabs.Tabs(1), tabs.Tabs(2), tabs.Tabs(3), tabs.Tabs(4), tabs.Tabs(5), tabs.Tabs(6), tabs.Tabs(7)}),
                 QList<int>({2160, 3240, 4320, 5400, 6480, 8208, 10368}));
        QCOMPARE(data.FontName(), QStringLiteral("Arial"));
        QCOMPARE(data.Size(), 10);
        QVERIFY(!data.Bold() && !data.Italic() && !data.Underline() && !data.StrikeThru());
        QCOMPARE(data.Color(), 0x123456);
        QCOMPARE(header.FontName(), QStringLiteral("Arial"));
        QCOMPARE(header.Size(), 10);
        QVERIFY(header.Bold() && header.Italic() && !header.Underline() && !header.StrikeThru());
        QCOMPARE(header.Color(), 0x123456);
    }

    // The page printed to a PDF: columns on their inch positions, pages broken without numbers.
    void printedLayout()
    {
        if (!HaveTool("pdftotext")) QSKIP("pdftotext (poppler-utils) is not installed");
        FontClass header, data;
        TabClass tabs;
        SetPrintDefaults(header, data, tabs);
        auto list = MakeList(90);
        const MeterReading avg = Averages(85.346, 60.1, 12, 20.5);
        dlgPrintForm page;
        ComposeReport(page, header, data, tabs, Inputs(list.get(), &avg));

        const QString pdf = m_dir.filePath(QStringLiteral("layout.pdf"));
        {
            QPdfWriter writer(pdf);
            writer.setResolution(600);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF(36, 36, 36, 36), QPageLayout::Point));
            QVERIFY(page.PrintTo(writer));
        }
        const QList<Word> words = PdfWords(pdf);
        CheckReportColumns(words);
        if (QTest::currentTestFailed()) return;
        // The text starts at the printable area's edge.
        QVERIFY(qAbs(FindWord(words, QStringLiteral("Date/Time"))->x - 36) < 1.5);
        // 90 rows need two pages; every row is there once and no page carries a number.
        QCOMPARE(words.last().page, 1);
        for (int r = 0; r < 90; ++r) QVERIFY2(FindWord(words, QStringLiteral("panel%1").arg(r + 1)), qPrintable(QString::number(r)));
        static const QRegularExpression number(QStringLiteral("^\\d+$"));
        QStringList numbers;
        for (const Word& w : words)
            if (number.match(w.text).hasMatch()) numbers << w.text;
        // Only the "2" and "15" of "2 Degree" and "15 Degree", in the averages and the column titles.
        QCOMPARE(numbers, QStringList({"2", "15", "2", "15"}));
    }

    // A real print job: the report through PrintMe and the print dialog to a cups-pdf queue.
    void printThroughCups()
    {
        if (geteuid() != 0) QSKIP("printing through CUPS needs root: the test adds a print queue and may start cupsd");
        for (const char* tool : {"cupsd", "lpadmin", "lpstat", "pdftotext"})
            if (!HaveTool(tool)) QSKIP(qPrintable(QStringLiteral("%1 is not installed (cups, cups-client, poppler-utils)").arg(tool)));
        if (!QFileInfo::exists(QStringLiteral("/usr/lib/cups/backend/cups-pdf"))) QSKIP("printer-driver-cups-pdf is not installed");

        QLockFile lock(QDir::temp().filePath(QStringLiteral("glimora-cups-pdf-queue.lock")));
        QVERIFY2(lock.tryLock(60000), "another test holds the CUPS queue");
        QTemporaryDir out;
        QVERIFY(out.isValid());
        auto queue = [](const QStringList& args) {
            QProcess p;
            p.start(QStringLiteral(GLIMORA_CUPS_QUEUE_SCRIPT), args);
            p.waitForFinished(30000);
            return std::make_pair(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardError()));
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
        auto list = MakeList(10);
        const MeterReading avg = Averages(85.346, 60.1, 12, 20.5);
        dlgPrintForm page;
        ComposeReport(page, header, data, tabs, Inputs(list.get(), &avg));
        QWidget mainWindow;

        // Cancelled, or accepted with output to a file instead of a queue: nothing printed, nothing shown.
        bool asked = false, offersTooMuch = false;
        testing::WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QPrintDialog*>(w);
            QVERIFY(dialog);
            asked = true;
            offersTooMuch = dialog->testOption(QAbstractPrintDialog::PrintToFile) || dialog->testOption(QAbstractPrintDialog::PrintPageRange)
                || dialog->testOption(QAbstractPrintDialog::PrintSelection) || dialog->testOption(QAbstractPrintDialog::PrintCurrentPage);
            dialog->reject();
        }, QStringLiteral("Print"));
        page.PrintMe(&mainWindow);
        QVERIFY(asked);
        QVERIFY(!offersTooMuch);
        // The dialog offers no file output; a printer that ends up writing a file all the same is
        // not printed to (the dialog closes as accepted without applying its own choice).
        const QString toFile = out.filePath(QStringLiteral("file.pdf"));
        testing::WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QPrintDialog*>(w);
            QVERIFY(dialog);
            dialog->printer()->setOutputFileName(toFile);
            dialog->QDialog::accept();
        }, QStringLiteral("Print"));
        page.PrintMe(&mainWindow);
        QTest::qWait(300);
        QVERIFY(!jobsLeft());
        QVERIFY(pdfs().isEmpty());
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));

        // The operator picks the queue "PDF" in the dialog and confirms.
        bool chosen = false;
        testing::WhenModal([&](QWidget* w) {
            auto* dialog = qobject_cast<QPrintDialog*>(w);
            QVERIFY(dialog);
            for (QComboBox* box : dialog->findChildren<QComboBox*>()) {
                const int i = box->findText(QStringLiteral("PDF"));
                if (i >= 0) {
                    box->setCurrentIndex(i);
                    chosen = true;
                }
            }
            dialog->accept();
        }, QStringLiteral("Print"));
        page.PrintMe(&mainWindow);
        QVERIFY2(chosen, "the print dialog does not offer the queue PDF");
        QElapsedTimer waited;
        waited.start();
        while ((jobsLeft() || pdfs().isEmpty()) && waited.elapsed() < 30000) QTest::qWait(100);
        QVERIFY2(!pdfs().isEmpty(), "no PDF came out of the queue");
        const QString pdf = pdfs().first().absoluteFilePath();
        // Kept for a look: under ctest this is test-home/tst_printing/cups-report.pdf.
        QDir().mkpath(QDir::homePath());
        QFile::remove(QDir::home().filePath(QStringLiteral("cups-report.pdf")));
        QFile::copy(pdf, QDir::home().filePath(QStringLiteral("cups-report.pdf")));

        const QString text = PdfLayoutText(pdf);
        auto has = [&](const QString& pattern) { return QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text).hasMatch(); };
        QVERIFY2(has(R"(^\s{10,}DOI/Haze Measurements\s*$)"), qPrintable(text));
        QVERIFY2(has(R"(^Printed:\s+07/04/2002 14:05:09\s*$)"), qPrintable(text));
        QVERIFY2(has(R"(^Unit Serial Number:\s+HZ001234\s*$)"), qPrintable(text));
        QVERIFY2(has(R"(^Area Averaged Data\s*$)"), qPrintable(text));
        QVERIFY2(has(R"(^Average Specular:\s+85\.35\s*$)") && has(R"(^Average DOI:\s+60\.10\s*$)")
                     && has(R"(^Average 2 Degree:\s+12\.00\s*$)") && has(R"(^Average 15 Degree:\s+20\.50\s*$)"),
                 qPrintable(text));
        QVERIFY2(has(R"(^Date/Time\s+Specular\s+DOI\s+2 Degree\s+15 Degree\s+Cal STD\s+Comment\s*$)"), qPrintable(text));
        for (int r = 0; r < 10; ++r) {
            const QStringList cells = {QStringLiteral("07/04/2002 14:%1:09").arg(r, 2, 10, QLatin1Char('0')),
                                       QStringLiteral("%1.35").arg(80 + r), QStringLiteral("%1.10").arg(60 + r),
                                       QStringLiteral("%1.25").arg(10 + r), QStringLiteral("%1.50").arg(20 + r),
                                       QStringLiteral("Std A"), QStringLiteral("panel%1").arg(r + 1)};
            QStringList escaped;
            for (const QString& c : cells) escaped << QRegularExpression::escape(c);
            QVERIFY2(has(QStringLiteral("^") + escaped.join(QStringLiteral("\\s+")) + QStringLiteral("\\s*$")), qPrintable(cells.join(' ')));
        }
        CheckReportColumns(PdfWords(pdf));
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
