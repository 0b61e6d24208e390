#include "settings/PasswordKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

#include "support/Sounds.h"

namespace {

// Removes every character outside the rule, keeping the cursor beside the same characters;
// pasted or dropped text thus passes the same rule as typed keys, with the same beep.
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
            support::Sounds().Beep();
            input = kept;
            pos = qBound(0, newPos, static_cast<int>(input.size()));
        }
        return Acceptable;
    }
};

// Keys that carry a character code the box must still receive: Backspace edits, Enter presses
// the default button and Tab moves the focus. Delete is an editing key with no character of its
// own, even where the keyboard layer reports one (127).
bool PassesAsControlKey(int key)
{
    return key == Qt::Key_Backspace || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab
        || key == Qt::Key_Backtab || key == Qt::Key_Delete;
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
        // Every key with a character code outside the rule is discarded, Esc (27) and blanks
        // included, so Esc does not close the prompt. Navigation keys carry no character code,
        // and shortcuts such as Ctrl+V pass: the validator cleans what they insert.
        const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        const QString text = key->text();
        if (!shortcut && !PassesAsControlKey(key->key()) && !text.isEmpty() && Clean(text).size() != text.size()) {
            support::Sounds().Beep();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
