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
// one with a decimal comma (and formatting also under one whose decimal point is two bytes).
struct CommaLocale {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    const bool set;
    explicit CommaLocale(const char* name = "de_DE.UTF-8")
        : set(std::setlocale(LC_NUMERIC, name) != nullptr)
    {}
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
        for (const char* name : {"de_DE.UTF-8", "ps_AF.UTF-8"}) {
            const CommaLocale comma(name);
            QVERIFY2(comma.set, "a test locale is missing: run scripts/setup.sh");
            QCOMPARE(FormatValue(value, digits), text);
        }
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
        QTest::newRow("underflowing exponent") << "1e-999x" << 0.0 << 0.0 << 0.0;
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

    // Values come back as written, separators, quotes and blanks included, from a file only its
    // owner reads, whose section names stand as they are.
    void settingsStoreKeepsValuesForItsOwnerAlone()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cfg/Glimora.ini"));
        const QStringList odd = {"a=b;\"c\" d, /tmp/x.csv", " Pr\u00fcfer\t", "\"x\"", "\" x\"", "\"a\\\"\\\\\""};
        {
            SettingsStore store(path);
            for (int i = 0; i < odd.size(); ++i)
                store.SaveSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile%1").arg(i), odd[i]);
            QVERIFY(store.Sync());
        }
        QFile written(path);
        QVERIFY(written.open(QIODevice::ReadOnly) && written.readLine() == "[Recent Files]\n");
        QCOMPARE(
            QFile(path).permissions()
                & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser),
            QFileDevice::Permissions());
        SettingsStore again(path);
        for (int i = 0; i < odd.size(); ++i)
            QCOMPARE(again.GetSetting(QStringLiteral("Recent Files"), QStringLiteral("RecentFile%1").arg(i)), odd[i]);
        QCOMPARE(again.GetSetting(QStringLiteral("Preferences"), QStringLiteral("Missing"), QStringLiteral("d")),
                 QStringLiteral("d"));
    }

    void settingsStoreReadsWhatItCanOfADamagedFile_data()
    {
        const QByteArray good = "[Preferences]\nDigits=3\nPassword=abc\n[Tabs]\nTabCount=2\nTab1=100\n";
        QTest::addColumn<QByteArray>("content");  // "dir": a folder in the file's place
        QTest::addColumn<int>("state");  // 0 read whole, 1 damaged (kept aside when saved), 2 left alone
        QTest::addColumn<QStringList>("kept");  // section/key=value
        const QStringList all = {"Preferences/Digits=3", "Preferences/Password=abc", "Tabs/TabCount=2",
                                 "Tabs/Tab1=100"};
        QTest::newRow("section line without its bracket at the end") << good + "[Tabs\n" << 1 << all;
        QTest::newRow("keys under a broken section line")
            << QByteArray("[Preferences]\nDigits=3\n[HeaderFont\nFontSize=12\n[Tabs]\nTab1=100\n") << 1
            << QStringList{"Preferences/Digits=3", "HeaderFont/FontSize=", "Tabs/Tab1=100"};
        QTest::newRow("line without a value between good ones")
            << QByteArray("[Preferences]\nDigits=3\nthis line is damaged\nPassword=abc\n") << 1
            << QStringList{"Preferences/Digits=3", "Preferences/Password=abc"};
        QTest::newRow("binary") << good + QByteArray("\0\x01\x02", 3) << 1 << all;
        QTest::newRow("a line in Latin-1") << good
                + "[UserComments]\nUserComment1=Pr\xfc"
                  "fer\n" << 1 << all + QStringList{"UserComments/UserComment1=Pr\u00fcfer"};
        QTest::newRow("edited by hand, or by an earlier build")
            << QByteArray(
                   "[Recent%20Files]\r\nRecentFile1 = /d/a, b.csv \r\n[UserComments]\nUserComment3=Batch, Lot \"7\"\n"
                   "[Preferences]\nPassword=\";\\\"=,\"\n")
            << 0
            << QStringList{"Recent Files/RecentFile1=/d/a, b.csv", "UserComments/UserComment3=Batch, Lot \"7\"",
                           "Preferences/Password=;\"=,"};
        QTest::newRow("a folder in its place") << QByteArray("dir") << 2 << QStringList{"Preferences/Digits="};
    }
    // Every well-formed key keeps its value, before and after a save; the operator learns of the
    // damage with the file's path; a damaged file is kept aside before it is replaced, one that
    // could not be read is never replaced.
    void settingsStoreReadsWhatItCanOfADamagedFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, state);
        QFETCH(QStringList, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Glimora.ini"));
        QFile f(path);
        QVERIFY(content == "dir" ? QDir().mkpath(path)
                                 : f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
        f.close();
        const auto keptIn = [&kept](const SettingsStore& store) {
            QStringList values;
            for (const QString& entry : kept) {
                const QString section = entry.section(QLatin1Char('/'), 0, 0),
                              key = entry.section(QLatin1Char('/'), 1).section(QLatin1Char('='), 0, 0);
                values << section + QLatin1Char('/') + key + QLatin1Char('=') + store.GetSetting(section, key);
            }
            return values;
        };

        SettingsStore store(path);
        QCOMPARE(keptIn(store), kept);
        QVERIFY2(store.Problem().contains(path) == (state > 0), qPrintable(store.Problem()));
        store.SaveSetting(QStringLiteral("Preferences"), QStringLiteral("SoundOn"), QStringLiteral("False"));
        QCOMPARE(store.Sync(), state < 2);
        if (state == 2) return;
        QFile aside(path + QStringLiteral(".damaged"));
        QCOMPARE(aside.open(QIODevice::ReadOnly) ? aside.readAll() : QByteArray(), state == 1 ? content : QByteArray());
        QCOMPARE(keptIn(SettingsStore(path)), kept);
        QVERIFY(SettingsStore(path).Problem().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSupport)
#include "tst_support.moc"
