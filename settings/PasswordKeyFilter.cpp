#include "settings/PasswordKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

#include "support/Sounds.h"

namespace {

// Removes every character outside the rule, keeping the cursor beside the same characters.
class PasswordValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        QString kept;
        kept.reserve(input.size());
        int newPos = pos;
        for (int i = 0; i < input.size(); ++i) {
            if (PasswordKeyFilter::IsPasswordCharacter(input.at(i))) kept.append(input.at(i));
            else if (i < pos) --newPos;
        }
        if (kept.size() != input.size()) {
            input = kept;
            pos = qBound(0, newPos, static_cast<int>(input.size()));
        }
        return Acceptable;
    }
};

// A key that would put a character into the box: printable text, not a control code.
bool TypesCharacters(const QString& text)
{
    if (text.isEmpty()) return false;
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return false;
    return true;
}

}  // namespace

bool PasswordKeyFilter::IsPasswordCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

QString PasswordKeyFilter::Clean(const QString& text)
{
    QString out;
    for (QChar c : text)
        if (IsPasswordCharacter(c)) out.append(c);
    return out;
}

void PasswordKeyFilter::Install(QLineEdit* edit)
{
    auto* filter = new PasswordKeyFilter(edit);
    edit->installEventFilter(filter);
    edit->setValidator(new PasswordValidator(edit));
}

bool PasswordKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Backspace, editing and navigation keys, Enter, Esc and shortcuts such as Ctrl+V carry
        // no printable text and pass; the validator cleans whatever a shortcut inserts.
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        if (!shortcut && key->key() != Qt::Key_Backspace && TypesCharacters(key->text())
            && Clean(key->text()).size() != key->text().size()) {
            support::Sounds().Beep();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
