// Preferences store, password protection, the preferences dialog and Restore Defaults.
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
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "dialogs/dlgError.h"
#include "settings/PasswordProtection.h"
#include "settings/PreferenceCommands.h"
#include "settings/Preferences.h"
#include "settings/dlgAppProperties.h"
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
void ClickLater(QWidget* dialog, const QString& name)
{
    auto* button = dialog->findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

// Answers dlgPassword: types the text and presses Ok.
void AnswerPassword(const QString& typed)
{
    testing::WhenModal(
        [typed](QWidget* w) {
            testing::TypeInto(w, QStringLiteral("edPassword"), typed);
            ClickLater(w, QStringLiteral("Ok"));
        },
        QStringLiteral("Enter Password"));
}

// Answers the "Password Failure" notice, recording its message.
void AnswerError(QString* message)
{
    testing::WhenModal(
        [message](QWidget* w) {
            if (auto* label = w->findChild<QLabel*>(QStringLiteral("ErrMsg"))) *message = label->text();
            ClickLater(w, QStringLiteral("OKButton"));
        },
        QStringLiteral("Password Failure"));
}

Preferences Protected(const QString& password)
{
    Preferences p;
    p.Password = password;
    p.PasswordProtection = !password.isEmpty();
    return p;
}

}  // namespace

class TestSettings : public QObject {
    Q_OBJECT

private:
    RecordingSoundSink m_sounds;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<support::SettingsStore> m_store;

