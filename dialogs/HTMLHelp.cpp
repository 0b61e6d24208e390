#include "dialogs/HTMLHelp.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

#include "dialogs/ChmFile.h"
#include "dialogs/HelpViewer.h"

namespace HTMLHelp {

namespace {

QPointer<QWidget> g_owner;
QString g_helpFile;

// Opens the registered file, lets pickTopic choose the page, and shows it in the owner's help
// window, creating the window when there is none. Nothing is touched unless every step works.
void Show(const std::function<QString(const ChmFile&)>& pickTopic)
{
    if (!g_owner || g_helpFile.isEmpty()) return;
    auto file = std::make_unique<ChmFile>();
    if (!file->Open(g_helpFile)) return;
    const QString topic = pickTopic(*file);
    const QString page = topic.section(QLatin1Char('#'), 0, 0);
    const QString canonical = file->CanonicalPath(page);
    if (canonical.isEmpty() || canonical.endsWith(QLatin1Char('/'))) return;

    HelpViewer* viewer = g_owner->findChild<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
    if (!viewer) viewer = new HelpViewer(g_owner);
    viewer->SetFile(std::move(file));
    viewer->ShowTopic(topic);
    if (viewer->isMinimized())
        viewer->showNormal();
    else
        viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace

QString HelpFilePath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/Glimora_Help.chm");
}

void SetHelpFile(QWidget* owner, const QString& programFolder)
{
    g_owner = owner;
    g_helpFile = HelpFilePath(programFolder);
}

QString HelpFile()
{
    return g_helpFile;
}

void ShowHelpContents()
{
    Show([](const ChmFile& file) {
        const QString topic = file.DefaultTopic();
        if (!topic.isEmpty()) return topic;
        for (const ContentsEntry& entry : ParseSitemap(file.Read(file.ContentsPath())))
            if (file.Contains(entry.local.section(QLatin1Char('#'), 0, 0))) return entry.local;
        return QString();
    });
}

void ShowHelpTopic(const QString& topicPath)
{
    Show([&topicPath](const ChmFile&) { return topicPath; });
}

void ShowHelpContext(int32_t context)
{
    Show([context](const ChmFile& file) { return file.ResolveContext(context); });
}

}  // namespace HTMLHelp
