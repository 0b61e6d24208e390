#include "printing/RichText.h"

#include <QTextDocument>
#include <algorithm>
#include <cmath>

// QtGui's own default resolution, the one QTextDocument uses for tab positions when it lays
// text out for any paint device (exported by QtGui for its sibling modules).
Q_GUI_EXPORT int qt_defaultDpiY();

namespace printing {

void SelectRange(QTextCursor& box, int start, int length)
{
    QTextDocument* doc = box.document();
    if (!doc) return;
    // The last position of a document is the one before its final paragraph mark.
    const int end = std::max(0, doc->characterCount() - 1);
    const int from = std::clamp(start, 0, end);
    const int to = length <= 0 ? from : static_cast<int>(std::min<int64_t>(int64_t(from) + length, end));
    box.setPosition(from);
    if (to != from) box.setPosition(to, QTextCursor::KeepAnchor);
}

double UnitsPerInch()
{
    const int dpi = qt_defaultDpiY();
    return dpi > 0 ? dpi : 96;
}

double TwipsToUnits(int32_t twips)
{
    return twips * UnitsPerInch() / 1440.0;
}

QColor ColorFromValue(int32_t value)
{
    const auto v = static_cast<uint32_t>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

}  // namespace printing
