// The help file as built, the reader of compiled help files, the help commands and the About
// box. Damaged files in their variety are the fuzz target's; here a cut file proves the commands
// answer without a crash.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "dialogs/dlgAboutGlimora.h"
#include "help/ChmFile.h"
#include "help/HTMLHelp.h"
#include "help/HelpContents.h"
#include "help/HelpViewer.h"
#include "support/SettingsStore.h"

namespace {

const QString kHelpFile = QStringLiteral(GLIMORA_HELP_CHM);

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) return QString();
    return path;
}

QByteArray HelpBytes()
{
    QFile f(kHelpFile);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<HelpViewer*> Viewers(QWidget& owner)
{
    return owner.findChildren<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFileInfo::exists(kHelpFile), qPrintable(kHelpFile)); }

    // Every object of the help file comes out whole: the pages (most of them in the compressed
    // section) end where HTML ends and the pictures decode; the file names its parts.
    // Names and pages in the contents are written with HTML's character references; they are
    // shown and opened decoded, and what only looks like one stays as it stands.
    void contentsReferencesAreDecoded_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("shown");
        QTest::newRow("named") << "Gloss &amp; haze &lt;2&gt; &quot;DOI&quot; &apos;15&apos;"
                               << "Gloss & haze <2> \"DOI\" '15'";
        QTest::newRow("numbered") << "20 &#176;C, 60&#xB0;" << "20 \u00b0C, 60\u00b0";
        QTest::newRow("not references") << "R&D; 5;6 & &#xD800; &unknown;" << "R&D; 5;6 & &#xD800; &unknown;";
    }
    void contentsReferencesAreDecoded()
    {
        QFETCH(QString, written);
        QFETCH(QString, shown);
        const QByteArray html = "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" + written.toUtf8()
            + "\"><param name=\"Local\" value=\"a&amp;b.htm\"></OBJECT></UL>";
        const QList<ContentsEntry> entries = ParseSitemap(html);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.front().name, shown);
        QCOMPARE(entries.front().local, QStringLiteral("a&b.htm"));
    }

    void everyObjectOfTheBuiltFileReads()
    {
        ChmFile file;
        QVERIFY(file.Open(kHelpFile));
        const QStringList paths = file.Paths();
        QVERIFY(paths.size() >= 30);
        QStringList incomplete;
        for (const QString& path : paths) {
            const QByteArray data = file.Read(path);
            if (path.endsWith(QLatin1String(".htm")) || path.endsWith(QLatin1String(".hhc"))) {
                if (!data.trimmed().toLower().endsWith("</html>")) incomplete.append(path);
            } else if (path.endsWith(QLatin1String(".png")) && QImage::fromData(data).isNull()) {
                incomplete.append(path);
            }
        }
        QCOMPARE(incomplete, QStringList());
        QCOMPARE(ContentsPath(file), QStringLiteral("/Glimora_Help.hhc"));
        QCOMPARE(DefaultTopic(file), QStringLiteral("/welcome.htm"));
        QCOMPARE(HelpTitle(file), QStringLiteral("Glimora Help"));
        QCOMPARE(ResolveContext(file, 5), QStringLiteral("/KALDEX/Contact_KALDEX.htm"));
        // A link resolves inside the file only: never above its root, never a page as a folder.
        QCOMPARE(file.CanonicalPath(QStringLiteral("/KALDEX/./../WELCOME.htm")), QStringLiteral("/welcome.htm"));
        for (const QString& outside : {QStringLiteral("/../welcome.htm"), QStringLiteral("/KALDEX/Contact_KALDEX.htm/"),
                                       QStringLiteral("/welcome.htm") + QChar(0)})
            QVERIFY2(file.CanonicalPath(outside).isEmpty() && file.Read(outside).isEmpty(), qPrintable(outside));
    }

    // Missing, a folder, empty or cut short: the file does not open, and leaves nothing of the
    // file opened before; the help commands then show nothing.
    void missingAndDamagedFilesShowNothing()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ChmFile file;
        QVERIFY(file.Open(kHelpFile));
        const QString cut = WriteFile(dir, QStringLiteral("Glimora_Help.chm"), HelpBytes().left(20000));
        for (const QString& path :
             {dir.filePath(QStringLiteral("absent.chm")), dir.path(), WriteFile(dir, "empty.chm", {}), cut})
            QVERIFY2(!file.Open(path), qPrintable(path));
        QVERIFY(!file.IsOpen());
        QVERIFY(!file.Contains(QStringLiteral("/welcome.htm")));

        QWidget owner;
        HTMLHelp help(&owner, dir.path());
        QCOMPARE(HTMLHelp::HelpFilePath(dir.path()), cut);
        help.ShowHelpContents();
        help.ShowHelpContext(4);
        help.ShowHelpTopic(QStringLiteral("KALDEX\\Contact_KALDEX.htm"));
        QFile::remove(cut);
        help.ShowHelpContents();
        QCoreApplication::processEvents();
        QVERIFY(Viewers(owner).isEmpty());
    }

    // The commands open one viewer at the asked page; a page or context that is not in the file
    // leaves it where it was; the viewer follows links; closed with Escape, it goes and the next
    // command opens a new one, inside the screen where the last one was left.
    void helpCommandsOpenOneViewerAtTheRightPage()
    {
        QTemporaryDir dir;
        support::SettingsStore store(dir.filePath(QStringLiteral("Glimora.ini")));
        QWidget owner;
        HTMLHelp help(&owner, QStringLiteral("/nowhere"), &store);
        help.SetHelpFile(QFileInfo(kHelpFile).absolutePath());
        help.ShowHelpContents();
        QCOMPARE(Viewers(owner).size(), 1);
        HelpViewer* viewer = Viewers(owner).first();
        QVERIFY(viewer->isWindow() && viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Glimora Help"));
        auto* tree = viewer->findChild<QTreeWidget*>(QStringLiteral("tvContents"));
        auto* page = viewer->findChild<QTextBrowser*>(QStringLiteral("txtPage"));
        QVERIFY(tree && page);
        QCOMPARE(page->source().path(), QStringLiteral("/welcome.htm"));
        QCOMPARE(tree->currentItem()->text(0), QStringLiteral("Welcome to Glimora"));

        help.ShowHelpContext(4);  // "Search For Help On...": the A-Z index
        QCOMPARE(page->source().path(), QStringLiteral("/help_index.htm"));
        QVERIFY(page->toPlainText().contains(QStringLiteral("Subjects from A to Z")));
        help.ShowHelpTopic(QStringLiteral("KALDEX\\Contact_KALDEX.htm"));
        help.ShowHelpTopic(QStringLiteral("missing.htm"));
        help.ShowHelpContext(9999);
        QCOMPARE(Viewers(owner), QList<HelpViewer*>{viewer});
        QCOMPARE(page->source().path(), QStringLiteral("/KALDEX/Contact_KALDEX.htm"));
        // The page's picture comes from the file, relative to the page; nothing from outside it.
        QCOMPARE(page->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("../images/glimora.png")))
                     .value<QImage>()
                     .size(),
                 QSize(64, 64));
        QVERIFY(
            page->loadResource(QTextDocument::ImageResource, QUrl::fromLocalFile(kHelpFile)).value<QImage>().isNull());

        // Links (relative, anchors, into the help file), Back, Home and the contents tree.
        emit page->anchorClicked(QUrl(QStringLiteral("../messages.htm")));
        emit page->anchorClicked(QUrl(QStringLiteral("#sounds")));
        QCOMPARE(page->source().path() + '#' + page->source().fragment(), QStringLiteral("/messages.htm#sounds"));
        emit page->anchorClicked(QUrl(QStringLiteral("ms-its:Glimora_Help.chm::/calibration.htm")));
        emit page->anchorClicked(QUrl(QStringLiteral("nowhere.htm")));
        QCOMPARE(page->source().path(), QStringLiteral("/calibration.htm"));
        viewer->findChild<QToolButton*>(QStringLiteral("cmdBack"))->click();
        QCOMPARE(page->source().path(), QStringLiteral("/messages.htm"));
        viewer->findChild<QToolButton*>(QStringLiteral("cmdHome"))->click();
        QCOMPARE(page->source().path(), QStringLiteral("/welcome.htm"));
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->text(0) == QLatin1String("Printing a Report")) tree->setCurrentItem(*it);
        QCOMPARE(page->source().path(), QStringLiteral("/printing.htm"));

        QVERIFY(viewer->screen()->availableGeometry().contains(viewer->frameGeometry()));
        viewer->move(0, 20);
        QVERIFY(QTest::qWaitForWindowActive(viewer));
        QTest::keyClick(viewer, Qt::Key_Escape);
        QTRY_VERIFY(Viewers(owner).isEmpty());
        help.ShowHelpContext(4);
        QCOMPARE(Viewers(owner).size(), 1);
        QCOMPARE(Viewers(owner).first()->pos(), QPoint(0, 20));
    }

    // The About box shows the program's version as plain numbers.
    void aboutBoxShowsTheVersion()
    {
        const QString saved = QCoreApplication::applicationVersion();
        QCoreApplication::setApplicationVersion(QStringLiteral("02.01.015"));
        dlgAboutGlimora about;
        QCoreApplication::setApplicationVersion(saved);
        QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 2.1.15"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About Glimora"));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
