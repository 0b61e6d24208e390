// Calibration commands, meter settings and measurement parameters: the range rules of the typed
// values as a table, and each dialog once through its command against a logging meter control.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <functional>

#include "calibration/CalibrationCommands.h"
#include "calibration/TypedNumber.h"
#include "tests/common/RecordingSoundSink.h"
#include "tests/common/ModalHelper.h"
#include "tests/common/TestMeter.h"

Q_DECLARE_METATYPE(calibration::MeterField)

namespace {

using Command = void (*)(VantrelCntl&, const Preferences&, QWidget*);
using calibration::MeterField;

void AnswerQuestion(const QString& title, bool yes, QString* question = nullptr)
{
    testing::WhenModal(
        [yes, question](QWidget* w) {
            if (question) *question = w->findChild<QLabel*>(QStringLiteral("MsgLbl"))->text();
            testing::ClickLater(w, yes ? QStringLiteral("YesButton") : QStringLiteral("NoButton"));
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
            testing::ClickLater(w, button);
        },
        title);
}

Preferences WithKeepAlive(bool keepAlive)
{
    Preferences p;
    p.KeepAlive = keepAlive;
    return p;
}

QString BoxText(QWidget* w, const char* name)
{
    return w->findChild<QLineEdit*>(QLatin1String(name))->text();
}

}  // namespace

class TestCalibration : public QObject {
    Q_OBJECT

private:
    RecordingSoundSink m_sounds;

private slots:
    void initTestCase() { support::SetSounds(&m_sounds); }

