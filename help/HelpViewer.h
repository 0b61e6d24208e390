#pragma once
// The help window: the table of contents of a compiled help file on the left, the page on the
// right, with Back, Forward and Home. It is a top-level window owned by the main window; it
// reads everything (pages, pictures, style sheets) from the help file and nothing from anywhere
// else.
#include <QHash>
#include <QList>
#include <QString>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>
#include <memory>

#include "help/ChmFile.h"

class QTreeWidget;
class QTreeWidgetItem;
class QToolButton;

// The page view. Links, pictures and style sheets are fetched from the help file; any other
// address yields nothing.
class HelpPage : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpPage(QWidget* parent = nullptr);
    void SetFile(const ChmFile* file) { m_file = file; }
    QVariant loadResource(int type, const QUrl& name) override;

private:
    const ChmFile* m_file = nullptr;
};

class HelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* owner);
    ~HelpViewer() override;

    // Shows this help file from now on; the contents are rebuilt.
    void SetFile(std::unique_ptr<ChmFile> file);
    const ChmFile* File() const { return m_file.get(); }

    // Shows a page of the help file ("KALDEX\Contact_KALDEX.htm", "/help_index.htm#letterA").
    // False, and nothing changes, when the file has no such page.
    bool ShowTopic(const QString& topic);
    // The first page: the file's default topic, else the first page of the contents.
    QString HomeTopic() const;

    // The address under which a page of the help file is shown.
    static QUrl TopicUrl(const QString& path, const QString& fragment = QString());

private:
    void BuildContents();
    void SelectContentsFor(const QUrl& url);
    void OnAnchorClicked(const QUrl& url);
    void OnContentsItemChanged(QTreeWidgetItem* item);

    std::unique_ptr<ChmFile> m_file;
    QTreeWidget* tvContents = nullptr;
    HelpPage* txtPage = nullptr;
    QToolButton* cmdBack = nullptr;
    QToolButton* cmdForward = nullptr;
    QToolButton* cmdHome = nullptr;
    QHash<QString, QTreeWidgetItem*> m_itemForPage;  // case-folded page path -> first entry
    QString m_firstPage;
    bool m_syncing = false;
};
