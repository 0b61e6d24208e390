// The help file as built, the reader of compiled help files, the help commands and the About box.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "dialogs/dlgAboutGlimora.h"
#include "help/ChmFile.h"
#include "help/HTMLHelp.h"
#include "help/HelpContents.h"
#include "help/HelpViewer.h"
#include "resources/GlimoraIcon.h"

namespace {

const QString kHelpFile = QStringLiteral(GLIMORA_HELP_CHM);

QByteArray HelpBytes()
{
    QFile f(kHelpFile);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) return QString();
    return path;
}

// Reads everything a damaged file offers; a file that opened must keep every promise it made.
void ExerciseReader(const QByteArray& data)
{
    ChmFile file;
    if (!file.OpenData(data)) {
        QVERIFY(!file.IsOpen());
        QVERIFY(file.Read(QStringLiteral("/welcome.htm")).isEmpty());
        QVERIFY(ResolveContext(file, 4).isEmpty());
        return;
    }
    for (const QString& path : file.Paths()) QVERIFY(file.Contains(path));
    DefaultTopic(file);
    HelpTitle(file);
    for (int context : {0, 4, 5, -1}) {
        const QString page = ResolveContext(file, context);
        QVERIFY(page.isEmpty() || file.Contains(page));
    }
    ParseSitemap(file.Read(ContentsPath(file)));
}

HelpViewer* ViewerOf(QWidget& owner)
{
    const auto viewers = owner.findChildren<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
    return viewers.size() == 1 ? viewers.first() : nullptr;
}

int ViewerCount(QWidget& owner)
{
    return static_cast<int>(owner.findChildren<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly).size());
}

}  // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void everyObjectOfTheBuiltFileReads();
    void builtHelpFileNamesItsParts();
    void pagesAreFoundWhateverTheCaseOrSlashes_data();
    void pagesAreFoundWhateverTheCaseOrSlashes();
    void everyLinkPictureAndContentsEntryResolves();
    void missingAndDamagedFilesFailWithoutHarm();
    void sitemapParsingToleratesBrokenMarkup();
    void helpCommandsWithoutUsableFileShowNothing();
    void helpCommandsOpenOneViewerAtTheRightPage();
    void viewerFollowsLinksHistoryAndContents();
    void aboutBoxShowsTitleVersionAndCloses();
    void versionTextsAreParsedAndPrintedPlainly();
};

void TestHelp::initTestCase()
{
    QVERIFY2(QFileInfo::exists(kHelpFile), qPrintable(kHelpFile));
}

// Every object of the help file comes out whole: the pages (most of them in the compressed
// section) end where HTML ends, the pictures decode, and the container's own objects are there.
void TestHelp::everyObjectOfTheBuiltFileReads()
{
    ChmFile file;
    QVERIFY(file.Open(kHelpFile));
    QCOMPARE(file.FilePath(), QFileInfo(kHelpFile).absoluteFilePath());
    const QStringList paths = file.Paths();
    QVERIFY(paths.size() >= 30);
    QStringList incomplete;
    for (const QString& path : paths) {
        const QByteArray data = file.Read(path);
        QVERIFY2(file.Contains(path) && file.CanonicalPath(path) == path, qPrintable(path));
        if (path.endsWith(QLatin1String(".htm")) || path.endsWith(QLatin1String(".hhc"))) {
            if (!data.trimmed().toLower().endsWith("</html>")) incomplete.append(path);
        } else if (path.endsWith(QLatin1String(".png"))) {
            if (QImage::fromData(data).isNull()) incomplete.append(path);
        } else if (path == QLatin1String("/#SYSTEM") || path == QLatin1String("/#IVB") ||
                   path == QLatin1String("/#STRINGS") || path.endsWith(QLatin1String(".css"))) {
            if (data.isEmpty()) incomplete.append(path);
        }
    }
    QCOMPARE(incomplete, QStringList());
    for (const char* name : {"/#SYSTEM", "/#IVB", "/#STRINGS", "/glimora.css", "::DataSpace/NameList"})
        QVERIFY2(paths.contains(QLatin1String(name)), name);
}

