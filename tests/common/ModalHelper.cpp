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
QTimer* g_timer = nullptr;

void Poll()
{
    if (g_queue.isEmpty()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || g_answered.contains(modal)) return;
    Pending next = g_queue.dequeue();
    g_answered.append(modal);
    g_titles.append(modal->windowTitle());
    if (!next.title.isNull() && modal->windowTitle() != next.title) {
        // The wrong dialog: fail the test and close it unanswered, so that nothing waits on it.
        const QByteArray message = "modal dialog titled '" + modal->windowTitle().toUtf8() + "', expected '" + next.title.toUtf8() + "'";
        QTest::qFail(message.constData(), __FILE__, __LINE__);
        modal->close();
        return;
    }
    next.action(modal);
}

void EnsureTimer()
{
    if (g_timer) return;
    g_timer = new QTimer(qApp);
    g_timer->setInterval(10);
    QObject::connect(g_timer, &QTimer::timeout, Poll);
    g_timer->start();
}
}  // namespace

void WhenModal(std::function<void(QWidget*)> action, const QString& expectedTitle)
{
    EnsureTimer();
    g_queue.enqueue({std::move(action), expectedTitle});
}

void AnswerFileDialog(const QString& path, const QString& expectedTitle)
{
    WhenModal(
        [path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
            if (!name) {
                QTest::qFail("no file dialog with a file name box", __FILE__, __LINE__);
                w->close();
                return;
            }
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
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
    if (!button) {
        QTest::qFail(QByteArray("no button named " + objectName.toUtf8()).constData(), __FILE__, __LINE__);
        parent->close();
        return;
    }
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
