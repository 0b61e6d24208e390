// The serial command set: framing, the parser of the meter's lines and of the host's commands.
#include <QTest>

#include "metercontrols/serial/SerialProtocol.h"

using namespace serialmeter;

class TestSerialProtocol : public QObject {
    Q_OBJECT

private slots:
    // A line carries the CRC-16/CCITT of its text as four hex digits; the check finds a changed
    // byte, two characters swapped (the old XOR let them through), a lost end, a line glued to
    // the next, and a line of the old frame.
    void framing_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<bool>("taken");
        QTest::newRow("as sent") << QByteArray("1,0,2#5FF0\n") << true;
        QTest::newRow("carriage return") << QByteArray("1,0,2#5FF0\r\n") << true;
        QTest::newRow("characters swapped") << QByteArray("0,1,2#5FF0\n") << false;
        QTest::newRow("byte changed") << QByteArray("3,0,2#5FF0\n") << false;
        QTest::newRow("two lines glued") << QByteArray("1,0,OK#5FF0\n") << false;
        QTest::newRow("lower-case digits") << QByteArray("1,0,2#5ff0\n") << false;
        QTest::newRow("old XOR frame") << QByteArray("1,0,2#33\n") << false;
        QTest::newRow("no check digits") << QByteArray("1,0,2\n") << false;
        QTest::newRow("empty") << QByteArray("\n") << false;
    }
    void framing()
    {
        QFETCH(QByteArray, received);
        QFETCH(bool, taken);
        QCOMPARE(Unframe(received).has_value(), taken);
        if (taken) QCOMPARE(*Unframe(received), QByteArray("1,0,2"));
        QCOMPARE(Frame("1,0,2"), QByteArray("1,0,2#5FF0\n"));
        // The catalogue's check value of CRC-16/CCITT-FALSE; the old frame for a version 1 meter.
        QCOMPARE(Crc16("123456789"), quint16(0x29B1));
        QCOMPARE(*Unframe("1,0,2#33\n", 1), QByteArray("1,0,2"));
    }

    // What the host makes of each line the meter may send; kind -1: not a line it can use.
    void meterLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("extra");  // Error: its number; Event: its meter event code
        QTest::newRow("ok") << QByteArray("MEAS:READ OK") << int(MeterLine::Ok) << QStringList() << 0;
        QTest::newRow("values") << QByteArray("STAT? 1,0,2") << int(MeterLine::Values) << QStringList{"1", "0", "2"}
                                << 0;
        QTest::newRow("quoted with comma and quote")
            << QByteArray(R"(CAL:STD? "Black, ""Glass""",)") << int(MeterLine::Values)
            << QStringList{R"(Black, "Glass")", ""} << 0;
        QTest::newRow("error") << QByteArray(R"(MEAS:READ ERR 3,"busy")") << int(MeterLine::Error)
                               << QStringList{"busy"} << 3;
        QTest::newRow("busy event") << QByteArray("!BUSY 7,1,1,2") << int(MeterLine::Event)
                                    << QStringList{"7", "1", "1", "2"} << 9;
        QTest::newRow("scan event") << QByteArray("!SCAN 8,3,1,2") << int(MeterLine::Event)
                                    << QStringList{"8", "3", "1", "2"} << 21;
        QTest::newRow("warning without fields") << QByteArray("!WARN") << int(MeterLine::Event) << QStringList() << 6;
        QTest::newRow("unknown event") << QByteArray("!SNEEZE 1,0,2") << -1 << QStringList() << 0;
        QTest::newRow("unterminated text") << QByteArray("STAT? \"abc") << -1 << QStringList() << 0;
        QTest::newRow("text glued to a value") << QByteArray(R"(STAT? "a"b)") << -1 << QStringList() << 0;
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
        if (kind == MeterLine::Values)
            QCOMPARE(*SplitFields(Quote(fields.first())), QStringList{fields.first()});  // what the host quotes
    }

    // Typed fields take exactly a number, a UTC time stamp, or (for a time stamp) nothing; a time
    // stamp reads back as the same instant.
    void typedFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("whole");
        QTest::addColumn<bool>("real");
        QTest::addColumn<bool>("stamp");
        QTest::newRow("negative") << "-3" << true << true << false;
        QTest::newRow("exponent") << "1e-05" << false << true << false;
        QTest::newRow("not finite") << "inf" << false << false << false;
        QTest::newRow("empty") << "" << false << false << true;
        QTest::newRow("time stamp") << "2024-01-15T09:30:00.000Z" << false << false << true;
        QTest::newRow("no offset") << "2024-01-15T09:30:00.000" << false << false << false;
        QTest::newRow("bad date") << "2024-13-15T09:30:00.000Z" << false << false << false;
    }
    void typedFields()
    {
        QFETCH(QString, field);
        QTEST(WholeField(field).has_value(), "whole");
        QTEST(RealField(field).has_value(), "real");
        QTEST(StampField(field).has_value(), "stamp");
        if (const auto when = StampField(field)) QCOMPARE(Stamp(*when), field.toLatin1());
    }
};

QTEST_GUILESS_MAIN(TestSerialProtocol)
#include "tst_serialprotocol.moc"
