// Calibration commands, meter settings and measurement parameters, driven through the real
// dialogs against a logging meter control.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <functional>

#include "calibration/CalibrationCommands.h"
#include "calibration/dlgMeterProperties.h"
#include "calibration/dlgSettings.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/ModalHelper.h"
#include "tests/common/TestMeter.h"

namespace {

using Command = void (*)(VantrelCntl&, const Preferences&, QWidget*);

void ClickLater(QWidget* dialog, const QString& name)
{
    auto* button = dialog->findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QMetaObject::invokeMethod(button, "click", Qt::QueuedConnection);
}

void AnswerQuestion(const QString& title, bool yes, QString* question = nullptr)
{
    testing::WhenModal(
        [yes, question](QWidget* w) {
            if (question) *question = w->findChild<QLabel*>(QStringLiteral("MsgLbl"))->text();
            ClickLater(w, yes ? QStringLiteral("YesButton") : QStringLiteral("NoButton"));
        },
        title);
}

// Types each (box, text) pair into the dialog, then presses the named button.
void FillAndPress(const QString& title, const QList<QPair<QString, QString>>& typed, const QString& button,
                  const std::function<void(QWidget*)>& inspect = nullptr)
{
    testing::WhenModal(
        [typed, button, inspect](QWidget* w) {
            if (inspect) inspect(w);
            for (const auto& entry : typed) testing::TypeInto(w, entry.first, entry.second);
            ClickLater(w, button);
        },
        title);
}

Preferences WithKeepAlive(bool keepAlive)
{
    Preferences p;
    p.KeepAlive = keepAlive;
    return p;
}

const QStringList kPropertyBoxes{"edCenter",         "edRefCenter",     "edIntensity",    "edRefDutyCycle",
                                  "edDeg2Distortion", "edDOIDistortion", "edSerialNumber", "edBlackLevel"};

// The dialog's fields in the order of kPropertyBoxes, as text.
QStringList Fields(const dlgMeterProperties& d)
{
    return {QString::number(d.mCenter),  QString::number(d.mRefCenter),           QString::number(d.mIntensity),
            QString::number(d.mRefDutyCycle), QString::number(d.mDeg2Distortion, 'g', 15),
            QString::number(d.mDOIDistortion, 'g', 15), d.mSerialNumber, QString::number(d.mBlackLevel)};
}

void SetUpMeter(TestMeter& m)
{
    m.center = 110;
    m.refCenter = 146;
    m.intensity = 45;
    m.refDutyCycle = 85;
    m.deg2Distortion = 1.0;
    m.doiDistortion = 1.0;
    m.blackLevel = 32767;
    m.serialNumber = QStringLiteral("HZ001234");
    m.dutyCycle = 37;
}

const QStringList kMeterReads{"Center?",         "Intensity?",     "RefCenter?",   "RefDutyCycle?", "SerialNumber?",
                              "Deg2Distortion?", "DOIDistortion?", "BlackLevel?", "Authority?"};

}  // namespace

class TestCalibration : public QObject {
    Q_OBJECT

private:
    RecordingSoundSink m_sounds;

private slots:
    void initTestCase() { support::SetSounds(&m_sounds); }

