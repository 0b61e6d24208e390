#pragma once
// Comment and header boxes hold one line: a line break pasted into one becomes a blank, so a
// text taken from a box can never split a line of the data file.
class QLineEdit;
class QString;

namespace comments {
void KeepSingleLine(QLineEdit* box);
// The text with every line or paragraph break replaced by one blank (CR LF counts as one).
QString WithoutLineBreaks(const QString& text);
}  // namespace comments
