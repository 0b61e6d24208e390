// Preferences store, password protection, the password and preferences dialogs and Restore
// Defaults: the reading and character rules as tables, each dialog once through its command.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "settings/PasswordKeyFilter.h"
#include "settings/PasswordProtection.h"
#include "settings/PreferenceCommands.h"
#include "settings/Preferences.h"
#include "settings/dlgPassword.h"
#include "settings/dlgPasswordSetup.h"
#include "support/SettingsStore.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/ModalHelper.h"
#include "tests/common/TestMeter.h"
#include "vantrel/AccessCode.h"

namespace {

const QString kSection = QStringLiteral("Preferences");

// Clicks a named button once control is back in the event loop, so that a dialog it opens
// can be answered in turn.
}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private:
    RecordingSoundSink m_sounds;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<support::SettingsStore> m_store;

    int Beeps() const { return static_cast<int>(m_sounds.sounds.count(RecordingSoundSink::StandardBeep)); }

private slots:
    void initTestCase() { support::SetSounds(&m_sounds); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_store = std::make_unique<support::SettingsStore>(m_dir->filePath(QStringLiteral("Glimora.ini")));
        m_sounds.sounds.clear();
        testing::ClearModals();
    }

    void cleanup()
    {
        testing::VerifyAllAnswered();
        m_store.reset();
        m_dir.reset();
    }

    // How stored texts are read. A first run keeps the meter alive and warns once that no
    // password protects the meter; the password is stored scrambled, as older files hold it.
    void storedTextsFollowTheReadingRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");  // integer value, or 0/1 for Booleans
        QTest::newRow("first run keeps alive") << ""
                                               << ""
                                               << "KeepAlive"
                                               << "1";
        QTest::newRow("first run warns") << ""
                                         << ""
                                         << "warnings"
                                         << "1";
        QTest::newRow("Password scrambled") << "Password"
                                            << "kvi;"
                                            << "Password"
                                            << "abc1";
        QTest::newRow("Password: no warning") << "Password"
                                              << "kvi;"
                                              << "warnings"
                                              << "0";
        QTest::newRow("Digits 5 out of range") << "Digits"
                                               << "5"
                                               << "Digits"
                                               << "2";
        QTest::newRow("Digits no number counts 0") << "Digits"
                                                   << "abc"
                                                   << "Digits"
                                                   << "0";
        QTest::newRow("CalIndex 7 out of range") << "CalIndex"
                                                 << "7"
                                                 << "CalIndex"
                                                 << "0";
        QTest::newRow("CalIndex 2.5 to even") << "CalIndex"
                                              << "2.5"
                                              << "CalIndex"
                                              << "2";
        QTest::newRow("CalIndex 3.2 out of range") << "CalIndex"
                                                   << "3.2"
                                                   << "CalIndex"
                                                   << "0";
        QTest::newRow("KeepAlive lower-case true") << "KeepAlive"
                                                   << "true"
                                                   << "KeepAlive"
                                                   << "0";
        QTest::newRow("CalConst True") << "CalConst"
                                       << "True"
                                       << "CalConst"
                                       << "1";
        QTest::newRow("PixelAvg 1") << "PixelAvg"
                                    << "1"
                                    << "PixelAvg"
                                    << "0";
    }

    void storedTextsFollowTheReadingRules()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        if (!key.isEmpty()) m_store->SaveSetting(kSection, key, stored);
        Preferences p;
        p.CalConst = true;
        p.Password = QStringLiteral("old");
        int warnings = 0;
        LoadPreferences(*m_store, p, [&] { ++warnings; });
        const QMap<QString, QString> got{
            {"CalIndex", QString::number(p.CalIndex)},   {"Digits", QString::number(p.Digits)},
            {"KeepAlive", QString::number(p.KeepAlive)}, {"CalConst", QString::number(p.CalConst)},
            {"PixelAvg", QString::number(p.PixelAvg)},   {"Password", p.Password},
            {"warnings", QString::number(warnings)}};
        QCOMPARE(got.value(field), expected);
        QCOMPARE(p.PasswordProtection, !p.Password.isEmpty());
    }

    void passwordIsCheckedAfterTheDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("unlock");
        QTest::addColumn<bool>("granted");
        QTest::newRow("right password") << "Secret7" << true << true;
        QTest::newRow("one letter in the other case") << "secret7" << true << false;
        QTest::newRow("empty") << "" << true << false;
        QTest::newRow("right password, meter refuses") << "Secret7" << false << false;
        QTest::newRow("right password, dialog closed") << "<close>" << true << false;
    }

    void passwordIsCheckedAfterTheDialog()
    {
        QFETCH(QString, typed);
        QFETCH(bool, unlock);
        QFETCH(bool, granted);
        TestMeter meter;
        meter.unlockResult = unlock;
        QStringList logWhileAsking;
        QString message;
        testing::WhenModal(
            [&, typed](QWidget* w) {
                logWhileAsking = meter.log;
                const bool close = typed == QLatin1String("<close>");
                testing::TypeInto(w, QStringLiteral("edPassword"), close ? QStringLiteral("Secret7") : typed);
                if (close) QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
                else testing::ClickLater(w, QStringLiteral("Ok"));
            },
            QStringLiteral("Enter Password"));
        if (!granted)
            testing::WhenModal(
                [&](QWidget* w) {
                    message = w->findChild<QLabel*>(QStringLiteral("ErrMsg"))->text();
                    testing::ClickLater(w, QStringLiteral("OKButton"));
                },
                QStringLiteral("Password Failure"));

        QCOMPARE(AuthorizeCommand(meter, Preferences{.Password = QStringLiteral("Secret7"), .PasswordProtection = true},
                                  nullptr),
                 granted);
        QVERIFY(logWhileAsking.isEmpty());
        QCOMPARE(meter.log, QStringList{"Unlock"});
        QCOMPARE(meter.lastUnlockCode, GlimoraAccessCode());
        if (!granted) QCOMPARE(message, QStringLiteral("Invalid Password!"));
        QCOMPARE(m_sounds.sounds.count(RecordingSoundSink::Warning), granted ? 0 : 1);
    }

    // Only ASCII digits and letters belong in a password.
    void passwordCharacterRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("digits and letters") << "09AZaz"
                                            << "09AZaz";
        QTest::newRow("blanks and punctuation") << "ab c-D9!Z.z"
                                                << "abcD9Zz";
        QTest::newRow("neighbours of the ranges") << "/:@[`{"
                                                  << "";
        QTest::newRow("accented letters") << QString::fromUtf8("qü_é1") << "q1";
        QTest::newRow("control characters") << QStringLiteral("a\x1b\tb\x7f") << "ab";
    }

    void passwordCharacterRule()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QCOMPARE(PasswordKeyFilter::Clean(text), kept);
    }

    // The rule on the real box: refused keys beep and change nothing, editing keys pass, pasted
    // and composed text is cleaned with a beep, and Ok takes the text as it stands.
    void passwordBoxFiltersKeysAndPastes()
    {
        dlgPassword dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit* box = dialog.edPassword;
        QTest::keyClicks(box, QStringLiteral("ab c-D9"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_Home);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
        QApplication::sendEvent(box, &del);  // an editing key, as the keyboard layer may report it
        QCOMPARE(box->text(), QStringLiteral("bcD"));
        QCOMPARE(Beeps(), 2);
        QApplication::clipboard()->setText(QStringLiteral("x y-z;"));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->cursorPosition(), 3);
        QCOMPARE(Beeps(), 3);
        QInputMethodEvent composed;
        composed.setCommitString(QString::fromUtf8("q ü!"));
        QApplication::sendEvent(box, &composed);
        QTest::keyClick(dialog.Ok, Qt::Key_Space);
        QCOMPARE(dialog.mPW, QStringLiteral("xyzqbcD"));
    }

    // The new-password section opens only while the current password (which takes every key) is
    // typed exactly, and empties when it closes; Ok only while both new boxes agree.
    void setupSectionFollowsTheCurrentPassword()
    {
        Preferences p{.Password = QStringLiteral("A b1"), .PasswordProtection = true};
        dlgPasswordSetup dialog(p);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto state = [&] {
            return QList<bool>({dialog.Frame1->isEnabled(), dialog.txtNewPW1->isEnabled(), dialog.Ok->isEnabled()});
        };
        const QList<bool> closed{false, false, false}, open{true, true, true};
        QTest::keyClicks(dialog.txtCurrentPW, QStringLiteral("A b"));
        QCOMPARE(state(), closed);
        QTest::keyClicks(dialog.txtCurrentPW, QStringLiteral("1"));
        QCOMPARE(state(), open);
        QTest::keyClicks(dialog.txtNewPW1, QStringLiteral("New 9"));
        QVERIFY(!dialog.Ok->isEnabled());
        QTest::keyClicks(dialog.txtNewPW2, QStringLiteral("New9"));
        QVERIFY(dialog.Ok->isEnabled());
        QCOMPARE(Beeps(), 1);
        QTest::keyClicks(dialog.txtCurrentPW, QStringLiteral("x"));
        QCOMPARE(state(), closed);
        QTest::keyClick(dialog.txtCurrentPW, Qt::Key_Backspace);
        QCOMPARE(state(), open);
        QVERIFY(dialog.txtNewPW1->text().isEmpty() && dialog.txtNewPW2->text().isEmpty());

        // Ok with both new boxes empty removes the protection, after a warning.
        QString warning;
        testing::WhenModal(
            [&](QWidget* w) {
                warning = qobject_cast<QMessageBox*>(w)->text();
                QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
            },
            QStringLiteral("Password Protection Warning"));
        dialog.Ok->click();
        QCOMPARE(warning, QStringLiteral("Password Protection will be disabled. Calibration can be at risk."));
        QVERIFY(p.Password.isEmpty() && !p.PasswordProtection);
    }

    // Ok takes the dialog's choices; the number format follows the new digits before the meter
    // is told, and the commands are brought up to date last. Cancel keeps everything.
    void propertiesOkTakesTheDialogAndInformsTheMeter()
    {
        TestMeter meter;
        Preferences p;
        p.KeepAlive = p.CalConst = p.EnableButton = false;
        p.Digits = 1;
        testing::WhenModal(
            [&](QWidget* w) {
                for (const char* name : {"chkKeepAlive", "chkNoFile", "chkConstDC", "chkButtonEnable"})
                    w->findChild<QCheckBox*>(QLatin1String(name))->click();
                w->findChild<QRadioButton*>(QStringLiteral("rad3Digit"))->click();
                testing::ClickLater(w, QStringLiteral("btnOK"));
            },
            QStringLiteral("Properties"));
        QStringList calls;
        PropertiesCommand(
            meter, p, nullptr,
            [&] { calls << QStringLiteral("format %1 after %2").arg(p.Digits).arg(meter.Writes().join(',')); },
            [&] { calls << QStringLiteral("update after ") + meter.Writes().join(','); });
        QCOMPARE(QList<int>({p.KeepAlive, p.NoFile, p.CalConst, p.EnableButton, p.Digits}),
                 QList<int>({1, 0, 1, 1, 3}));
        QCOMPARE(calls,
                 QStringList(
                     {"format 3 after Unlock", "update after Unlock,KeepAlive=true,EnableButton=true,ConstDC=true"}));

        testing::WhenModal(
            [](QWidget* w) {
                w->findChild<QRadioButton*>(QStringLiteral("rad0Digit"))->click();
                testing::ClickLater(w, QStringLiteral("btnCancel"));
            },
            QStringLiteral("Properties"));
        calls.clear();
        meter.log.clear();
        PropertiesCommand(
            meter, p, nullptr, [&] { calls << "format"; }, [&] { calls << "update"; });
        QCOMPARE(p.Digits, int16_t(3));
        QCOMPARE(calls, QStringList{"update"});
        QCOMPARE(meter.log, QStringList{"Unlock"});
    }

    // Restore Defaults asks Yes/No (no Cancel) and resets only on Yes.
    void restoreDefaultsAsksFirst()
    {
        TestMeter meter;
        Preferences p;
        int calls = 0;
        QString question;
        bool cancelShown = true;
        testing::WhenModal(
            [&](QWidget* w) {
                question = w->findChild<QLabel*>(QStringLiteral("MsgLbl"))->text();
                cancelShown = w->findChild<QPushButton*>(QStringLiteral("CancelButton"))->isVisible();
                testing::ClickLater(w, QStringLiteral("NoButton"));
            },
            QStringLiteral("Restore Settings"));
        RestoreDefaultsCommand(meter, p, nullptr, [&] { ++calls; });
        QCOMPARE(
            question,
            QStringLiteral("This operation will restore all the settings, including fonts and tabs, to the default "
                           "values.  Are you sure you want to restore these settings?"));
        QVERIFY(!cancelShown);
        QCOMPARE(calls, 0);
        testing::WhenModal([](QWidget* w) { testing::ClickLater(w, QStringLiteral("YesButton")); },
                           QStringLiteral("Restore Settings"));
        RestoreDefaultsCommand(meter, p, nullptr, [&] { ++calls; });
        QCOMPARE(calls, 1);
        // What the settings return to: the first calibration standard, no keep-alive, pixel averaging,
        // no calibration constant, sounds on, two decimals, no data file, the Read button on.
        p.CalIndex = 3;
        p.KeepAlive = p.CalConst = true;
        p.PixelAvg = p.SoundOn = p.NoFile = p.EnableButton = false;
        p.Digits = 0;
        SetPreferenceDefaults(p);
        QCOMPARE(QList<int>({p.CalIndex, p.KeepAlive, p.PixelAvg, p.CalConst, p.SoundOn, p.Digits, p.NoFile,
                             p.EnableButton}),
                 QList<int>({0, 0, 1, 0, 1, 2, 1, 1}));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