    void init()
    {
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("modal dialog titled|no button named|no line edit named")));
        m_sounds.sounds.clear();
        testing::ClearModals();
    }

    void cleanup() { testing::VerifyAllAnswered(); }

    // An operation runs once, after the meter is unlocked; a refusal of the operation beeps, and
    // clearing the configurations asks first. A refused authorisation ends every command before
    // anything is asked or written (how the password is checked is proven with AuthorizeCommand).
    void commandsRunOnceUnlocked_data()
    {
        QTest::addColumn<void*>("command");
        QTest::addColumn<bool>("unlock");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("answer");  // to the question asked first, if any
        QTest::addColumn<QStringList>("log");
        const auto row = [](const char* name, auto command, bool unlock, bool result, const char* answer,
                            const QStringList& log) {
            QTest::newRow(name) << reinterpret_cast<void*>(command) << unlock << result << QString(answer) << log;
        };
        row("calibrate accepted", &CalibrateCommand, true, true, "", {"Unlock", "Calibrate"});
        row("calibrate refused", &CalibrateCommand, true, false, "", {"Unlock", "Calibrate"});
        row("correction accepted", &CorrectionCommand, true, true, "", {"Unlock", "AdvancedCorrection"});
        row("correction refused", &CorrectionCommand, true, false, "", {"Unlock", "AdvancedCorrection"});
        row("update information", &UpdateInformationCommand, true, true, "", {"Unlock", "UpdateInfo"});
        row("clear configurations, No", &ClearConfigurationsCommand, true, true, "No", {"Unlock"});
        row("clear configurations, Yes", &ClearConfigurationsCommand, true, true, "Yes",
            {"Unlock", "ClearCalibration"});
        row("calibrate locked", &CalibrateCommand, false, false, "", {"Unlock"});
        row("correction locked", &CorrectionCommand, false, false, "", {"Unlock"});
        row("clear configurations locked", &ClearConfigurationsCommand, false, false, "", {"Unlock"});
        row("change meter settings locked", &ChangeMeterSettingsCommand, false, false, "", {"Unlock"});
        row("set parameters locked", &SetParametersCommand, false, false, "", {"Unlock"});
        row("update information locked", &UpdateInformationCommand, false, false, "", {"Unlock"});
    }

    void commandsRunOnceUnlocked()
    {
        QFETCH(void*, command);
        QFETCH(bool, unlock);
        QFETCH(bool, result);
        QFETCH(QString, answer);
        QFETCH(QStringList, log);
        TestMeter meter;
        meter.unlockResult = unlock;
        meter.calibrateResult = meter.correctionResult = result;
        if (!unlock)
            testing::WhenModal([](QWidget* w) { testing::ClickLater(w, QStringLiteral("OKButton")); },
                               QStringLiteral("Password Failure"));
        QString question;
        if (!answer.isEmpty())
            AnswerQuestion(QStringLiteral("Delete Calibration Standards"), answer == QLatin1String("Yes"), &question);
        Preferences p;
        p.SoundOn = false;  // the refusal beep does not depend on it
        reinterpret_cast<Command>(command)(meter, p, nullptr);
        QCOMPARE(meter.log, log);
        QCOMPARE(m_sounds.sounds, result ? QList<int>{} : QList<int>{RecordingSoundSink::Warning});
        QCOMPARE(testing::AnsweredTitles().size(), answer.isEmpty() && unlock ? 0 : 1);
        if (!answer.isEmpty())
            QCOMPARE(question,
                     QStringLiteral("Warning! This operation will delete all the calibration data stored in the Haze "
                                    "Meter. Do you wish to continue?"));
    }

    // A value outside its field's range is ignored (the old value stays); whole-number fields
    // take the value rounded halves-to-even, the distortions take it unrounded.
    void typedValuesAcceptOnlyTheirRanges_data()
    {
        QTest::addColumn<MeterField>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");  // -1: ignored
        QTest::newRow("center 80 ignored") << MeterField::Center << "80" << -1.0;
        QTest::newRow("center 80.4 rounds to 80") << MeterField::Center << "80.4" << 80.0;
        QTest::newRow("center 140 ignored") << MeterField::Center << "140" << -1.0;
        QTest::newRow("center 100.5 to even") << MeterField::Center << "100.5" << 100.0;
        QTest::newRow("center leading number") << MeterField::Center << " 95 px" << 95.0;
        QTest::newRow("ref center 130 ignored") << MeterField::RefCenter << "130" << -1.0;
        QTest::newRow("ref center 155 ignored") << MeterField::RefCenter << "155" << -1.0;
        QTest::newRow("intensity 0 ignored") << MeterField::Intensity << "0" << -1.0;
        QTest::newRow("intensity 0.4 rounds to 0") << MeterField::Intensity << "0.4" << 0.0;
        QTest::newRow("intensity 255") << MeterField::Intensity << "255" << 255.0;
        QTest::newRow("intensity 256 ignored") << MeterField::Intensity << "256" << -1.0;
        QTest::newRow("ref duty cycle 0 ignored") << MeterField::RefDutyCycle << "0" << -1.0;
        QTest::newRow("ref duty cycle 300") << MeterField::RefDutyCycle << "300" << 300.0;
        QTest::newRow("ref duty cycle 301 ignored") << MeterField::RefDutyCycle << "301" << -1.0;
        QTest::newRow("distortion 0.5 ignored") << MeterField::Distortion << "0.5" << -1.0;
        QTest::newRow("distortion 1.2345 unrounded") << MeterField::Distortion << "1.2345" << 1.2345;
        QTest::newRow("black level 0 ignored") << MeterField::BlackLevel << "0" << -1.0;
        QTest::newRow("black level 65535") << MeterField::BlackLevel << "65535" << 65535.0;
        QTest::newRow("black level 65536 ignored") << MeterField::BlackLevel << "65536" << -1.0;
        QTest::newRow("duty cycle 0") << MeterField::DutyCycle << "0" << 0.0;
        QTest::newRow("duty cycle 300.4 ignored") << MeterField::DutyCycle << "300.4" << -1.0;
        QTest::newRow("duty cycle text counts 0") << MeterField::DutyCycle << "abc" << 0.0;
        QTest::newRow("duty cycle too large to hold ignored")
            << MeterField::DutyCycle << QString(400, QLatin1Char('9')) << -1.0;
        QTest::newRow("intensity 1e999 ignored") << MeterField::Intensity << "1e999" << -1.0;
    }

    void typedValuesAcceptOnlyTheirRanges()
    {
        QFETCH(MeterField, field);
        QFETCH(QString, typed);
        QFETCH(double, stored);
        const std::optional<double> v = calibration::AcceptedValue(field, typed);
        QCOMPARE(v.has_value(), stored >= 0);
        if (!v) return;
        if (field == MeterField::Distortion) QCOMPARE(*v, stored);
        else if (field == MeterField::BlackLevel) QCOMPARE(calibration::RoundToInt32(*v), int32_t(stored));
        else QCOMPARE(calibration::RoundToInt16(*v), int16_t(stored));
    }

    // The dialog shows the meter's values (distortions at three decimals, the serial number cut
    // to 8), the meter is kept alive while it is open, and Ok writes every field, in order.
    void changeMeterSettingsReadsAndWritesInOrder_data()
    {
        QTest::addColumn<bool>("keepAlive");
        QTest::addColumn<int>("authority");  // above 1: Defaults is enabled, and pressed
        QTest::addColumn<QStringList>("writes");
        // The 2 degree box is left as shown, the black level typed out of range keeps its value.
        const QStringList typed{"SerialNumber=SN 77", "RefDutyCycle=90",      "RefCenter=140",     "Intensity=50",
                                "Center=100",         "Deg2Distortion=0.988", "DOIDistortion=0.9", "BlackLevel=32767"};
        QTest::newRow("keep-alive preference off") << false << 1 << typed + QStringList{"KeepAlive=false"};
        QTest::newRow("keep-alive preference on") << true << 1 << typed + QStringList{"KeepAlive=true"};
        QTest::newRow("defaults") << false << 2
                                  << QStringList{"SerialNumber=001xx", "RefDutyCycle=85",  "RefCenter=146",
                                                 "Intensity=45",       "Center=110",       "Deg2Distortion=1",
                                                 "DOIDistortion=1",    "BlackLevel=32767", "KeepAlive=false"};
    }

    void changeMeterSettingsReadsAndWritesInOrder()
    {
        QFETCH(bool, keepAlive);
        QFETCH(int, authority);
        QFETCH(QStringList, writes);
        TestMeter meter;
        meter.deg2Distortion = 0.98765;
        meter.serialNumber = QStringLiteral("ABCDEFGHIJK");
        meter.keepAlive = !keepAlive;
        meter.authority = int16_t(authority);
        QString question;
        QStringList shown;
        bool keptAliveWhileOpen = false;
        AnswerQuestion(QStringLiteral("Change Meter Settings"), true, &question);
        testing::WhenModal(
            [&](QWidget* w) {
                keptAliveWhileOpen = meter.keepAlive;
                shown << BoxText(w, "edDeg2Distortion") << BoxText(w, "edSerialNumber");
                auto* defaults = w->findChild<QPushButton*>(QStringLiteral("ForceDefaults"));
                QCOMPARE(defaults->isEnabled(), authority > 1);
                if (defaults->isEnabled()) defaults->click();
                else
                    for (const auto& [box, text] :
                         QList<QPair<const char*, const char*>>{{"edCenter", "100"},
                                                                {"edRefCenter", "140"},
                                                                {"edIntensity", "50"},
                                                                {"edRefDutyCycle", "90"},
                                                                {"edDOIDistortion", "0.9"},
                                                                {"edSerialNumber", "  SN 77 "},
                                                                {"edBlackLevel", "70000"}})
                        testing::TypeInto(w, QLatin1String(box), QLatin1String(text));
                testing::ClickLater(w, QStringLiteral("btnOK"));
            },
            QStringLiteral("Haze Meter Properties"));
        ChangeMeterSettingsCommand(meter, WithKeepAlive(keepAlive), nullptr);
        QCOMPARE(question,
                 QStringLiteral("Warning! This operation can result in loss of calibration. Do you wish to continue?"));
        QVERIFY(keptAliveWhileOpen);
        QCOMPARE(shown, QStringList({"0.988", "ABCDEFGH"}));
        QCOMPARE(meter.Writes(), QStringList({"Unlock", "KeepAlive=true"}) + writes);
    }

    void setParametersReadsAndWritesInOrder()
    {
        TestMeter meter;
        meter.center = 110;
        bool keptAliveWhileOpen = false;
        QStringList shown;
        FillAndPress(QStringLiteral("Settings"), {{"edCenter", "120"}, {"edDutyCycle", "0"}}, QStringLiteral("btnOK"),
                     [&](QWidget* w) {
                         keptAliveWhileOpen = meter.keepAlive;
                         shown << BoxText(w, "edCenter") << BoxText(w, "edDutyCycle");
                     });
        SetParametersCommand(meter, WithKeepAlive(false), nullptr);
        QVERIFY(keptAliveWhileOpen);
        QCOMPARE(shown, QStringList({"110", "37"}));
        QCOMPARE(meter.Writes(),
                 QStringList({"Unlock", "KeepAlive=true", "Center=120", "DutyCycle=0", "KeepAlive=false"}));

        meter.log.clear();
        FillAndPress(QStringLiteral("Settings"), {{"edCenter", "90"}, {"edDutyCycle", "50"}},
                     QStringLiteral("btnCancel"));
        SetParametersCommand(meter, WithKeepAlive(true), nullptr);
        QCOMPARE(meter.Writes(), QStringList({"Unlock", "KeepAlive=true", "KeepAlive=true"}));
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
