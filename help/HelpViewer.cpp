#include "help/HelpViewer.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QKeySequence>
#include <QSplitter>
#include <QStringDecoder>
#include <QStyle>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "dialogs/WindowRules.h"
#include "help/HelpContents.h"
#include "resources/GlimoraIcon.h"

namespace {

const QString kScheme = QStringLiteral("chm");

}  // namespace

// ---------------------------------------------------------------------------------------------

HelpPage::HelpPage(QWidget* parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

QVariant HelpPage::loadResource(int type, const QUrl& name)
{
    // Anything that is not in the help file is answered with a placeholder, so that the document
    // does not look for it on the disk.
    const QVariant nothing = QVariant(QByteArray(1, '\0'));
    QUrl url = name;
    if (url.isRelative()) url = source().resolved(url);
    if (!m_file || url.scheme() != kScheme) return nothing;
    const QByteArray data = m_file->Read(url.path(QUrl::FullyDecoded));
    if (data.isEmpty()) return nothing;
    switch (type) {
    case QTextDocument::HtmlResource: {
        QStringDecoder decoder = QStringDecoder::decoderForHtml(data);
        return decoder.isValid() ? QString(decoder.decode(data)) : QString::fromLatin1(data);
    }
    case QTextDocument::ImageResource: {
        const QImage image = QImage::fromData(data);
        return image.isNull() ? nothing : QVariant(image);
    }
    case QTextDocument::StyleSheetResource: return QString::fromUtf8(data);
    default: return data;
    }
}

// ---------------------------------------------------------------------------------------------

HelpViewer::HelpViewer(QWidget* owner)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Glimora Help"));
    setWindowIcon(GlimoraIcon());
    resize(1000, 680);
    FitIntoScreen(this);
    CloseOnEscape(this);

    auto makeButton = [this](const QString& objectName, const QString& text, const QString& themeIcon,
                             QStyle::StandardPixmap icon, const QKeySequence& keys, const QString& tip) {
        auto* button = new QToolButton(this);
        button->setObjectName(objectName);
        button->setText(text);
        button->setIcon(QIcon::fromTheme(themeIcon, style()->standardIcon(icon)));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setToolTip(tip);
        button->setAccessibleName(text);
        if (!keys.isEmpty()) button->setShortcut(keys);
        return button;
    };
    cmdBack = makeButton(QStringLiteral("cmdBack"), QStringLiteral("Back"), QStringLiteral("go-previous"),
                         QStyle::SP_ArrowBack, QKeySequence(QKeySequence::Back),
                         QStringLiteral("Go back to the page seen before (Alt+Left)"));
    cmdForward = makeButton(QStringLiteral("cmdForward"), QStringLiteral("Forward"), QStringLiteral("go-next"),
                            QStyle::SP_ArrowForward, QKeySequence(QKeySequence::Forward),
                            QStringLiteral("Go forward again (Alt+Right)"));
    cmdHome = makeButton(QStringLiteral("cmdHome"), QStringLiteral("Home"), QStringLiteral("go-home"),
                         QStyle::SP_DirHomeIcon, QKeySequence(), QStringLiteral("Go to the first page of the help"));
    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);

    tvContents = new QTreeWidget(this);
    tvContents->setObjectName(QStringLiteral("tvContents"));
    tvContents->setAccessibleName(QStringLiteral("Help contents"));
    tvContents->setHeaderHidden(true);
    tvContents->setColumnCount(1);
    tvContents->setUniformRowHeights(true);
    tvContents->header()->setStretchLastSection(true);

    txtPage = new HelpPage(this);
    txtPage->setObjectName(QStringLiteral("txtPage"));
    txtPage->setAccessibleName(QStringLiteral("Help page"));
    txtPage->document()->setDocumentMargin(14);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitHelp"));
    splitter->addWidget(tvContents);
    splitter->addWidget(txtPage);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({290, 710});
    splitter->setChildrenCollapsible(false);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 2, 4, 2);
    buttons->setSpacing(2);
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdForward);
    buttons->addWidget(cmdHome);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    connect(cmdBack, &QToolButton::clicked, txtPage, &QTextBrowser::backward);
    connect(cmdForward, &QToolButton::clicked, txtPage, &QTextBrowser::forward);
    connect(cmdHome, &QToolButton::clicked, this, [this] { ShowTopic(HomeTopic()); });
    connect(txtPage, &QTextBrowser::backwardAvailable, cmdBack, &QToolButton::setEnabled);
    connect(txtPage, &QTextBrowser::forwardAvailable, cmdForward, &QToolButton::setEnabled);
    connect(txtPage, &QTextBrowser::anchorClicked, this, &HelpViewer::OnAnchorClicked);
    connect(txtPage, &QTextBrowser::sourceChanged, this, &HelpViewer::SelectContentsFor);
    connect(tvContents, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { OnContentsItemChanged(item); });
    connect(tvContents, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { OnContentsItemChanged(item); });
}

HelpViewer::~HelpViewer()
{
    // The page keeps a plain pointer to the file; it must not outlive it.
    txtPage->SetFile(nullptr);
}

QUrl HelpViewer::TopicUrl(const QString& path, const QString& fragment)
{
    QUrl url;
    url.setScheme(kScheme);
    url.setPath(path, QUrl::DecodedMode);
    if (!fragment.isEmpty()) url.setFragment(fragment, QUrl::DecodedMode);
    return url;
}

