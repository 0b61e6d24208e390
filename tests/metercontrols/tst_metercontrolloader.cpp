// The plug-in loader over a folder holding the real meter controls and files it must skip, and
// the metadata every plug-in describes itself with.
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
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
        QStringList files{GLIMORA_METERCONTROLS "/simulated.so", GLIMORA_METERCONTROLS "/serial.so"};
        for (const char* kind : {"create", "version", "nometadata", "load"})
            files << QStringLiteral(BROKEN_DIR "/libbroken_metercontrol_%1.so").arg(QLatin1String(kind));
        for (const QString& from : files) QVERIFY(QFile::copy(from, dir.filePath(QFileInfo(from).fileName())));
        QFile garbage(dir.filePath(QStringLiteral("garbage.so")));
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write("not a library") > 0);
        garbage.close();

        // The metadata is read without loading: the plug-in that cannot load is still offered,
        // and the port and settings come from the files themselves.
        MeterControlLoader loader(dir.path());
        QCOMPARE(loader.Names(), (QStringList{"Broken", "Unloadable", "Serial", "Simulated"}));
        QVERIFY(loader.Info(QStringLiteral("Serial"))->needsPort
                && !loader.Info(QStringLiteral("Simulated"))->needsPort);
        QCOMPARE(loader.Info(QStringLiteral("Serial"))->settings.value(0).defaultValue, QStringLiteral("115200"));
        loader.LoadAll();
        QCOMPARE(loader.Names(), (QStringList{"Broken", "Serial", "Simulated"}));

        // A control built from its settings (the serial one opens the port it is given), or, when
        // the plug-in cannot build it or nobody offers the name, none: the program goes on without
        // an instrument, which is not found, and says why.
        for (const QString& name : {QStringLiteral("Serial"), QStringLiteral("Broken"), QStringLiteral("Nonesuch")}) {
            QString problem;
            std::unique_ptr<VantrelCntl> meter(
                loader.Create(name, {{"Port", "/nonexistent/ttyS9"}}, nullptr, &problem));
            QCOMPARE(problem.contains(name), name != QLatin1String("Serial"));
            QSignalSpy events(meter.get(), &VantrelCntl::MeterEvent);
            meter->SetConnected(true);
            QTRY_COMPARE(events.size(), 1);
            QCOMPARE(events.first().first().toInt(), 2);  // not found
            QVERIFY(!meter->Connected() && !meter->TakeReading());
        }

        // Every file that could not be used, with its reason.
        const QList<QPair<QString, QString>> expected{
            {"garbage.so", "not a Qt plug-in"},
            {"libbroken_metercontrol_nometadata.so", "no metadata"},
            {"libbroken_metercontrol_version.so",
             QStringLiteral("built for version %1 of the meter control contract")
                 .arg(QString(MeterControlPlugin_iid).back().digitValue() - 1)},
            {"libbroken_metercontrol_load.so", "does not load"},
            {"libbroken_metercontrol_create.so", "could not be built: the instrument's driver is missing"}};
        QCOMPARE(loader.Problems().size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QCOMPARE(loader.Problems().at(i).file, dir.filePath(expected.at(i).first));
            QVERIFY2(loader.Problems().at(i).reason.contains(expected.at(i).second),
                     qPrintable(loader.Problems().at(i).reason));
        }
    }

    void readsTheMetadata_data()
    {
        QTest::addColumn<QString>("json");
        QTest::addColumn<QString>("problem");  // empty: taken
        const QString setting = QStringLiteral(R"({"Name": "M", "Settings": [%1]})");
        const auto row = [&](const char* name, const char* json, const char* problem) {
            QTest::newRow(name) << setting.arg(QLatin1String(json)) << QString::fromLatin1(problem);
        };
        row("every type",
            R"({"Key": "S", "Type": "text"}, {"Key": "N", "Type": "integer", "Default": 5, "Minimum": 5, "Maximum": 9, "Choices": [9]},
            {"Key": "C", "Type": "choice", "Choices": ["a", "b"], "Default": "b"}, {"Key": "B", "Type": "bool", "Default": true})",
            "");
        QTest::newRow("no name") << R"({"NeedsPort": true})"
                                 << "no Name";
        QTest::newRow("port not a switch") << R"({"Name": "M", "NeedsPort": "yes"})"
                                           << "NeedsPort must be true or false";
        row("key with a space", R"({"Key": "Baud Rate", "Type": "text"})", "no Key of letters and digits");
        row("the connection's own key", R"({"Key": "Port", "Type": "text"})",
            "setting Port: the key is the connection's own");
        row("unknown type", R"({"Key": "K", "Type": "float"})", "Type must be");
        row("default below range", R"({"Key": "K", "Type": "integer", "Default": 4, "Minimum": 5, "Maximum": 9})",
            "Default must be a whole number in range");
        row("range upside down", R"({"Key": "K", "Type": "integer", "Default": 5, "Minimum": 9, "Maximum": 5})",
            "in order");
        row("fraction offered",
            R"({"Key": "K", "Type": "integer", "Default": 5, "Minimum": 0, "Maximum": 9, "Choices": [2.5]})",
            "each of Choices");
        row("choice without choices", R"({"Key": "K", "Type": "choice"})", "a choice needs Choices");
        row("default not a choice", R"({"Key": "K", "Type": "choice", "Choices": ["a"], "Default": "z"})",
            "Default must be one of Choices");
        row("switch given as text", R"({"Key": "K", "Type": "bool", "Default": "true"})",
            "Default must be true or false");
        row("key twice", R"({"Key": "K", "Type": "text"}, {"Key": "K", "Type": "bool"})", "setting K is given twice");
    }
    void readsTheMetadata()
    {
        QFETCH(QString, json);
        QFETCH(QString, problem);
        QString why;
        const auto info = MeterControlInfo::FromJson(QJsonDocument::fromJson(json.toUtf8()).object(), &why);
        QVERIFY2(why.contains(problem) && (problem.isEmpty() ? why.isEmpty() && info : !info), qPrintable(why));
        if (!info) return;
        // What the plug-in is given: the defaults where nothing or a value out of range is stored.
        const QMap<QString, QString> given = info->WithDefaults({{"N", "10"}, {"C", "a"}, {"Other", "kept"}});
        QCOMPARE(given, (QMap<QString, QString>{{"S", ""}, {"N", "5"}, {"C", "a"}, {"B", "True"}, {"Other", "kept"}}));
    }
};

QTEST_GUILESS_MAIN(TestMeterControlLoader)
#include "tst_metercontrolloader.moc"
