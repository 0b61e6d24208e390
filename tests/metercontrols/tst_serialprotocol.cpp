// The serial command set: framing, the parser of the meter's lines and of the host's commands.
#include <QTest>

#include "metercontrols/serial/SerialProtocol.h"

using namespace serialmeter;

class TestSerialProtocol : public QObject {
    Q_OBJECT

private slots:
    // What the host makes of each line the meter may send; kind -1: not a line it can use.
    void meterLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("extra");   // Error: its number; Event: its meter event code
        QTest::newRow("ok") << QByteArray("MEAS:READ OK") << int(MeterLine::Ok) << QStringList() << 0;
        QTest::newRow("values") << QByteArray("STAT? 1,0,2") << int(MeterLine::Values) << QStringList{"1", "0", "2"} << 0;
        QTest::newRow("empty value") << QByteArray("SYST:SER? ") << int(MeterLine::Values) << QStringList{""} << 0;
        QTest::newRow("quoted with comma and quote")
            << QByteArray(R"(CAL:STD? "Black, ""Glass""",)") << int(MeterLine::Values) << QStringList{R"(Black, "Glass")", ""} << 0;
        QTest::newRow("empty fields") << QByteArray("STAT? ,,\"\"") << int(MeterLine::Values) << QStringList{"", "", ""} << 0;
        QTest::newRow("error") << QByteArray(R"(MEAS:READ ERR 3,"busy")") << int(MeterLine::Error) << QStringList{"busy"} << 3;
        QTest::newRow("error without text") << QByteArray("MEAS:READ ERR 3") << -1 << QStringList() << 0;
        QTest::newRow("error number zero") << QByteArray(R"(MEAS:READ ERR 0,"x")") << -1 << QStringList() << 0;
        QTest::newRow("no command word") << QByteArray("OK") << -1 << QStringList() << 0;
        QTest::newRow("unknown command word") << QByteArray("MEAS:FLY OK") << -1 << QStringList() << 0;
        QTest::newRow("busy event") << QByteArray("!BUSY 1,1,2") << int(MeterLine::Event) << QStringList{"1", "1", "2"} << 9;
        QTest::newRow("button event") << QByteArray("!BUTTON 1,1,2") << int(MeterLine::Event) << QStringList{"1", "1", "2"} << 9;
        QTest::newRow("scan event") << QByteArray("!SCAN 3,1,2") << int(MeterLine::Event) << QStringList{"3", "1", "2"} << 21;
        QTest::newRow("warning without fields") << QByteArray("!WARN") << int(MeterLine::Event) << QStringList() << 6;
        QTest::newRow("unknown event") << QByteArray("!SNEEZE 1,0,2") << -1 << QStringList() << 0;
        QTest::newRow("event word in lower case") << QByteArray("!busy 1,1,2") << -1 << QStringList() << 0;
        QTest::newRow("unterminated text") << QByteArray(R"(STAT? "abc)") << -1 << QStringList() << 0;
        QTest::newRow("text glued to a value") << QByteArray(R"(STAT? "a"b)") << -1 << QStringList() << 0;
        QTest::newRow("quote inside a value") << QByteArray(R"(STAT? a"b)") << -1 << QStringList() << 0;
    }
    void meterLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, kind);
        QFETCH(QStringList, fields);
        QFETCH(int, extra);
        const auto line = ParseMeterLine(text);
        QCOMPARE(line.has_value(), kind >= 0);
        if (!line) return;
        QCOMPARE(int(line->kind), kind);
        QCOMPARE(line->fields, fields);
        if (kind == MeterLine::Error) QCOMPARE(line->error, extra);
        if (kind == MeterLine::Event) QCOMPARE(WordOf(line->event).code, extra);
        if (kind != MeterLine::Event) QCOMPARE(CommandText(line->command, line->query), text.left(text.indexOf(' ')));
    }

    // The check digits find a changed byte, a lost end and a line glued to the next.
    void framing_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<bool>("taken");
        const QByteArray good = Frame("1,0,2");
        QTest::newRow("as sent") << good << true;
        QTest::newRow("carriage return") << QByteArray(good).insert(good.size() - 1, '\r') << true;
        QTest::newRow("byte changed") << QByteArray(good).replace(0, 1, "3") << false;
        QTest::newRow("half a line") << good.left(3) << false;
        QTest::newRow("two lines glued") << good.left(4) + Frame("OK") << false;
        QTest::newRow("no check digits") << QByteArray("1,0,2\n") << false;
        QTest::newRow("empty") << QByteArray("\n") << false;
    }
    void framing()
    {
        QFETCH(QByteArray, received);
        QFETCH(bool, taken);
        const auto text = Unframe(received);
        QCOMPARE(text.has_value(), taken);
        if (taken) QCOMPARE(*text, QByteArray("1,0,2"));
    }

    // The meter reads every word of the table in the form the host sends it, and refuses the
    // wrong form.
    void everyCommandReadsBack()
    {
        for (const CommandWord& w : Commands()) {
            const bool query = w.form != Form::Action;
            const QByteArray args = w.form == Form::Setting ? Quote(QStringLiteral("a \"b\", c")) : QByteArray("7");
            const auto line = ParseCommand(CommandText(w.command, query, args));
            QVERIFY2(line && line->command == w.command && line->query == query, w.word);
            if (w.form == Form::Setting) QCOMPARE(line->arguments, QStringList{QStringLiteral("a \"b\", c")});
            QVERIFY2(!ParseCommand(CommandText(w.command, !query)) || w.form == Form::Setting, w.word);
        }
        QVERIFY(!ParseCommand("MEAS:FLY"));
        QVERIFY(ParseCommand("meas:read"));   // words are read in any case
    }

    void typedFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<bool>("real");
        QTest::addColumn<bool>("stamp");
        QTest::newRow("integer") << "110" << true << true << false;
        QTest::newRow("negative") << "-3" << true << true << false;
        QTest::newRow("real") << "1.2345" << false << true << false;
        QTest::newRow("exponent") << "1e-05" << false << true << false;
        QTest::newRow("blank around") << " 1" << false << false << false;
        QTest::newRow("not finite") << "inf" << false << false << false;
        QTest::newRow("too long") << "12345678901234567890" << false << true << false;
        QTest::newRow("empty") << "" << false << false << true;
        QTest::newRow("time stamp") << "2024-01-15T09:30:00.000" << false << false << true;
        QTest::newRow("bad date") << "2024-13-15T09:30:00.000" << false << false << false;
    }
    void typedFields()
    {
        QFETCH(QString, field);
        QFETCH(bool, whole);
        QFETCH(bool, real);
        QFETCH(bool, stamp);
        QCOMPARE(WholeField(field).has_value(), whole);
        QCOMPARE(RealField(field).has_value(), real);
        QCOMPARE(StampField(field).has_value(), stamp);
    }

    void numbersAndStatusReadBackExactly()
    {
        for (double v : {0.1, 100.0 / 3, -2.25, 1e-300, 123456789.123})
            QCOMPARE(*RealField(QString::fromLatin1(Number(v))), v);
        const QDateTime when(QDate(2002, 7, 4), QTime(14, 5, 9, 120));
        QCOMPARE(*StampField(QString::fromLatin1(Stamp(when))), when);
        const Status s{3, true, 1};
        const auto back = ParseStatus(*SplitFields(StatusFields(s)));
        QVERIFY(back && back->state == 3 && back->busy && back->battery == 1);
        QVERIFY(!ParseStatus({"1", "2", "2"}));   // busy is 0 or 1
    }
};

QTEST_GUILESS_MAIN(TestSerialProtocol)
#include "tst_serialprotocol.moc"
