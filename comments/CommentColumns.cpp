#include "comments/CommentColumns.h"

#include "comments/dlgAdditionalComments.h"
#include "support/SettingsStore.h"

namespace comments {
QString HeaderSection()
{
    return QStringLiteral("UserComments");
}
QString HeaderKey(int column)
{
    return QStringLiteral("UserComment%1").arg(column);
}
}  // namespace comments

namespace {
bool InRange(int column)
{
    return column >= 1 && column <= CommentColumns::Columns;
}
}  // namespace

CommentColumns::CommentColumns(support::SettingsStore& store)
    : m_store(store)
{
    m_headers[1] = QStringLiteral("Comment");
    CountCommentHeaders();
}

QString CommentColumns::CommentHeader(int column) const
{
    return InRange(column) ? m_headers[column] : QString();
}

QString CommentColumns::CommentText(int column) const
{
    return InRange(column) ? m_texts[column] : QString();
}

void CommentColumns::SetCommentText(int column, const QString& text)
{
    if (InRange(column)) m_texts[column] = text;
}

int16_t CommentColumns::CountOf(const std::array<QString, Columns + 1>& texts)
{
    for (int k = Columns; k >= 2; --k)
        if (!texts[k].isEmpty()) return static_cast<int16_t>(k);
    return texts[1].isEmpty() ? 0 : 1;
}

void CommentColumns::CountCommentTexts()
{
    CommentTextCount = CountOf(m_texts);
}

void CommentColumns::CountCommentHeaders()
{
    CommentHeaderCount = CountOf(m_headers);
}

void CommentColumns::ClearCommentTexts()
{
    for (QString& t : m_texts) t.clear();
    CommentTextCount = 1;
}

void CommentColumns::LoadCommentHeaders()
{
    for (int k = 1; k <= Columns; ++k)
        m_headers[k] = m_store.GetSetting(comments::HeaderSection(), comments::HeaderKey(k),
                                          k == 1 ? QStringLiteral("Comment") : QString());
    CountCommentHeaders();
}

QStringList CommentColumns::HeadersInUse() const
{
    QStringList list;
    for (int k = 1; k <= qBound<int>(0, CommentHeaderCount, Columns); ++k) list.append(m_headers[k]);
    return list;
}

QStringList CommentColumns::TextsInUse() const
{
    QStringList list;
    for (int k = 1; k <= qBound<int>(0, CommentTextCount, Columns); ++k) list.append(m_texts[k]);
    return list;
}

void CommentColumns::CommentBtnCommand(QWidget* parent)
{
    dlgAdditionalComments dialog(parent);
    for (int k = 2; k <= Columns; ++k) dialog.CColText(k) = m_texts[k];
    for (int k = 1; k <= Columns; ++k) dialog.CHdrText(k) = m_headers[k];
    dialog.exec();

    if (dialog.UseTheData) {
        for (int k = 2; k <= Columns; ++k) m_texts[k] = dialog.CColText(k);
        CountCommentTexts();
    }
    if (dialog.HeadersChanged) {
        for (int k = 1; k <= Columns; ++k) {
            m_headers[k] = dialog.CHdrText(k);
            m_store.SaveSetting(comments::HeaderSection(), comments::HeaderKey(k), m_headers[k]);
        }
        m_store.Sync();
        CountCommentHeaders();
    }
}
