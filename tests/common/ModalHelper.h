#pragma once
// Answers modal dialogs in tests: each queued action runs on the next modal widget that
// appears (QApplication::activeModalWidget(), polled every 10 ms), in queue order.
#include <QString>
#include <QWidget>
#include <functional>

namespace testing {

// Queues an action for the next modal dialog to appear. When expectedTitle is given the
// dialog's window title must equal it, or the test fails and the dialog is closed unanswered.
void WhenModal(std::function<void(QWidget*)> action, const QString& expectedTitle = QString());
// Queues the answer to a (non-native) file dialog: path typed as the file name and accepted,
// or the dialog cancelled when path is empty. Fails the test when the dialog is no QFileDialog.
void AnswerFileDialog(const QString& path, const QString& expectedTitle);
// Number of queued actions not yet run.
int PendingModals();
// Drops every queued action.
void ClearModals();
// For cleanup(): fails the test when a queued action found no dialog, and drops what is left.
void VerifyAllAnswered();
// Window titles of the dialogs answered so far, in order.
QStringList AnsweredTitles();

// Runs the event loop until cond() holds or timeoutMs passes; returns cond().
bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 5000);

// Finds a child by object name and clicks it (QAbstractButton). When there is none the test
// fails and parent is closed.
void Click(QWidget* parent, const QString& objectName);
// Clicks the named button once control is back in the event loop (for a dialog that has yet to
// return from the call that opened it); fails the test when there is none.
void ClickLater(QWidget* parent, const QString& objectName);
// Sets the text of a QLineEdit child found by object name, as typed (textEdited is emitted);
// fails the test when there is none.
void TypeInto(QWidget* parent, const QString& objectName, const QString& text);

}  // namespace testing
