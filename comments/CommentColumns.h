#pragma once
// The seven comment columns written with every reading: their header texts (kept in the
// settings store, section "UserComments") and their comment texts (kept for the run only).
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

class QWidget;
namespace support {
class SettingsStore;
}

class CommentColumns {
public:
    static constexpr int Columns = 7;

    // The header texts are loaded from and saved to `store`.
    explicit CommentColumns(support::SettingsStore& store);

    // Columns are numbered 1 to 7; a number outside that range reads as empty text and is
    // ignored when written.
    QString CommentHeader(int column) const;
    QString CommentText(int column) const;
    void SetCommentText(int column, const QString& text);

    // The position of the last non-empty header / comment text, 0 when all seven are empty.
    // Kept up to date by the Count routines only, as the columns written follow them.
    int16_t CommentHeaderCount = 0;
    int16_t CommentTextCount = 1;

    // Reads the seven header texts ("UserComment1" defaults to "Comment", the others to empty
    // text), then CountCommentHeaders().
    void LoadCommentHeaders();
    // Empties the seven comment texts and sets CommentTextCount to 1.
    void ClearCommentTexts();
    void CountCommentTexts();
    void CountCommentHeaders();

    // Header texts 1 to CommentHeaderCount, and comment texts 1 to CommentTextCount.
    QStringList HeadersInUse() const;
    QStringList TextsInUse() const;

    // The "User Comments:" command: edits comment texts 2 to 7 and, through the header dialog,
    // the seven header texts, which are saved to the settings store when they were changed.
    void CommentBtnCommand(QWidget* parent);

    // The count rule shared by texts and headers: positions 7 down to 2, the first non-empty
    // text gives the count; otherwise 1 when text 1 is non-empty, else 0.
    static int16_t CountOf(const std::array<QString, Columns + 1>& texts);

private:
    support::SettingsStore& m_store;
    std::array<QString, Columns + 1> m_headers;  // element 0 unused
    std::array<QString, Columns + 1> m_texts;  // element 0 unused
};

namespace comments {
// The settings section and key of a column header.
QString HeaderSection();
QString HeaderKey(int column);
}  // namespace comments
