// Number formats and parsing, and the settings store: what every library reads and writes with.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <string>

#include "support/Numbers.h"
#include "support/SettingsStore.h"

using namespace support;

namespace {
// Numbers are read and written the same whatever the C library's locale: the tables run under
// one with a decimal comma.
struct CommaLocale {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const bool set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    ~CommaLocale() { std::setlocale(LC_NUMERIC, before.c_str()); }
};
}  // namespace

class TestSupport : public QObject {
    Q_OBJECT
private slots:
    void formatsValuesWithHalvesAwayFromZero_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("digits");
        QTest::addColumn<QString>("text");
        QTest::newRow("85.346/0") << 85.346 << 0 << "85.";
        QTest::newRow("85.346/2") << 85.346 << 2 << "85.35";
        QTest::newRow("12.5/0") << 12.5 << 0 << "13.";
        QTest::newRow("2.675/2 as typed") << 2.675 << 2 << "2.68";
        QTest::newRow("1.005/2 as typed") << 1.005 << 2 << "1.01";
        QTest::newRow("-2.5/0") << -2.5 << 0 << "-3.";
        QTest::newRow("-0.001/2 no minus zero") << -0.001 << 2 << "0.00";
        QTest::newRow("99.995/2 carries") << 99.995 << 2 << "100.00";
        QTest::newRow("1234567.891/1 no separator") << 1234567.891 << 1 << "1234567.9";
        QTest::newRow("0.0005/3") << 0.0005 << 3 << "0.001";
        QTest::newRow("0/2") << 0.0 << 2 << "0.00";
    }
    void formatsValuesWithHalvesAwayFromZero()
    {
        QFETCH(double, value);
        QFETCH(int, digits);
        QFETCH(QString, text);
        const CommaLocale comma;
        QVERIFY2(comma.set, "the de_DE.UTF-8 locale is missing: run scripts/setup.sh");
        QCOMPARE(FormatValue(value, digits), text);
    }

    void readsNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("leading");
        QTest::addColumn<double>("stored");
        QTest::addColumn<double>("even");  // the leading number rounded half to even
        QTest::newRow("blanks and trailing text") << "  139.6abc" << 139.6 << 0.0 << 140.0;
        QTest::newRow("plus and bare fraction") << "+.5" << 0.5 << 0.5 << 0.0;
        QTest::newRow("half down to even") << "2.5" << 2.5 << 2.5 << 2.0;
        QTest::newRow("half up to even") << "3.5" << 3.5 << 3.5 << 4.0;
        QTest::newRow("negative half") << "-0.5" << -0.5 << -0.5 << -0.0;
        QTest::newRow("exponent") << "1e3x" << 1000.0 << 0.0 << 1000.0;
        QTest::newRow("exponent without digits") << "1e" << 1.0 << 0.0 << 1.0;
        QTest::newRow("overflowing exponent") << "1e999999" << 1.0 << 0.0 << 1.0;
        QTest::newRow("text") << "abc" << 0.0 << 0.0 << 0.0;
        QTest::newRow("empty") << "" << 0.0 << 0.0 << 0.0;
        QTest::newRow("two signs") << "+-3" << 0.0 << 0.0 << 0.0;
        QTest::newRow("blanks around") << " 20.01 " << 20.01 << 20.01 << 20.0;
        QTest::newRow("decimal comma is not a point") << "20,01" << 20.0 << 0.0 << 20.0;
        QTest::newRow("seventeen digits") << "0.30000000000000004" << 0.30000000000000004 << 0.30000000000000004 << 0.0;
        QTest::newRow("large") << "1234567.891" << 1234567.891 << 1234567.891 << 1234568.0;
    }
    // Besides each row: blanks before and text after never change the number, a number written
    // with all its digits reads back exactly, and a formatted value reads back within its rounding.
    void readsNumbers()
    {
        QFETCH(QString, text);
        QFETCH(double, leading);
        QFETCH(double, stored);
        QFETCH(double, even);
        const CommaLocale comma;
        QVERIFY2(comma.set, "the de_DE.UTF-8 locale is missing: run scripts/setup.sh");
        QCOMPARE(LeadingNumber(text), leading);
        QCOMPARE(StoredNumber(text), stored);
        QCOMPARE(RoundHalfEven(leading), even);
        QCOMPARE(LeadingNumber(QStringLiteral(" \t ") + text + QStringLiteral("x9")), leading);
        QCOMPARE(LeadingNumber(QString::number(leading, 'g', 17)), leading);
        QVERIFY(qAbs(LeadingNumber(FormatValue(leading, 3)) - leading) <= 0.0005 + 1e-12 * qAbs(leading));
    }

    // Values come back as written, separators and quotes included, from a file only its owner reads.
    void settingsStoreKeepsValuesForItsOwnerAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cfg/Glimora.ini"));
        const QString odd = QStringLiteral("a=b;\"c\" d, /tmp/x.csv");
        {
            SettingsStore store(path);
            store.SaveSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile1"), odd);
            QVERIFY(store.Sync());
            QVERIFY(!store.Dirty());
        }
        QCOMPARE(QFile(path).permissions() & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::Permissions());
        SettingsStore again(path);
        QCOMPARE(again.GetSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile1")), odd);
        QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Missing"), QStringLiteral("d")), QStringLiteral("d"));
    }

    void settingsStoreReadsWhatItCanOfADamagedFile_data()
    {
        const QByteArray good = "[Preferences]\nDigits=3\nPassword=abc\n[Tabs]\nTabCount=2\nTab1=100\n";
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QStringList>("kept");  // section/key=value
        const QStringList all = {"Preferences/Digits=3", "Preferences/Password=abc", "Tabs/TabCount=2", "Tabs/Tab1=100"};
        QTest::newRow("section line without its bracket at the end") << good + "[Tabs\n" << true << all;
        QTest::newRow("keys under a broken section line")
            << QByteArray("[Preferences]\nDigits=3\n[HeaderFont\nFontSize=12\n[Tabs]\nTab1=100\n") << true
            << QStringList{"Preferences/Digits=3", "HeaderFont/FontSize=", "Tabs/Tab1=100"};
        QTest::newRow("line without a value between good ones")
            << QByteArray("[Preferences]\nDigits=3\nthis line is damaged\nPassword=abc\n") << true
            << QStringList{"Preferences/Digits=3", "Preferences/Password=abc"};
        QTest::newRow("binary") << good + QByteArray("\0\x01\x02", 3) << false << QStringList{"Preferences/Digits="};
        QTest::newRow("not UTF-8 text") << good + "Tab2=\xff\xfe\n" << false << QStringList{"Tabs/TabCount="};
    }
    // Every well-formed key keeps its value; the operator learns of the damage with the file's path;
    // a damaged file is kept aside before it is replaced, one that could not be read is never replaced.
    void settingsStoreReadsWhatItCanOfADamagedFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, readable);
        QFETCH(QStringList, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Glimora.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        f.close();

        SettingsStore store(path);
        for (const QString& entry : kept) {
            const QString section = entry.section(QLatin1Char('/'), 0, 0);
            const QString key = entry.section(QLatin1Char('/'), 1).section(QLatin1Char('='), 0, 0);
            QCOMPARE(section + QLatin1Char('/') + key + QLatin1Char('=') + store.GetSetting(section, key), entry);
        }
        QVERIFY2(store.Problem().contains(path), qPrintable(store.Problem()));

        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("SoundOn"), QStringLiteral("False"));
        QCOMPARE(store.Sync(), readable);
        const auto bytes = [](const QString& p) { QFile in(p); return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray(); };
        if (!readable) {
            QCOMPARE(bytes(path), content);
            return;
        }
        QCOMPARE(bytes(path + QStringLiteral(".damaged")), content);
        QVERIFY(SettingsStore(path).Problem().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSupport)
#include "tst_support.moc"
