#pragma once
// The password character rule: only the ASCII digits and letters (and Backspace) reach a password
// box. Typed keys outside the rule, Esc included, are swallowed with the standard beep; pasted and
// input-method text is cleaned of every other character, with the same beep.
#include <QObject>
#include <QString>

class QLineEdit;

class PasswordKeyFilter : public QObject {
    Q_OBJECT
public:
    // Installs the key filter and the cleaning validator on the box; both are owned by it.
    static void Install(QLineEdit* edit);

    // True for '0'..'9', 'A'..'Z' and 'a'..'z'.
    static bool IsPasswordCharacter(QChar c);
    // The text without any character outside the rule.
    static QString Clean(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};
