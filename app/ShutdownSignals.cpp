#include "app/ShutdownSignals.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// [0] written by the handler, [1] read by the event loop.
int g_pipe[2] = {-1, -1};

extern "C" void OnShutdownSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a request; the byte is not needed then.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}
}  // namespace

ShutdownSignals::ShutdownSignals(QWidget& window, QObject* parent)
    : QObject(parent)
    , m_window(window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;  // the signals keep their default action
    }
    m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::ReadSignals);

    struct sigaction action {};
    action.sa_handler = OnShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals) ::sigaction(sig, &action, nullptr);

#if QT_CONFIG(sessionmanager)
    // The session manager asks for everything to be saved before a logout; the answer is the
    // same shutdown, done before the slot returns.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { CloseWindow(); });
#endif
}

ShutdownSignals::~ShutdownSignals()
{
    if (g_pipe[0] < 0) return;
    for (int sig : kSignals) ::signal(sig, SIG_DFL);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void ShutdownSignals::ReadSignals()
{
    char bytes[16];
    while (::read(g_pipe[1], bytes, sizeof bytes) > 0) {}
    CloseWindow();
}

void ShutdownSignals::CloseWindow()
{
    QWidget* open = QApplication::activePopupWidget();
    if (!open) open = QApplication::activeModalWidget();
    if (open) {
        open->close();
        // Once its own event loop has returned, the next one (or the window) follows.
        QTimer::singleShot(20, this, &ShutdownSignals::CloseWindow);
        return;
    }
    m_window.close();
}