void HelpViewer::SetFile(std::unique_ptr<ChmFile> file)
{
    const bool samePath = m_file && file && m_file->FilePath() == file->FilePath();
    txtPage->SetFile(file.get());
    m_file = std::move(file);
    if (!samePath) txtPage->clearHistory();
    const QString title = m_file ? HelpTitle(*m_file) : QString();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Glimora Help") : title);
    BuildContents();
    if (txtPage->source().isValid()) txtPage->reload();
}

void HelpViewer::BuildContents()
{
    m_syncing = true;
    tvContents->clear();
    m_itemForPage.clear();
    m_firstPage.clear();
    const QList<ContentsEntry> entries =
        m_file ? ParseSitemap(m_file->Read(ContentsPath(*m_file))) : QList<ContentsEntry>();
    const QIcon bookIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon pageIcon = style()->standardIcon(QStyle::SP_FileIcon);
    QList<QTreeWidgetItem*> parents;  // the last item of each level
    for (const ContentsEntry& entry : entries) {
        const int level = qMin(entry.level, static_cast<int>(parents.size()));
        parents.resize(level);
        auto* item = level == 0 ? new QTreeWidgetItem(tvContents) : new QTreeWidgetItem(parents.last());
        item->setText(0, entry.name);
        item->setToolTip(0, entry.name);
        const QString page = entry.local.section(QLatin1Char('#'), 0, 0);
        const QString canonical = m_file->CanonicalPath(page);
        item->setData(0, Qt::UserRole, canonical.isEmpty() ? QString() : entry.local);
        item->setIcon(0, canonical.isEmpty() ? bookIcon : pageIcon);
        if (!canonical.isEmpty()) {
            const QString key = canonical.toCaseFolded();
            if (!m_itemForPage.contains(key)) m_itemForPage.insert(key, item);
            if (m_firstPage.isEmpty()) m_firstPage = canonical;
        }
        parents.append(item);
    }
    // A heading shows as a book when it has pages under it.
    for (QTreeWidgetItemIterator it(tvContents); *it; ++it)
        if ((*it)->childCount() > 0) (*it)->setIcon(0, bookIcon);
    tvContents->expandAll();
    m_syncing = false;
    SelectContentsFor(txtPage->source());
}

QString HelpViewer::HomeTopic() const
{
    if (!m_file) return QString();
    const QString topic = DefaultTopic(*m_file);
    return topic.isEmpty() ? m_firstPage : topic;
}

bool HelpViewer::ShowTopic(const QString& topic)
{
    if (!m_file || topic.isEmpty()) return false;
    const qsizetype hash = topic.indexOf(QLatin1Char('#'));
    const QString page = hash < 0 ? topic : topic.left(hash);
    const QString fragment = hash < 0 ? QString() : topic.mid(hash + 1);
    const QString canonical = m_file->CanonicalPath(page);
    if (canonical.isEmpty() || canonical.endsWith(QLatin1Char('/'))) return false;
    txtPage->setSource(TopicUrl(canonical, fragment));
    return true;
}

void HelpViewer::SelectContentsFor(const QUrl& url)
{
    if (!m_file || m_syncing) return;
    const QString canonical = m_file->CanonicalPath(url.path(QUrl::FullyDecoded));
    QTreeWidgetItem* item = m_itemForPage.value(canonical.toCaseFolded());
    QTreeWidgetItem* current = tvContents->currentItem();
    if (current
        && m_file->CanonicalPath(current->data(0, Qt::UserRole).toString().section(QLatin1Char('#'), 0, 0))
                .compare(canonical, Qt::CaseInsensitive)
            == 0)
        return;  // already on an entry of this page
    m_syncing = true;
    if (item) {
        tvContents->setCurrentItem(item);
        tvContents->scrollToItem(item);
    } else {
        tvContents->setCurrentItem(nullptr);
    }
    m_syncing = false;
}

void HelpViewer::OnContentsItemChanged(QTreeWidgetItem* item)
{
    if (m_syncing || !item) return;
    const QString local = item->data(0, Qt::UserRole).toString();
    if (local.isEmpty()) return;
    const QUrl wanted = TopicUrl(m_file ? m_file->CanonicalPath(local.section(QLatin1Char('#'), 0, 0)) : QString(),
                                 local.section(QLatin1Char('#'), 1));
    if (wanted == txtPage->source()) return;
    ShowTopic(local);
}

void HelpViewer::OnAnchorClicked(const QUrl& link)
{
    QUrl url = link.isRelative() ? txtPage->source().resolved(link) : link;
    const QString scheme = url.scheme().toLower();
    if (scheme == kScheme) {
        const QString fragment = url.fragment(QUrl::FullyDecoded);
        const QString path = url.path(QUrl::FullyDecoded);
        ShowTopic(fragment.isEmpty() ? path : path + QLatin1Char('#') + fragment);
        return;
    }
    // "ms-its:file.chm::/page.htm" and "mk:@MSITStore:file.chm::/page.htm" point into a help file.
    const QString text = QUrl::fromPercentEncoding(url.toString().toUtf8());
    const qsizetype inside = text.indexOf(QLatin1String("::"));
    if ((scheme == QLatin1String("ms-its") || scheme == QLatin1String("mk")) && inside >= 0) {
        ShowTopic(text.mid(inside + 2));
        return;
    }
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"))
        QDesktopServices::openUrl(url);
}
