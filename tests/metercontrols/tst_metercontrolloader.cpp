// The plug-in loader over a folder holding the real meter controls and files it must skip.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "metercontrols/MeterControlLoader.h"
#include "metercontrols/MeterControlPlugin.h"
#include "vantrel/VantrelCntl.h"

class TestMeterControlLoader : public QObject {
    Q_OBJECT

private slots:
    void skipsWhatItCannotUseAndBuildsByName()
    {
        QTemporaryDir dir;
        const auto put = [&](const QString& from, const QString& name) { QVERIFY(QFile::copy(from, dir.filePath(name))); };
        put(QStringLiteral(GLIMORA_METERCONTROLS "/simulated.so"), QStringLiteral("simulated.so"));
        put(QStringLiteral(GLIMORA_METERCONTROLS "/serial.so"), QStringLiteral("serial.so"));
        put(QStringLiteral(BROKEN_CREATE), QStringLiteral("failing.so"));
        put(QStringLiteral(OTHER_VERSION), QStringLiteral("other-version.so"));
        QFile garbage(dir.filePath(QStringLiteral("garbage.so")));
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("not a library") > 0);
        garbage.close();

        MeterControlLoader loader(dir.path());
        QCOMPARE(loader.Names(), (QStringList{"Broken", "Serial", "Simulated"}));
        const QStringList problems = loader.Problems();
        QCOMPARE(problems.size(), 2);   // one message for each file skipped, naming it
        QVERIFY(problems.at(0).contains(dir.filePath(QStringLiteral("garbage.so"))));
        QVERIFY(problems.at(1).contains(dir.filePath(QStringLiteral("other-version.so"))));
        QVERIFY(problems.at(1).contains(QStringLiteral("org.glimora.MeterControl/1")));
        QVERIFY(loader.Plugin(QStringLiteral("Serial"))->UsesSerialPort());
        QVERIFY(!loader.Plugin(QStringLiteral("Simulated"))->UsesSerialPort());

        // A control built from its settings: the serial one opens the port it is given.
        std::unique_ptr<VantrelCntl> serial(loader.Create(QStringLiteral("Serial"), {{"Port", "/nonexistent/ttyS9"}, {"BaudRate", "9600"}}, nullptr));
        QSignalSpy serialEvents(serial.get(), &VantrelCntl::MeterEvent);
        serial->SetConnected(true);
        QTRY_COMPARE(serialEvents.size(), 1);
        QVERIFY(!serial->Connected());

        // A plug-in whose control cannot be built, or a name nobody offers: the program goes on
        // without an instrument, and says why.
        for (const QString& name : {QStringLiteral("Broken"), QStringLiteral("Nonesuch")}) {
            QString problem;
            std::unique_ptr<VantrelCntl> none(loader.Create(name, {}, nullptr, &problem));
            QVERIFY(problem.contains(name));
            if (name == QLatin1String("Broken")) QVERIFY(problem.contains(dir.filePath(QStringLiteral("failing.so"))));
            QSignalSpy events(none.get(), &VantrelCntl::MeterEvent);
            none->SetConnected(true);
            QCOMPARE(none->ConnectState(), 0);
            QTRY_COMPARE(events.size(), 1);
            QCOMPARE(events.first().first().toInt(), 2);   // not found
            QVERIFY(!none->Connected());
            QVERIFY(!none->TakeReading());
        }
    }
};

QTEST_GUILESS_MAIN(TestMeterControlLoader)
#include "tst_metercontrolloader.moc"