void TestHelp::builtHelpFileNamesItsParts()
{
    ChmFile file;
    QVERIFY(file.Open(kHelpFile));
    QCOMPARE(ContentsPath(file), QStringLiteral("/Glimora_Help.hhc"));
    QCOMPARE(DefaultTopic(file), QStringLiteral("/welcome.htm"));
    QCOMPARE(HelpTitle(file), QStringLiteral("Glimora Help"));
    // "Search For Help On..." opens help context 4: the A-Z index.
    QCOMPARE(ResolveContext(file, 4), QStringLiteral("/help_index.htm"));
    QCOMPARE(ResolveContext(file, 5), QStringLiteral("/KALDEX/Contact_KALDEX.htm"));
    QVERIFY(ResolveContext(file, 3).isEmpty());
    QVERIFY(ResolveContext(file, -4).isEmpty());
    const QByteArray index = file.Read(ResolveContext(file, 4));
    QVERIFY(index.contains("<title>Index</title>"));
    QVERIFY(index.contains("href=\"data_files.htm#recent\""));
}

void TestHelp::pagesAreFoundWhateverTheCaseOrSlashes_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("found");  // empty: no such object
    const QString contact = QStringLiteral("/KALDEX/Contact_KALDEX.htm");
    QTest::newRow("backslashes") << QStringLiteral("KALDEX\\Contact_KALDEX.htm") << contact;
    QTest::newRow("letter case") << QStringLiteral("/kaldex/contact_kaldex.HTM") << contact;
    QTest::newRow("dot") << QStringLiteral("KALDEX/./Contact_KALDEX.htm") << contact;
    QTest::newRow("dot dot") << QStringLiteral("/KALDEX/../WELCOME.htm") << QStringLiteral("/welcome.htm");
    QTest::newRow("above the root") << QStringLiteral("/../welcome.htm") << QString();
    QTest::newRow("not there") << QStringLiteral("/nothere.htm") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("page as folder") << QStringLiteral("/KALDEX/Contact_KALDEX.htm/") << QString();
    QTest::newRow("NUL") << QStringLiteral("/welcome.htm") + QChar(0) << QString();
    QTest::newRow("too long") << QString(2000, QLatin1Char('a')) << QString();
}

void TestHelp::pagesAreFoundWhateverTheCaseOrSlashes()
{
    QFETCH(QString, asked);
    QFETCH(QString, found);
    ChmFile file;
    QVERIFY(file.Open(kHelpFile));
    QCOMPARE(file.CanonicalPath(asked), found);
    QCOMPARE(file.Contains(asked), !found.isEmpty());
    QCOMPARE(file.Read(asked), found.isEmpty() ? QByteArray() : file.Read(found));
    if (!found.isEmpty()) QVERIFY(!file.Read(asked).isEmpty());
}

// Every link, picture and style sheet of every page, and every page of the contents, is in the
// help file, and every #anchor it names exists on its page.
void TestHelp::everyLinkPictureAndContentsEntryResolves()
{
    ChmFile file;
    QVERIFY(file.Open(kHelpFile));
    QStringList broken;
    auto check = [&](const QString& from, const QString& reference) {
        if (reference.startsWith(QLatin1String("mailto:")) || reference.startsWith(QLatin1String("http"))) return;
        const QUrl base = HelpViewer::TopicUrl(from);
        const QUrl target = base.resolved(QUrl(reference));
        const QString page = target.path();
        if (!file.Contains(page)) {
            broken.append(from + QStringLiteral(" -> ") + reference);
            return;
        }
        if (target.hasFragment() &&
            !file.Read(page).contains(QStringLiteral("name=\"%1\"").arg(target.fragment()).toUtf8()))
            broken.append(from + QStringLiteral(" -> ") + reference + QStringLiteral(" (anchor)"));
    };
    const QRegularExpression attribute(QStringLiteral("(?:href|src)=\"([^\"]+)\""));
    int pages = 0;
    for (const QString& path : file.Paths()) {
        if (!path.endsWith(QLatin1String(".htm"))) continue;
        ++pages;
        const QString html = QString::fromUtf8(file.Read(path));
        QVERIFY2(html.contains(QLatin1String("<title>")), qPrintable(path));
        for (auto it = attribute.globalMatch(html); it.hasNext();) check(path, it.next().captured(1));
    }
    QVERIFY(pages >= 20);
    const QList<ContentsEntry> contents = ParseSitemap(file.Read(ContentsPath(file)));
    QVERIFY(contents.size() >= 25);
    for (const ContentsEntry& entry : contents)
        if (!entry.local.isEmpty()) check(QStringLiteral("/Glimora_Help.hhc"), entry.local);
    QCOMPARE(broken, QStringList());
}

