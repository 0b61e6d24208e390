#include "comments/SingleLine.h"

#include <QLineEdit>
#include <QString>

namespace comments {

QString WithoutLineBreaks(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) ++i;
            out.append(QLatin1Char(' '));
        } else if (c == QLatin1Char('\n') || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x0B)
                   || c == QChar(0x0C) || c == QChar(0x85)) {
            out.append(QLatin1Char(' '));
        } else {
            out.append(c);
        }
    }
    return out;
}

void KeepSingleLine(QLineEdit* box)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
        const QString clean = WithoutLineBreaks(text);
        if (clean == text) return;
        const int cursor = box->cursorPosition();
        box->setText(clean);
        box->setCursorPosition(qMin(cursor, int(clean.size())));
    });
}

}  // namespace comments
