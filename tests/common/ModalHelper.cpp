#include "tests/common/ModalHelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QQueue>
#include <QTest>
#include <QTimer>

namespace testing {

namespace {
struct Pending {
    std::function<void(QWidget*)> action;
    QString title;
};
QQueue<Pending> g_queue;
QList<QPointer<QWidget>> g_answered;
QStringList g_titles;

// Fails the test and closes w unanswered, so that nothing waits on it.
void Fail(QWidget* w, const QByteArray& message)
{
    QTest::qFail(message.constData(), __FILE__, __LINE__);
    w->close();
}

void Poll()
{
    if (g_queue.isEmpty()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || g_answered.contains(modal)) return;
    Pending next = g_queue.dequeue();
    g_answered.append(modal);
    g_titles.append(modal->windowTitle());
    if (!next.title.isNull() && modal->windowTitle() != next.title)
        Fail(modal,
             "modal dialog titled '" + modal->windowTitle().toUtf8() + "', expected '" + next.title.toUtf8() + "'");
    else next.action(modal);
}
}  // namespace

void WhenModal(std::function<void(QWidget*)> action, const QString& expectedTitle)
{
    static QTimer* const poller = [] {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, Poll);
        timer->start(10);
        return timer;
    }();
    Q_UNUSED(poller);
    g_queue.enqueue({std::move(action), expectedTitle});
}

void AnswerFileDialog(const QString& path, const QString& expectedTitle)
{
    WhenModal(
        [path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!name) return Fail(w, "no file dialog with a file name box");
            if (path.isEmpty()) return dialog->reject();
            name->setText(path);
            static_cast<QDialog*>(dialog)->accept();  // QFileDialog's own accept() is protected
        },
        expectedTitle);
}

int PendingModals()
{
    return g_queue.size();
}

void ClearModals()
{
    g_queue.clear();
    g_titles.clear();
}

void VerifyAllAnswered()
{
    const int pending = PendingModals();
    ClearModals();
    if (pending > 0)
        QTest::qFail(qPrintable(QStringLiteral("%1 queued dialog answer(s) found no dialog").arg(pending)), __FILE__,
                     __LINE__);
}

void ClickLater(QWidget* parent, const QString& objectName)
{
    auto* button = parent->findChild<QAbstractButton*>(objectName);
    if (!button) return Fail(parent, "no button " + objectName.toUtf8());
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

QStringList AnsweredTitles()
{
    return g_titles;
}

bool PumpUntil(const std::function<bool()>& cond, int timeoutMs)
{
    return QTest::qWaitFor(cond, timeoutMs);
}

void Click(QWidget* parent, const QString& objectName)
{
    auto* button = parent->findChild<QAbstractButton*>(objectName);
    if (!button) return Fail(parent, "no button named " + objectName.toUtf8());
    button->click();
}

void TypeInto(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* edit = parent->findChild<QLineEdit*>(objectName);
    if (!edit) {
        QTest::qFail(QByteArray("no line edit named " + objectName.toUtf8()).constData(), __FILE__, __LINE__);
        return;
    }
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

}  // namespace testing