void TestHelp::missingAndDamagedFilesFailWithoutHarm()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    ChmFile file;
    QVERIFY(!file.Open(dir.filePath(QStringLiteral("absent.chm"))));
    QVERIFY(!file.Open(dir.path()));  // a folder
    QVERIFY(!file.Open(WriteFile(dir, QStringLiteral("empty.chm"), QByteArray())));
    QVERIFY(!file.IsOpen());

    const QByteArray good = HelpBytes();
    QVERIFY(good.size() > 10000);
    for (qsizetype length : {qsizetype(3), qsizetype(0x58), qsizetype(0x61), qsizetype(4096), good.size() / 2,
                             good.size() - 100}) {
        QVERIFY2(!file.Open(WriteFile(dir, QStringLiteral("cut.chm"), good.left(length))),
                 qPrintable(QString::number(length)));
        QVERIFY(ContentsPath(file).isEmpty());
    }
    // A file that fails leaves nothing of the file opened before.
    QVERIFY(file.Open(kHelpFile));
    QVERIFY(!file.Open(WriteFile(dir, QStringLiteral("cut.chm"), good.left(good.size() / 2))));
    QVERIFY(!file.Contains(QStringLiteral("/welcome.htm")));

    QRandomGenerator random(20260314);
    for (int size : {16, 0x60, 5000, 100000}) {
        QByteArray noise(size, '\0');
        for (char& c : noise) c = static_cast<char>(random.bounded(256));
        QVERIFY(!file.OpenData(noise));
        noise.replace(0, 4, "ITSF");
        QVERIFY(!file.OpenData(noise));
    }

    // Damage in the headers, the directory and the compressed pages: whatever opens stays
    // consistent, and nothing reads outside the file.
    for (int round = 0; round < 400; ++round) {
        QByteArray damaged = good;
        const int changes = 1 + random.bounded(6);
        for (int i = 0; i < changes; ++i) {
            const qsizetype where = round % 2 ? random.bounded(qMin<qsizetype>(damaged.size(), 5000))
                                              : random.bounded(damaged.size());
            damaged[where] = static_cast<char>(random.bounded(256));
        }
        ExerciseReader(damaged);
        if (QTest::currentTestFailed()) {
            qWarning("failed at damage round %d", round);
            return;
        }
    }
}

void TestHelp::sitemapParsingToleratesBrokenMarkup()
{
    const QByteArray messy =
        "<!-- <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"hidden\"></OBJECT> -->"
        "</UL></UL><ul><li><object type='TEXT/SITEMAP'><PARAM NAME=Name VALUE='Tom &amp; Jerry &#x41;&#66;'>"
        "<param name=\"Local\" value=\"a.htm#x\"><param name=\"Local\" value=\"second.htm\"></object>"
        "<object type=\"text/site properties\"><param name=\"Name\" value=\"not an entry\"></object>"
        "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Local\" value=\"only-local.htm\"></OBJECT></UL>"
        "<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"a > b\"></OBJECT>"
        "<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"unfinished";
    const QList<ContentsEntry> parsed = ParseSitemap(messy);
    QCOMPARE(parsed.size(), 3);
    QCOMPARE(parsed.at(0).name, QStringLiteral("Tom & Jerry AB"));
    QCOMPARE(parsed.at(0).local, QStringLiteral("a.htm#x"));
    QCOMPARE(parsed.at(0).level, 0);
    QCOMPARE(parsed.at(1).name, QStringLiteral("only-local.htm"));
    QCOMPARE(parsed.at(1).level, 1);
    QCOMPARE(parsed.at(2).name, QStringLiteral("a > b"));

    QByteArray deep;
    for (int i = 0; i < 200; ++i)
        deep += "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"n\"></OBJECT>";
    const QList<ContentsEntry> nested = ParseSitemap(deep);
    QCOMPARE(nested.size(), 200);
    QCOMPARE(nested.last().level, kMaxContentsLevel - 1);

    QByteArray many;
    for (int i = 0; i < kMaxContentsEntries + 50; ++i)
        many += "<OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"n\"></OBJECT>";
    QCOMPARE(ParseSitemap(many).size(), kMaxContentsEntries);
    QVERIFY(ParseSitemap(QByteArray("<<<>>>\"'<param")).isEmpty());
}

