#include "help/HTMLHelp.h"

#include <QWidget>
#include <memory>

#include "dialogs/WindowRules.h"
#include "help/ChmFile.h"
#include "help/HelpContents.h"
#include "help/HelpViewer.h"

HTMLHelp::HTMLHelp(QWidget* owner, const QString& programFolder, support::SettingsStore* store)
    : m_owner(owner)
    , m_helpFile(HelpFilePath(programFolder))
    , m_store(store)
{}

QString HTMLHelp::HelpFilePath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/Glimora_Help.chm");
}

void HTMLHelp::SetHelpFile(const QString& programFolder)
{
    m_helpFile = HelpFilePath(programFolder);
}

// Opens the file, lets pickTopic choose the page, and shows it in the owner's help window,
// creating the window when there is none. Nothing is touched unless every step works.
void HTMLHelp::Show(const std::function<QString(const ChmFile&)>& pickTopic)
{
    if (!m_owner) return;
    auto file = std::make_unique<ChmFile>();
    if (!file->Open(m_helpFile)) return;
    const QString topic = pickTopic(*file);
    const QString canonical = file->CanonicalPath(topic.section(QLatin1Char('#'), 0, 0));
    if (canonical.isEmpty() || canonical.endsWith(QLatin1Char('/'))) return;

    HelpViewer* viewer = m_owner->findChild<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly);
    if (!viewer) {
        viewer = new HelpViewer(m_owner);
        if (m_store) KeepWindowPlace(viewer, *m_store, QStringLiteral("Help"));
    }
    viewer->SetFile(std::move(file));
    viewer->ShowTopic(topic);
    if (viewer->isMinimized()) viewer->showNormal();
    else viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

void HTMLHelp::ShowHelpContents()
{
    Show([](const ChmFile& file) {
        const QString topic = DefaultTopic(file);
        if (!topic.isEmpty()) return topic;
        for (const ContentsEntry& entry : ParseSitemap(file.Read(ContentsPath(file))))
            if (file.Contains(entry.local.section(QLatin1Char('#'), 0, 0))) return entry.local;
        return QString();
    });
}

void HTMLHelp::ShowHelpTopic(const QString& topicPath)
{
    Show([&topicPath](const ChmFile&) { return topicPath; });
}

void HTMLHelp::ShowHelpContext(int32_t context)
{
    Show([context](const ChmFile& file) { return ResolveContext(file, context); });
}
