// glimora-meter-emulator: a haze meter on a pseudo-terminal, for trying the serial meter control
// without an instrument. Prints the terminal's path as its first line, then answers the serial
// command set until it is stopped.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

#include "metercontrols/emulator/MeterEmulator.h"

namespace {

int g_stopPipe[2] = {-1, -1};

// SIGTERM, SIGINT, SIGHUP: leave the event loop, so that the terminal and its link are closed
// and the instrument's store is written as on a normal end.
void OnStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimora-meter-emulator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMORA_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A DOI/haze meter on a pseudo-terminal, answering the serial command set of Glimora's \"Serial\" meter\n"
        "control with the simulated instrument's optics. The first line of output is the terminal's path;\n"
        "set it as [MeterControl] Port. Standard input takes the operator's actions on the instrument:\n"
        "\"button\" (the measure button), \"power\", \"sample N\", \"battery N\" (percent)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Fixed random seed: every run gives the same readings."),
                                  QStringLiteral("n"));
    const QCommandLineOption serial(QStringLiteral("serial"),
                                    QStringLiteral("The instrument's serial number (at most 8 characters)."),
                                    QStringLiteral("text"));
    const QCommandLineOption store(
        QStringLiteral("store"),
        QStringLiteral("The instrument's own settings file (default: a fresh one for this run)."),
        QStringLiteral("file"));
    const QCommandLineOption instant(QStringLiteral("instant"),
                                     QStringLiteral("Readings, scans and calibrations finish at once."));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make this symbolic link to the terminal, and print it instead."),
                                  QStringLiteral("path"));
    const QCommandLineOption delay(QStringLiteral("delay-replies"),
                                   QStringLiteral("Fault: send every line this many milliseconds late."),
                                   QStringLiteral("ms"));
    const QCommandLineOption drop(QStringLiteral("drop-lines"), QStringLiteral("Fault: lose every Nth line sent."),
                                  QStringLiteral("n"));
    const QCommandLineOption garble(QStringLiteral("garble"),
                                    QStringLiteral("Fault: change one byte of every Nth line sent."),
                                    QStringLiteral("n"));
    const QCommandLineOption silent(QStringLiteral("silent-after"),
                                    QStringLiteral("Fault: go silent after N commands."), QStringLiteral("n"));
    const QCommandLineOption unplug(QStringLiteral("unplug-after"),
                                    QStringLiteral("Fault: close the terminal (pull the cable) after N commands."),
                                    QStringLiteral("n"));
    const QCommandLineOption replug(
        QStringLiteral("replug-after"),
        QStringLiteral(
            "With --unplug-after: open a terminal again this many milliseconds later (use --link for a path that stays)."),
        QStringLiteral("ms"));
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QStringLiteral(
            "Send at this many bits a second, as a serial line at that baud rate would (default: as fast as possible)."),
        QStringLiteral("rate"));
    const QCommandLineOption protocol(
        QStringLiteral("protocol"), QStringLiteral("Speak this version of the serial command set (1 or 2; default 2)."),
        QStringLiteral("version"));
    const QCommandLineOption unplugOn(
        QStringLiteral("unplug-on"),
        QStringLiteral("Fault: close the terminal (pull the cable) when this command word comes, e.g. FETC:SCAN."),
        QStringLiteral("word"));
    const QCommandLineOption refuse(
        QStringLiteral("refuse"), QStringLiteral("Fault: refuse this command word every time (ERR 3), e.g. MEAS:READ."),
        QStringLiteral("word"));
    const QCommandLineOption stray(QStringLiteral("unknown-events"),
                                   QStringLiteral("Fault: send an event line of an unknown kind after every reply."));
    parser.addOptions({seed, serial, store, instant, link, baud, protocol, delay, drop, garble, silent, unplug,
                       unplugOn, replug, refuse, stray});
    parser.process(app);

    bool allOk = true;
    const auto number = [&](const QCommandLineOption& option, int fallback) {
        if (!parser.isSet(option)) return fallback;
        bool ok = false;
        const int value = parser.value(option).toInt(&ok);
        if (!ok || value < 0) {
            std::fprintf(stderr, "glimora-meter-emulator: --%s needs a whole number >= 0\n",
                         qPrintable(option.names().first()));
            allOk = false;
        }
        return value;
    };
    EmulatorOptions options;
    options.seed = quint32(number(seed, 0));
    options.serialNumber = parser.value(serial);
    options.storePath = parser.value(store);
    options.instant = parser.isSet(instant);
    options.linkPath = parser.value(link);
    options.delayMs = number(delay, 0);
    options.dropEvery = number(drop, 0);
    options.garbleEvery = number(garble, 0);
    options.silentAfter = number(silent, 0);
    options.unplugAfter = number(unplug, 0);
    options.replugMs = number(replug, -1);
    options.strayEvents = parser.isSet(stray);
    options.baudRate = number(baud, 0);
    options.protocol = number(protocol, serialmeter::kProtocolVersion);
    options.unplugOn = parser.value(unplugOn).toUpper().toLatin1();
    options.refuse = parser.value(refuse).toUpper().toLatin1();
    if (options.protocol != 1 && options.protocol != serialmeter::kProtocolVersion) {
        std::fprintf(stderr, "glimora-meter-emulator: --protocol is 1 or %d\n", serialmeter::kProtocolVersion);
        allOk = false;
    }
    if (!allOk) return 2;

    MeterEmulator emulator(options);
    if (!emulator.Start()) {
        std::fprintf(stderr, "glimora-meter-emulator: %s\n", qPrintable(emulator.ErrorText()));
        return 1;
    }
    std::printf("%s\n", qPrintable(emulator.PortPath()));
    std::fflush(stdout);
    QObject::connect(&emulator, &MeterEmulator::Replugged, &app, [](const QString& path) {
        std::printf("%s\n", qPrintable(path));
        std::fflush(stdout);
    });

    QSocketNotifier* stop = nullptr;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_stopPipe) == 0) {
        stop = new QSocketNotifier(g_stopPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
    }

    QByteArray typed;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);  // no operator: the instrument keeps answering
            return;
        }
        typed.append(buffer, n);
        qsizetype end;
        while ((end = typed.indexOf('\n')) >= 0) {
            emulator.Act(typed.left(end));
            typed.remove(0, end + 1);
        }
    });
    return app.exec();
}