void TestHelp::helpCommandsWithoutUsableFileShowNothing()
{
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    QWidget owner;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    HTMLHelp help(&owner, dir.path());  // no help file there
    QCOMPARE(help.HelpFile(), dir.path() + QStringLiteral("/Glimora_Help.chm"));
    auto tryAll = [&] {
        help.ShowHelpContents();
        help.ShowHelpContext(4);
        help.ShowHelpTopic(QStringLiteral("KALDEX\\Contact_KALDEX.htm"));
        QCoreApplication::processEvents();
        QCOMPARE(ViewerCount(owner), 0);
    };

    tryAll();
    WriteFile(dir, QStringLiteral("Glimora_Help.chm"), HelpBytes().left(20000));  // damaged
    tryAll();
    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("Glimora_Help.chm"))));
    QVERIFY(QFile::copy(kHelpFile, dir.filePath(QStringLiteral("Glimora_Help.chm"))));
    help.ShowHelpTopic(QStringLiteral("KALDEX\\NoSuchPage.htm"));
    help.ShowHelpTopic(QStringLiteral("KALDEX"));
    help.ShowHelpContext(9999);
    QCoreApplication::processEvents();
    QCOMPARE(ViewerCount(owner), 0);
    QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore + 1);  // the owner only
}

void TestHelp::helpCommandsOpenOneViewerAtTheRightPage()
{
    QWidget owner;
    owner.setWindowTitle(QStringLiteral("DOI/Haze Meter"));
    HTMLHelp help(&owner, QStringLiteral("/nowhere"));
    help.SetHelpFile(QFileInfo(kHelpFile).absolutePath());

    help.ShowHelpContents();
    HelpViewer* viewer = ViewerOf(owner);
    QVERIFY(viewer);
    QVERIFY(viewer->isWindow());
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Glimora Help"));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/welcome.htm"));
    auto* tree = viewer->findChild<QTreeWidget*>(QStringLiteral("tvContents"));
    QVERIFY(tree);
    QCOMPARE(tree->topLevelItemCount(), 8);
    QVERIFY(tree->currentItem());
    QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Welcome to Glimora"));
    auto* page = viewer->findChild<QTextBrowser*>(QStringLiteral("txtPage"));
    QVERIFY(page);
    QVERIFY(page->toPlainText().contains(QStringLiteral("Welcome to Glimora")));

    help.ShowHelpContext(4);
    QCOMPARE(ViewerOf(owner), viewer);
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/help_index.htm"));
    QVERIFY(page->toPlainText().contains(QStringLiteral("Subjects from A to Z")));
    QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Index"));

    help.ShowHelpTopic(QStringLiteral("KALDEX\\Contact_KALDEX.htm"));
    QCOMPARE(ViewerOf(owner), viewer);
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/KALDEX/Contact_KALDEX.htm"));
    QVERIFY(page->toPlainText().contains(QStringLiteral("Contact KALDEX Systems")));
    // The page's picture is fetched from the file, relative to the page.
    const QVariant picture =
        page->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("../images/glimora.png")));
    QCOMPARE(picture.value<QImage>().size(), QSize(64, 64));
    // Nothing outside the help file is fetched.
    const QVariant outside = page->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(kHelpFile));
    QVERIFY(outside.value<QImage>().isNull());

    // A page that is not in the file leaves the viewer where it was.
    help.ShowHelpTopic(QStringLiteral("missing.htm"));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/KALDEX/Contact_KALDEX.htm"));

    // Closed, the viewer goes; the next command opens a new one.
    viewer->close();
    QTRY_COMPARE(ViewerCount(owner), 0);
    help.ShowHelpContext(4);
    QVERIFY(ViewerOf(owner));
    QCOMPARE(ViewerOf(owner)->CurrentTopic(), QStringLiteral("/help_index.htm"));
}