    int Beeps() const { return static_cast<int>(m_sounds.sounds.count(-1)); }

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
        QCOMPARE(testing::PendingModals(), 0);
        testing::ClearModals();
        m_store.reset();
        m_dir.reset();
    }

    // ---- Preferences store ----

    void emptyStoreGivesDefaultsAndWarns()
    {
        Preferences p;
        p.CalIndex = 3;
        p.NoFile = p.SoundOn = false;
        p.KeepAlive = p.CalConst = true;
        p.Digits = 0;
        p.Password = QStringLiteral("old");
        p.PasswordProtection = true;
        int warnings = 0;
        LoadPreferences(*m_store, p, [&] { ++warnings; });
        QCOMPARE(warnings, 1);
        QCOMPARE(QList<int>({p.CalIndex, p.NoFile, p.SoundOn, p.CalConst, p.Digits, p.PasswordProtection}),
                 QList<int>({0, 1, 1, 0, 2, 0}));
        QCOMPARE(p.KeepAlive, true);  // a first run keeps the meter alive
        QVERIFY(p.Password.isEmpty());
        QVERIFY(!m_store->Dirty());
    }

    void storedTextsFollowTheReadingRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");  // integer value, or 0/1 for Booleans
        QTest::newRow("Digits 5 out of range") << "Digits" << "5" << 2;
        QTest::newRow("Digits 3 with blank") << "Digits" << " 3" << 3;
        QTest::newRow("Digits 1 with trailing text") << "Digits" << "1xyz" << 1;
        QTest::newRow("Digits no number counts 0") << "Digits" << "abc" << 0;
        QTest::newRow("CalIndex 7 out of range") << "CalIndex" << "7" << 0;
        QTest::newRow("CalIndex 2.5 to even") << "CalIndex" << "2.5" << 2;
        QTest::newRow("CalIndex 2.6 up") << "CalIndex" << "2.6" << 3;
        QTest::newRow("CalIndex 3.2 out of range") << "CalIndex" << "3.2" << 0;
        QTest::newRow("KeepAlive lower-case true") << "KeepAlive" << "true" << 0;
        QTest::newRow("KeepAlive True") << "KeepAlive" << "True" << 1;
        QTest::newRow("SoundOn TRUE") << "SoundOn" << "TRUE" << 0;
        QTest::newRow("CalConst True") << "CalConst" << "True" << 1;
        QTest::newRow("PixelAvg 1") << "PixelAvg" << "1" << 0;
        QTest::newRow("NoFile True with blank") << "NoFile" << "True " << 0;
    }

    void storedTextsFollowTheReadingRules()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, expected);
        m_store->SaveSetting(kSection, key, stored);
        Preferences p;
        LoadPreferences(*m_store, p, nullptr);
        const QMap<QString, int> got{{"CalIndex", p.CalIndex}, {"Digits", p.Digits},      {"KeepAlive", p.KeepAlive},
                                     {"NoFile", p.NoFile},     {"SoundOn", p.SoundOn},    {"EnableButton", p.EnableButton},
                                     {"CalConst", p.CalConst}, {"PixelAvg", p.PixelAvg}};
        QCOMPARE(got.value(key, -99), expected);
    }

    void passwordSurvivesTheStore()
    {
        // Digits and both letter cases; the scrambled forms include INI-sensitive characters.
        const QString password = QStringLiteral("Zq09aB1x");
        const QString scrambled = ScramblePassword(password);
        QCOMPARE(scrambled.size(), password.size());
        QVERIFY(scrambled != password);
        QCOMPARE(ScramblePassword(scrambled), password);

        Preferences p = Protected(password);
        QVERIFY(SavePreferences(*m_store, p));
        QCOMPARE(m_store->GetSetting(kSection, QStringLiteral("Password")), scrambled);

        support::SettingsStore reread(m_store->FilePath());
        Preferences loaded;
        int warnings = 0;
        LoadPreferences(reread, loaded, [&] { ++warnings; });
        QCOMPARE(loaded.Password, password);
        QVERIFY(loaded.PasswordProtection);
        QCOMPARE(warnings, 0);

        // Written back unchanged, the stored text stays the same.
        QVERIFY(SavePreferences(reread, loaded));
        QCOMPARE(reread.GetSetting(kSection, QStringLiteral("Password")), scrambled);
    }

    void savedPreferencesLoadBack()
    {
        Preferences p;
        p.CalIndex = 3;
        p.KeepAlive = p.CalConst = true;
        p.NoFile = p.EnableButton = p.PixelAvg = false;
        p.Digits = 0;
        QVERIFY(SavePreferences(*m_store, p));
        // Booleans are stored as the words True and False.
        QCOMPARE(m_store->GetSetting(kSection, QStringLiteral("KeepAlive")), QStringLiteral("True"));
        QCOMPARE(m_store->GetSetting(kSection, QStringLiteral("NoFile")), QStringLiteral("False"));

        support::SettingsStore reread(m_store->FilePath());
        Preferences loaded;
        LoadPreferences(reread, loaded, nullptr);
        QCOMPARE(QList<int>({loaded.CalIndex, loaded.KeepAlive, loaded.NoFile, loaded.SoundOn, loaded.EnableButton,
                             loaded.CalConst, loaded.Digits, loaded.PixelAvg, loaded.PasswordProtection}),
                 QList<int>({3, 1, 0, 1, 0, 1, 0, 0, 0}));
    }

    // ---- AuthorizeCommand ----

    void withoutPasswordOnlyTheMeterIsAsked()
    {
        TestMeter meter;
        QVERIFY(AuthorizeCommand(meter, Preferences{}, nullptr));
        QCOMPARE(meter.log, QStringList{"Unlock"});
        QCOMPARE(meter.lastUnlockCode, GlimoraAccessCode());
        QVERIFY(testing::AnsweredTitles().isEmpty());
        QVERIFY(m_sounds.sounds.isEmpty());
    }

    void passwordIsCheckedAfterTheDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("unlock");
        QTest::addColumn<bool>("granted");
        QTest::newRow("right password") << "Secret7" << true << true;
        QTest::newRow("one letter in the other case") << "secret7" << true << false;
        QTest::newRow("wrong password") << "Secret8" << true << false;
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
        bool focusOnBox = false;
        testing::WhenModal(
            [&, typed](QWidget* w) {
                logWhileAsking = meter.log;
                focusOnBox = w->focusWidget() && w->focusWidget()->objectName() == QLatin1String("edPassword");
                if (typed == QLatin1String("<close>")) {
                    testing::TypeInto(w, QStringLiteral("edPassword"), QStringLiteral("Secret7"));
                    QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
                } else {
                    testing::TypeInto(w, QStringLiteral("edPassword"), typed);
                    ClickLater(w, QStringLiteral("Ok"));
                }
            },
            QStringLiteral("Enter Password"));
        QString message;
        if (!granted) AnswerError(&message);

        QCOMPARE(AuthorizeCommand(meter, Protected(QStringLiteral("Secret7")), nullptr), granted);
        QVERIFY(logWhileAsking.isEmpty());
        QCOMPARE(meter.log, QStringList{"Unlock"});
        QVERIFY(focusOnBox);
        QStringList titles{"Enter Password"};
        if (!granted) titles << "Password Failure";
        QCOMPARE(testing::AnsweredTitles(), titles);
        if (!granted) QCOMPARE(message, QStringLiteral("Invalid Password!"));
        QCOMPARE(m_sounds.sounds.count(48), granted ? 0 : 1);
    }

    // ---- Password character rule ----

    void passwordKeysAreFiltered()
    {
        dlgPassword dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit* box = dialog.edPassword;
        QTest::keyClicks(box, QStringLiteral("ab c-D9!Z.z"));
        QCOMPARE(box->text(), QStringLiteral("abcD9Zz"));
        QCOMPARE(Beeps(), 4);
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("abcD9Z"));
        QKeyEvent accented(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString::fromUtf8("é"));
        QApplication::sendEvent(box, &accented);
        QTest::keyClicks(box, QStringLiteral("_"));
        QCOMPARE(box->text(), QStringLiteral("abcD9Z"));
        QCOMPARE(Beeps(), 6);
        // Esc is a refused key as well: a beep, and the prompt stays open, also with Ok focused.
        QTest::keyClick(box, Qt::Key_Escape);
        QCOMPARE(Beeps(), 7);
        QTest::keyClick(dialog.Ok, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(box->text(), QStringLiteral("abcD9Z"));
        QTest::keyClick(box, Qt::Key_Home);
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
        QApplication::sendEvent(box, &del);  // an editing key, as the keyboard layer may report it
        QCOMPARE(box->text(), QStringLiteral("bcD9Z"));
        QCOMPARE(Beeps(), 7);

        // The same rule guards the new-password boxes; the current-password box takes every key.
        Preferences p = Protected(QStringLiteral("a b!"));
        dlgPasswordSetup setup(p);
        setup.show();
        QVERIFY(QTest::qWaitForWindowExposed(&setup));
        m_sounds.sounds.clear();
        QTest::keyClicks(setup.txtCurrentPW, QStringLiteral("a b!"));
        QCOMPARE(setup.txtCurrentPW->text(), QStringLiteral("a b!"));
        QCOMPARE(Beeps(), 0);
        QVERIFY(setup.txtNewPW1->isEnabled());
        QTest::keyClicks(setup.txtNewPW1, QStringLiteral("x y"));
        QTest::keyClicks(setup.txtNewPW2, QStringLiteral("x,y"));
        QCOMPARE(setup.txtNewPW1->text(), QStringLiteral("xy"));
        QCOMPARE(setup.txtNewPW2->text(), QStringLiteral("xy"));
        QCOMPARE(Beeps(), 2);
    }

    void pastedAndComposedTextIsCleaned()
    {
        dlgPassword dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QLineEdit* box = dialog.edPassword;

        QApplication::clipboard()->setText(QStringLiteral("x y-z9;"));
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("xyz9"));
        QCOMPARE(Beeps(), 1);  // pasted text meets the same filter as typed keys
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("xyz9xyz9"));
        box->setText(QStringLiteral("xyz9"));
        QCOMPARE(Beeps(), 2);

        QTest::keyClick(box, Qt::Key_Home);
        box->insert(QStringLiteral("A B"));
        QCOMPARE(box->text(), QStringLiteral("ABxyz9"));
        QCOMPARE(box->cursorPosition(), 2);

        QInputMethodEvent composed;
        composed.setCommitString(QString::fromUtf8("q ü!r"));
        QApplication::sendEvent(box, &composed);
        QCOMPARE(box->text(), QStringLiteral("ABqrxyz9"));

        box->setText(QStringLiteral("1 2"));
        QCOMPARE(box->text(), QStringLiteral("12"));

        QTest::keyClick(dialog.Ok, Qt::Key_Space);  // Ok takes the text as it stands
        QCOMPARE(dialog.mPW, QStringLiteral("12"));
    }

    // ---- Password setup ----

    void setupWithoutPasswordOffersRemovalWarning()
    {
        Preferences p;
        dlgPasswordSetup dialog(p);
        QVERIFY(!dialog.txtCurrentPW->isEnabled());
        QVERIFY(dialog.txtNewPW1->isEnabled() && dialog.Ok->isEnabled());
        QString text;
        testing::WhenModal(
            [&](QWidget* w) {
                if (auto* box = qobject_cast<QMessageBox*>(w)) text = box->text();
                QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
            },
            QStringLiteral("Password Protection Warning"));
        dialog.Ok->click();
        QCOMPARE(text, QStringLiteral("Password Protection will be disabled. Calibration can be at risk."));
        QVERIFY(p.Password.isEmpty());
        QVERIFY(!p.PasswordProtection);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void setupSectionFollowsTheCurrentPassword()
    {
        Preferences p = Protected(QStringLiteral("Ab12"));
        dlgPasswordSetup dialog(p);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto sectionOpen = [&] {
            return dialog.Frame1->isEnabled() && dialog.Label2->isEnabled() && dialog.Label3->isEnabled()
                && dialog.txtNewPW1->isEnabled() && dialog.txtNewPW2->isEnabled();
        };
        QVERIFY(dialog.txtCurrentPW->isEnabled());
        QVERIFY(!sectionOpen());
        QVERIFY(!dialog.Ok->isEnabled());

        QTest::keyClicks(dialog.txtCurrentPW, QStringLiteral("Ab1"));
        QVERIFY(!sectionOpen());
        QVERIFY(!dialog.Ok->isEnabled());
        QTest::keyClicks(dialog.txtCurrentPW, QStringLiteral("2"));
        QVERIFY(sectionOpen());
        QVERIFY(dialog.Ok->isEnabled());

        QTest::keyClicks(dialog.txtNewPW1, QStringLiteral("New9"));
        QVERIFY(!dialog.Ok->isEnabled());
        QTest::keyClicks(dialog.txtNewPW2, QStringLiteral("New9"));
        QVERIFY(dialog.Ok->isEnabled());
        QTest::keyClicks(dialog.txtNewPW2, QStringLiteral("9"));
        QVERIFY(!dialog.Ok->isEnabled());

        // One more character closes the section and empties it.
        QTest::keyClicks(dialog.txtCurrentPW, QStringLiteral("x"));
        QVERIFY(!sectionOpen());
        QVERIFY(!dialog.Ok->isEnabled());
        QVERIFY(dialog.txtNewPW1->text().isEmpty());
        QVERIFY(dialog.txtNewPW2->text().isEmpty());

        QTest::keyClick(dialog.txtCurrentPW, Qt::Key_Backspace);
        QVERIFY(sectionOpen());
        QVERIFY(dialog.Ok->isEnabled());
        QVERIFY(dialog.txtNewPW1->text().isEmpty());

        // Esc closes nothing; Cancel changes nothing.
        QTest::keyClick(dialog.txtCurrentPW, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        dialog.Cancel->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(p.Password, QStringLiteral("Ab12"));
        QVERIFY(p.PasswordProtection);
    }

    void currentPasswordBoxHoldsTwelveCharacters()
    {
        Preferences p = Protected(QStringLiteral("abcdefghijklm"));
        dlgPasswordSetup dialog(p);
        QTest::keyClicks(dialog.txtCurrentPW, QStringLiteral("abcdefghijklm"));
        QCOMPARE(dialog.txtCurrentPW->text(), QStringLiteral("abcdefghijkl"));
        QVERIFY(!dialog.Ok->isEnabled());
    }

    void passwordCommandChangesAndRemovesThePassword()
    {
        Preferences p = Protected(QStringLiteral("Old1"));
        testing::WhenModal(
            [](QWidget* w) {
                testing::TypeInto(w, QStringLiteral("txtCurrentPW"), QStringLiteral("Old1"));
                testing::TypeInto(w, QStringLiteral("txtNewPW1"), QStringLiteral("New22"));
                testing::TypeInto(w, QStringLiteral("txtNewPW2"), QStringLiteral("New22"));
                ClickLater(w, QStringLiteral("Ok"));
            },
            QStringLiteral("Password Setup"));
        PasswordCommand(p, nullptr);
        QCOMPARE(p.Password, QStringLiteral("New22"));
        QVERIFY(p.PasswordProtection);
        QCOMPARE(testing::AnsweredTitles(), QStringList{"Password Setup"});

        // The new password now guards commands.
        TestMeter meter;
        AnswerPassword(QStringLiteral("New22"));
        QVERIFY(AuthorizeCommand(meter, p, nullptr));

        testing::ClearModals();
        testing::WhenModal(
            [](QWidget* w) {
                testing::TypeInto(w, QStringLiteral("txtCurrentPW"), QStringLiteral("New22"));
                ClickLater(w, QStringLiteral("Ok"));
            },
            QStringLiteral("Password Setup"));
        testing::WhenModal([](QWidget* w) { QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection); },
                           QStringLiteral("Password Protection Warning"));
        PasswordCommand(p, nullptr);
        QVERIFY(p.Password.isEmpty());
        QVERIFY(!p.PasswordProtection);

        // Without protection no password is asked for.
        meter.log.clear();
        QVERIFY(AuthorizeCommand(meter, p, nullptr));
        QCOMPARE(meter.log, QStringList{"Unlock"});
    }

    // ---- Preferences dialog ----

    void propertiesOkTakesTheDialogAndInformsTheMeter()
    {
        TestMeter meter;
        Preferences p;
        p.KeepAlive = p.CalConst = p.EnableButton = false;
        p.NoFile = true;
        p.Digits = 1;

        QList<bool> shown;
        testing::WhenModal(
            [&](QWidget* w) {
                for (const char* name : {"chkKeepAlive", "chkNoFile", "chkConstDC", "chkButtonEnable"}) {
                    shown << w->findChild<QCheckBox*>(QLatin1String(name))->isChecked();
                    w->findChild<QCheckBox*>(QLatin1String(name))->click();
                }
                shown << w->findChild<QRadioButton*>(QStringLiteral("rad1Digit"))->isChecked();
                w->findChild<QRadioButton*>(QStringLiteral("rad3Digit"))->click();
                ClickLater(w, QStringLiteral("btnOK"));
            },
            QStringLiteral("Properties"));

        // The number format follows the new digits before the meter is told; the commands are
        // brought up to date last.
        QStringList calls;
        PropertiesCommand(
            meter, p, nullptr, [&] { calls << QStringLiteral("format %1 after %2").arg(p.Digits).arg(meter.Writes().join(',')); },
            [&] { calls << QStringLiteral("update after ") + meter.Writes().join(','); });

        QCOMPARE(shown, QList<bool>({false, true, false, false, true}));
        QCOMPARE(QList<int>({p.KeepAlive, p.NoFile, p.CalConst, p.EnableButton, p.Digits}), QList<int>({1, 0, 1, 1, 3}));
        QCOMPARE(calls, QStringList({"format 3 after Unlock",
                                     "update after Unlock,KeepAlive=true,EnableButton=true,ConstDC=true"}));
    }

    void propertiesCancelKeepsEverything()
    {
        TestMeter meter;
        Preferences p;
        testing::WhenModal(
            [](QWidget* w) {
                w->findChild<QRadioButton*>(QStringLiteral("rad0Digit"))->click();
                w->findChild<QCheckBox*>(QStringLiteral("chkSounds"))->click();
                ClickLater(w, QStringLiteral("btnCancel"));
            },
            QStringLiteral("Properties"));
        int formats = 0, updates = 0;
        PropertiesCommand(meter, p, nullptr, [&] { ++formats; }, [&] { ++updates; });
        QCOMPARE(p.Digits, Preferences{}.Digits);
        QCOMPARE(p.SoundOn, Preferences{}.SoundOn);
        QCOMPARE(formats, 0);
        QCOMPARE(updates, 1);
        QCOMPARE(meter.log, QStringList{"Unlock"});
    }

    void refusedCommandsDoNothing()
    {
        TestMeter meter;
        Preferences p = Protected(QStringLiteral("Pw1"));
        AnswerPassword(QStringLiteral("pw1"));
        QString message;
        AnswerError(&message);
        int calls = 0;
        PropertiesCommand(meter, p, nullptr, [&] { ++calls; }, [&] { ++calls; });
        AnswerPassword(QStringLiteral("pw1"));
        AnswerError(&message);
        RestoreDefaultsCommand(meter, p, nullptr, [&] { ++calls; });
        QCOMPARE(testing::AnsweredTitles(),
                 QStringList({"Enter Password", "Password Failure", "Enter Password", "Password Failure"}));
        QCOMPARE(calls, 0);
        QCOMPARE(meter.log, QStringList({"Unlock", "Unlock"}));
    }

    void propertiesDialogShowsItsFields()
    {
        dlgAppProperties dialog;
        dialog.mDigits = 7;  // out of range: no digits choice shown
        dialog.show();
        for (auto* r : dialog.findChildren<QRadioButton*>()) QVERIFY2(!r->isChecked(), qPrintable(r->objectName()));
        dialog.rad1Digit->click();
        QTest::keyClick(dialog.chkKeepAlive, Qt::Key_Return);
        QVERIFY(dialog.DoChange);
        QCOMPARE(dialog.mDigits, int16_t(1));
    }

    // ---- Restore Defaults ----

    void restoreDefaultsResetsOnlyTheRecord()
    {
        TestMeter meter;
        Preferences p;
        p.CalIndex = 2;
        p.KeepAlive = true;
        p.SoundOn = false;
        p.Digits = 0;
        p.CalConst = true;
        int calls = 0;
        QString question;
        bool cancelShown = true;
        testing::WhenModal(
            [&](QWidget* w) {
                question = w->findChild<QLabel*>(QStringLiteral("MsgLbl"))->text();
                cancelShown = w->findChild<QPushButton*>(QStringLiteral("CancelButton"))->isVisible();
                ClickLater(w, QStringLiteral("NoButton"));
            },
            QStringLiteral("Restore Settings"));
        RestoreDefaultsCommand(meter, p, nullptr, [&] {
            ++calls;
            SetPreferenceDefaults(p);
        });
        QCOMPARE(question, QStringLiteral("This operation will restore all the settings, including fonts and tabs, to the default "
                                          "values.  Are you sure you want to restore these settings?"));
        QVERIFY(!cancelShown);
        QCOMPARE(calls, 0);
        QCOMPARE(p.Digits, int16_t(0));

        testing::WhenModal([](QWidget* w) { ClickLater(w, QStringLiteral("YesButton")); }, QStringLiteral("Restore Settings"));
        p.Password = QStringLiteral("keep");
        p.PasswordProtection = false;  // protection off: the password box is not asked
        RestoreDefaultsCommand(meter, p, nullptr, [&] {
            ++calls;
            SetPreferenceDefaults(p);
        });
        QCOMPARE(calls, 1);
        QCOMPARE(p.Digits, int16_t(2));
        QCOMPARE(p.KeepAlive, false);  // unlike a first run
        QCOMPARE(p.Password, QStringLiteral("keep"));
        QCOMPARE(meter.log, QStringList({"Unlock", "Unlock"}));
        QVERIFY(m_store->Keys(kSection).isEmpty());
        QVERIFY(!QFile::exists(m_store->FilePath()));
    }

};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
