// The plug-in loader over a folder holding the real meter controls and files it must skip.
#include <QFile>
#include <QFileInfo>
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
        for (const char* from : {GLIMORA_METERCONTROLS "/simulated.so", GLIMORA_METERCONTROLS "/serial.so", BROKEN_CREATE, OTHER_VERSION})
            QVERIFY(QFile::copy(QString::fromUtf8(from), dir.filePath(QFileInfo(QString::fromUtf8(from)).fileName())));
        QFile garbage(dir.filePath(QStringLiteral("garbage.so")));
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("not a library") > 0);
        garbage.close();

        // One message for each file skipped, naming it (and the interface it was built for).
        MeterControlLoader loader(dir.path());
        QCOMPARE(loader.Names(), (QStringList{"Broken", "Serial", "Simulated"}));
        const QStringList problems = loader.Problems();
        QCOMPARE(problems.size(), 2);
        QVERIFY(problems.at(0).contains(dir.filePath(QStringLiteral("garbage.so"))));
        QVERIFY(problems.at(1).contains(dir.filePath(QStringLiteral("libbroken_metercontrol_version.so"))) && problems.at(1).contains(QStringLiteral("org.glimora.MeterControl/1")));
        QVERIFY(loader.Plugin(QStringLiteral("Serial"))->UsesSerialPort() && !loader.Plugin(QStringLiteral("Simulated"))->UsesSerialPort());

        // A control built from its settings (the serial one opens the port it is given), or, when
        // the plug-in cannot build it or nobody offers the name, none: the program goes on without
        // an instrument, which is not found, and says why.
        for (const QString& name : {QStringLiteral("Serial"), QStringLiteral("Broken"), QStringLiteral("Nonesuch")}) {
            QString problem;
            std::unique_ptr<VantrelCntl> meter(loader.Create(name, {{"Port", "/nonexistent/ttyS9"}, {"BaudRate", "9600"}}, nullptr, &problem));
            QCOMPARE(problem.contains(name), name != QLatin1String("Serial"));
            if (name == QLatin1String("Broken")) QVERIFY(problem.contains(dir.filePath(QStringLiteral("libbroken_metercontrol_create.so"))));
            QSignalSpy events(meter.get(), &VantrelCntl::MeterEvent);
            meter->SetConnected(true);
            QTRY_COMPARE(events.size(), 1);
            QCOMPARE(events.first().first().toInt(), 2);   // not found
            QVERIFY(!meter->Connected() && !meter->TakeReading());
        }
    }
};

QTEST_GUILESS_MAIN(TestMeterControlLoader)
#include "tst_metercontrolloader.moc"