void TestHelp::viewerFollowsLinksHistoryAndContents()
{
    QWidget owner;
    auto file = std::make_unique<ChmFile>();
    QVERIFY(file->Open(kHelpFile));
    auto* viewer = new HelpViewer(&owner);
    viewer->SetFile(std::move(file));
    QVERIFY(viewer->ShowTopic(QStringLiteral("KALDEX/Contact_KALDEX.htm")));
    auto* page = viewer->findChild<QTextBrowser*>(QStringLiteral("txtPage"));
    auto* back = viewer->findChild<QToolButton*>(QStringLiteral("cmdBack"));
    auto* home = viewer->findChild<QToolButton*>(QStringLiteral("cmdHome"));
    auto* tree = viewer->findChild<QTreeWidget*>(QStringLiteral("tvContents"));
    QVERIFY(page && back && home && tree);

    emit page->anchorClicked(QUrl(QStringLiteral("../messages.htm")));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/messages.htm"));
    QVERIFY(back->isEnabled());
    emit page->anchorClicked(QUrl(QStringLiteral("#sounds")));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/messages.htm"));
    QCOMPARE(page->source().fragment(), QStringLiteral("sounds"));
    emit page->anchorClicked(QUrl(QStringLiteral("ms-its:Glimora_Help.chm::/calibration.htm")));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/calibration.htm"));
    emit page->anchorClicked(QUrl(QStringLiteral("nowhere.htm")));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/calibration.htm"));

    back->click();
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/messages.htm"));
    home->click();
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/welcome.htm"));

    QTreeWidgetItem* printing = nullptr;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->text(0) == QLatin1String("Printing a Report")) printing = *it;
    QVERIFY(printing);
    tree->setCurrentItem(printing);
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/printing.htm"));

    QVERIFY(!viewer->ShowTopic(QStringLiteral("/images/")));
    QVERIFY(!viewer->ShowTopic(QString()));
    QCOMPARE(viewer->CurrentTopic(), QStringLiteral("/printing.htm"));
}

void TestHelp::aboutBoxShowsTitleVersionAndCloses()
{
    const QString savedVersion = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QStringLiteral("2.0.0"));
    {
        dlgAboutGlimora about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Glimora"));
        QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 2.0.0"));
        QCOMPARE(about.lblTitle->text(), QStringLiteral("Glimora 2026 KALDEX Systems"));
        QCOMPARE(about.lblDescription->text(),
                 QStringLiteral("Application to communicate with the KALDEX Systems Haze Meter."));
        QCOMPARE(about.cmdOK->text(), QStringLiteral("OK"));
        QVERIFY(about.cmdOK->isDefault());
        QCOMPARE(about.size(), QSize(301, 152));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QCOMPARE(about.picIcon->geometry(), QRect(16, 16, 32, 32));
        QCOMPARE(about.lblVersion->geometry(), QRect(70, 52, 211, 15));
        QCOMPARE(about.cmdOK->geometry(), QRect(108, 120, 84, 23));
        QVERIFY(!about.picIcon->pixmap().isNull());
        QVERIFY(!about.picIcon->accessibleName().isEmpty());

        about.open();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, Qt::Key_Return);
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
        about.open();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
    }
    QCoreApplication::setApplicationVersion(QStringLiteral("2.1.15"));
    QCOMPARE(dlgAboutGlimora().lblVersion->text(), QStringLiteral("Version 2.1.15"));
    QCoreApplication::setApplicationVersion(QStringLiteral("02.01.015"));
    QCOMPARE(dlgAboutGlimora().lblVersion->text(), QStringLiteral("Version 2.1.15"));
    QCoreApplication::setApplicationVersion(savedVersion);

    const QIcon icon = GlimoraIcon();
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(256, 256)));
    QVERIFY(icon.availableSizes().contains(QSize(64, 64)));
}

void TestHelp::versionTextsAreParsedAndPrintedPlainly()
{
    QCOMPARE(VersionText(2, 0, 0), QStringLiteral("Version 2.0.0"));
    QCOMPARE(VersionText(2, 1, 15), QStringLiteral("Version 2.1.15"));
    struct Case {
        const char* text;
        int major, minor, revision;
    };
    const Case cases[] = {{"2.0.0", 2, 0, 0},  {"2.1.15-rc1", 2, 1, 15}, {"3", 3, 0, 0},
                          {"", 0, 0, 0},       {"x.y.z", 0, 0, 0},       {" 4 .5. 6", 4, 5, 6},
                          {"1.2.3.4", 1, 2, 3}, {"99999999.1.1", 0, 1, 1}};
    for (const Case& c : cases) {
        int major = -1, minor = -1, revision = -1;
        ParseVersion(QString::fromLatin1(c.text), &major, &minor, &revision);
        QVERIFY2(major == c.major && minor == c.minor && revision == c.revision, c.text);
    }
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