    void init()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("modal dialog titled|no button named|no line edit named")));
        m_sounds.sounds.clear();
        testing::ClearModals();
    }

    void cleanup()
    {
        QCOMPARE(testing::PendingModals(), 0);
        testing::ClearModals();
    }

    // ---- Calibrate, Correction, Clear Configurations ----

    void meterOperationsRunOnceUnlocked_data()
    {
        QTest::addColumn<void*>("command");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("result");
        QTest::newRow("calibrate accepted") << reinterpret_cast<void*>(&CalibrateCommand) << "Calibrate" << true;
        QTest::newRow("calibrate refused") << reinterpret_cast<void*>(&CalibrateCommand) << "Calibrate" << false;
        QTest::newRow("correction accepted") << reinterpret_cast<void*>(&CorrectionCommand) << "AdvancedCorrection" << true;
        QTest::newRow("correction refused") << reinterpret_cast<void*>(&CorrectionCommand) << "AdvancedCorrection" << false;
        QTest::newRow("update information") << reinterpret_cast<void*>(&UpdateInformationCommand) << "UpdateInfo" << true;
    }

    void meterOperationsRunOnceUnlocked()
    {
        QFETCH(void*, command);
        QFETCH(QString, operation);
        QFETCH(bool, result);
        TestMeter meter;
        meter.calibrateResult = meter.correctionResult = result;
        Preferences p;
        p.SoundOn = false;  // the refusal beep does not depend on it
        reinterpret_cast<Command>(command)(meter, p, nullptr);
        QCOMPARE(meter.log, QStringList({"Unlock", operation}));
        QCOMPARE(m_sounds.sounds, result ? QList<int>{} : QList<int>{48});
        QVERIFY(testing::AnsweredTitles().isEmpty());
    }

    void clearConfigurationsAsksFirst()
    {
        TestMeter meter;
        QString question;
        AnswerQuestion(QStringLiteral("Delete Calibration Standards"), false, &question);
        ClearConfigurationsCommand(meter, Preferences{}, nullptr);
        QCOMPARE(question, QStringLiteral("Warning! This operation will delete all the calibration data stored in the Haze "
                                          "Meter. Do you wish to continue?"));
        QCOMPARE(meter.log, QStringList{"Unlock"});

        AnswerQuestion(QStringLiteral("Delete Calibration Standards"), true);
        ClearConfigurationsCommand(meter, Preferences{}, nullptr);
        QCOMPARE(meter.log, QStringList({"Unlock", "Unlock", "ClearCalibration"}));
        QVERIFY(m_sounds.sounds.isEmpty());
    }

    // A refused authorisation ends every command before anything is asked or written; how the
    // password itself is checked is proven with AuthorizeCommand.
    void refusedPasswordStopsEveryCommand_data()
    {
        QTest::addColumn<void*>("command");
        QTest::newRow("calibrate") << reinterpret_cast<void*>(&CalibrateCommand);
        QTest::newRow("correction") << reinterpret_cast<void*>(&CorrectionCommand);
        QTest::newRow("clear configurations") << reinterpret_cast<void*>(&ClearConfigurationsCommand);
        QTest::newRow("change meter settings") << reinterpret_cast<void*>(&ChangeMeterSettingsCommand);
        QTest::newRow("set parameters") << reinterpret_cast<void*>(&SetParametersCommand);
        QTest::newRow("update information") << reinterpret_cast<void*>(&UpdateInformationCommand);
    }

    void refusedPasswordStopsEveryCommand()
    {
        QFETCH(void*, command);
        TestMeter meter;
        SetUpMeter(meter);
        meter.unlockResult = false;
        testing::WhenModal([](QWidget* w) { ClickLater(w, QStringLiteral("OKButton")); }, QStringLiteral("Password Failure"));
        reinterpret_cast<Command>(command)(meter, Preferences{}, nullptr);
        QCOMPARE(testing::AnsweredTitles(), QStringList{"Password Failure"});
        QCOMPARE(meter.log, QStringList{"Unlock"});
        QCOMPARE(m_sounds.sounds, QList<int>{48});  // the error notice's own beep only
    }

    // ---- Change Meter Settings ----

    void changeMeterSettingsReadsAndWritesInOrder_data()
    {
        QTest::addColumn<bool>("keepAlive");
        QTest::newRow("keep-alive preference off") << false;
        QTest::newRow("keep-alive preference on") << true;
    }

    void changeMeterSettingsReadsAndWritesInOrder()
    {
        QFETCH(bool, keepAlive);
        TestMeter meter;
        SetUpMeter(meter);
        meter.keepAlive = !keepAlive;
        QString question;
        bool keptAliveWhileOpen = false;
        AnswerQuestion(QStringLiteral("Change Meter Settings"), true, &question);
        FillAndPress(QStringLiteral("Haze Meter Properties"),
                     {{"edCenter", "100"}, {"edRefCenter", "140"}, {"edIntensity", "50"}, {"edRefDutyCycle", "90"},
                      {"edDeg2Distortion", "1.1"}, {"edDOIDistortion", "0.9"}, {"edSerialNumber", "SN77"},
                      {"edBlackLevel", "1000"}},
                     QStringLiteral("btnOK"), [&](QWidget*) { keptAliveWhileOpen = meter.keepAlive; });
        ChangeMeterSettingsCommand(meter, WithKeepAlive(keepAlive), nullptr);

        QCOMPARE(question, QStringLiteral("Warning! This operation can result in loss of calibration. Do you wish to continue?"));
        QVERIFY(keptAliveWhileOpen);
        const QString last = keepAlive ? QStringLiteral("KeepAlive=true") : QStringLiteral("KeepAlive=false");
        QCOMPARE(meter.log, QStringList({"Unlock", "KeepAlive=true"}) + kMeterReads
                                + QStringList({"SerialNumber=SN77", "RefDutyCycle=90", "RefCenter=140", "Intensity=50",
                                               "Center=100", "Deg2Distortion=1.1", "DOIDistortion=0.9", "BlackLevel=1000",
                                               last}));
    }

    void changeMeterSettingsCancelAndNo()
    {
        TestMeter meter;
        SetUpMeter(meter);
        AnswerQuestion(QStringLiteral("Change Meter Settings"), true);
        FillAndPress(QStringLiteral("Haze Meter Properties"), {{"edCenter", "100"}, {"edSerialNumber", "X"}},
                     QStringLiteral("btnCancel"));
        ChangeMeterSettingsCommand(meter, WithKeepAlive(false), nullptr);
        QCOMPARE(meter.Writes(), QStringList({"Unlock", "KeepAlive=true", "KeepAlive=false"}));
        QCOMPARE(meter.center, int16_t(110));

        // No leaves KeepAlive and everything else alone.
        meter.log.clear();
        AnswerQuestion(QStringLiteral("Change Meter Settings"), false);
        ChangeMeterSettingsCommand(meter, WithKeepAlive(true), nullptr);
        QCOMPARE(meter.log, QStringList{"Unlock"});
    }

    // Ok takes a typed value only inside its field's range and keeps the old one otherwise; the
    // range and rounding rules run on the dialogs themselves, every other field unchanged.
    void typedValuesAcceptOnlyTheirRanges_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");  // the field afterwards; the old value when ignored
        // Old values: Center 110, RefCenter 146, Intensity 45, RefDutyCycle 85, distortions 1,
        // BlackLevel 32767, DutyCycle 37. "edDutyCycle" is in the Settings dialog.
        QTest::newRow("center 80 ignored") << "edCenter" << "80" << "110";
        QTest::newRow("center 80.4 taken, rounds to 80") << "edCenter" << "80.4" << "80";
        QTest::newRow("center 139.6 taken, rounds to 140") << "edCenter" << "139.6" << "140";
        QTest::newRow("center 140 ignored") << "edCenter" << "140" << "110";
        QTest::newRow("center 100.5 to even") << "edCenter" << "100.5" << "100";
        QTest::newRow("center text ignored") << "edCenter" << "abc" << "110";
        QTest::newRow("center leading number") << "edCenter" << " 95 px" << "95";
        QTest::newRow("ref center 130 ignored") << "edRefCenter" << "130" << "146";
        QTest::newRow("ref center 131 taken") << "edRefCenter" << "131" << "131";
        QTest::newRow("ref center 155 ignored") << "edRefCenter" << "155" << "146";
        QTest::newRow("intensity 0 ignored") << "edIntensity" << "0" << "45";
        QTest::newRow("intensity 0.4 taken, rounds to 0") << "edIntensity" << "0.4" << "0";
        QTest::newRow("intensity 255 taken") << "edIntensity" << "255" << "255";
        QTest::newRow("intensity 256 ignored") << "edIntensity" << "256" << "45";
        QTest::newRow("intensity huge ignored") << "edIntensity" << "1e30" << "45";
        QTest::newRow("ref duty cycle 0 ignored") << "edRefDutyCycle" << "0" << "85";
        QTest::newRow("ref duty cycle 300 taken") << "edRefDutyCycle" << "300" << "300";
        QTest::newRow("ref duty cycle 301 ignored") << "edRefDutyCycle" << "301" << "85";
        QTest::newRow("2 degree 0.5 ignored") << "edDeg2Distortion" << "0.5" << "1";
        QTest::newRow("2 degree 1.2345 unrounded") << "edDeg2Distortion" << "1.2345" << "1.2345";
        QTest::newRow("DOI 1.2345 unrounded") << "edDOIDistortion" << "1.2345" << "1.2345";
        QTest::newRow("DOI 1.5 ignored") << "edDOIDistortion" << "1.5" << "1";
        QTest::newRow("black level 0 ignored") << "edBlackLevel" << "0" << "32767";
        QTest::newRow("black level 1 taken") << "edBlackLevel" << "1" << "1";
        QTest::newRow("black level 65535 taken") << "edBlackLevel" << "65535" << "65535";
        QTest::newRow("black level 65536 ignored") << "edBlackLevel" << "65536" << "32767";
        QTest::newRow("serial trimmed") << "edSerialNumber" << "  AB 12  " << "AB 12";
        QTest::newRow("serial blanks then cut to 8") << "edSerialNumber" << " 1234567890" << "1234567";
        QTest::newRow("serial empty taken") << "edSerialNumber" << "" << "";
        QTest::newRow("duty cycle 0 taken") << "edDutyCycle" << "0" << "0";
        QTest::newRow("duty cycle 300.4 ignored") << "edDutyCycle" << "300.4" << "37";
        QTest::newRow("duty cycle -1 ignored") << "edDutyCycle" << "-1" << "37";
        QTest::newRow("duty cycle text gives 0") << "edDutyCycle" << "abc" << "0";
        QTest::newRow("duty cycle 12.5 to even") << "edDutyCycle" << "12.5" << "12";
    }

    void typedValuesAcceptOnlyTheirRanges()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        if (box == QLatin1String("edDutyCycle")) {
            dlgSettings d;
            d.mCenter = 110;
            d.mDutyCycle = 37;
            d.show();
            d.edDutyCycle->setText(typed);
            d.btnOK->click();
            QCOMPARE(QStringList({QString::number(d.mCenter), QString::number(d.mDutyCycle)}), QStringList({"110", expected}));
            return;
        }
        dlgMeterProperties d;
        d.mCenter = 110;
        d.mRefCenter = 146;
        d.mIntensity = 45;
        d.mRefDutyCycle = 85;
        d.mDeg2Distortion = d.mDOIDistortion = 1.0;
        d.mSerialNumber = QStringLiteral("HZ001234");
        d.mBlackLevel = 32767;
        d.show();
        QStringList want = Fields(d);
        want[kPropertyBoxes.indexOf(box)] = expected;
        d.findChild<QLineEdit*>(box)->setText(typed);
        d.btnOK->click();
        QVERIFY(d.DoChange);
        QCOMPARE(Fields(d), want);
    }

    void meterPropertiesShowTheMeterValues()
    {
        dlgMeterProperties dialog;
        dialog.mCenter = 111;
        dialog.mDeg2Distortion = 0.98765;
        dialog.mDOIDistortion = 1.0;
        dialog.mSerialNumber = QStringLiteral("ABCDEFGHIJK");
        dialog.mBlackLevel = 40000;
        dialog.show();
        QCOMPARE(dialog.edCenter->text(), QStringLiteral("111"));
        QCOMPARE(dialog.edDeg2Distortion->text(), QStringLiteral("0.988"));
        QCOMPARE(dialog.edDOIDistortion->text(), QStringLiteral("1.000"));
        QCOMPARE(dialog.edSerialNumber->text(), QStringLiteral("ABCDEFGH"));
        QCOMPARE(dialog.edBlackLevel->text(), QStringLiteral("40000"));
        for (QLineEdit* box : dialog.findChildren<QLineEdit*>()) QVERIFY(!box->accessibleName().isEmpty());

        // Ok with untouched boxes hands back what was shown: the serial number cut to 8.
        dialog.btnOK->click();
        QCOMPARE(dialog.mSerialNumber, QStringLiteral("ABCDEFGH"));
        QCOMPARE(dialog.mDeg2Distortion, 0.988);
    }

    void defaultsButtonNeedsAuthority_data()
    {
        QTest::addColumn<int>("authority");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("1") << 1 << false;
        QTest::newRow("2") << 2 << true;
    }

    void defaultsButtonNeedsAuthority()
    {
        QFETCH(int, authority);
        QFETCH(bool, enabled);
        TestMeter meter;
        SetUpMeter(meter);
        meter.center = 100;
        meter.serialNumber = QStringLiteral("ZZ9");
        meter.blackLevel = 5;
        meter.deg2Distortion = 0.8;
        meter.authority = static_cast<int16_t>(authority);
        bool wasEnabled = !enabled;
        AnswerQuestion(QStringLiteral("Change Meter Settings"), true);
        testing::WhenModal(
            [&](QWidget* w) {
                auto* button = w->findChild<QPushButton*>(QStringLiteral("ForceDefaults"));
                wasEnabled = button->isEnabled();
                if (wasEnabled) button->click();
                ClickLater(w, QStringLiteral("btnOK"));
            },
            QStringLiteral("Haze Meter Properties"));
        ChangeMeterSettingsCommand(meter, Preferences{}, nullptr);
        QCOMPARE(wasEnabled, enabled);
        QVERIFY(!meter.log.contains(QStringLiteral("Authority=") + QString::number(authority)));
        if (enabled)
            QCOMPARE(meter.Writes().mid(2, 8), QStringList({"SerialNumber=001xx", "RefDutyCycle=85", "RefCenter=146", "Intensity=45",
                                                            "Center=110", "Deg2Distortion=1", "DOIDistortion=1", "BlackLevel=32767"}));
        else
            QCOMPARE(meter.serialNumber, QStringLiteral("ZZ9"));
    }

    // ---- Set Parameters ----

    void setParametersReadsAndWritesInOrder()
    {
        TestMeter meter;
        SetUpMeter(meter);
        bool keptAliveWhileOpen = false;
        QStringList shown;
        FillAndPress(QStringLiteral("Settings"), {{"edCenter", "120"}, {"edDutyCycle", "44"}}, QStringLiteral("btnOK"),
                     [&](QWidget* w) {
                         keptAliveWhileOpen = meter.keepAlive;
                         shown << w->findChild<QLineEdit*>(QStringLiteral("edCenter"))->text()
                               << w->findChild<QLineEdit*>(QStringLiteral("edDutyCycle"))->text();
                     });
        SetParametersCommand(meter, WithKeepAlive(false), nullptr);
        QVERIFY(keptAliveWhileOpen);
        QCOMPARE(shown, QStringList({"110", "37"}));
        QCOMPARE(meter.Writes(), QStringList({"Unlock", "KeepAlive=true", "Center=120", "DutyCycle=44", "KeepAlive=false"}));

        meter.log.clear();
        FillAndPress(QStringLiteral("Settings"), {{"edCenter", "90"}, {"edDutyCycle", "50"}}, QStringLiteral("btnCancel"));
        SetParametersCommand(meter, WithKeepAlive(true), nullptr);
        QCOMPARE(meter.Writes(), QStringList({"Unlock", "KeepAlive=true", "KeepAlive=true"}));
        QCOMPARE(meter.center, int16_t(120));
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
