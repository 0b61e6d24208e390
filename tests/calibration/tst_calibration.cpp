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

// The meter's value of a settings field, as the text the log would show.
QString MeterValue(const TestMeter& m, const QString& box)
{
    if (box == QLatin1String("edCenter")) return QString::number(m.center);
    if (box == QLatin1String("edRefCenter")) return QString::number(m.refCenter);
    if (box == QLatin1String("edIntensity")) return QString::number(m.intensity);
    if (box == QLatin1String("edRefDutyCycle")) return QString::number(m.refDutyCycle);
    if (box == QLatin1String("edDeg2Distortion")) return QString::number(m.deg2Distortion, 'g', 15);
    if (box == QLatin1String("edDOIDistortion")) return QString::number(m.doiDistortion, 'g', 15);
    if (box == QLatin1String("edBlackLevel")) return QString::number(m.blackLevel);
    if (box == QLatin1String("edSerialNumber")) return m.serialNumber;
    if (box == QLatin1String("edDutyCycle")) return QString::number(m.dutyCycle);
    return QStringLiteral("<unknown box>");
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

    void refusedPasswordStopsEveryCommand_data()
    {
        QTest::addColumn<void*>("command");
        QTest::addColumn<bool>("protectedByPassword");
        const QList<QPair<const char*, Command>> commands{
            {"calibrate", &CalibrateCommand},
            {"correction", &CorrectionCommand},
            {"clear configurations", &ClearConfigurationsCommand},
            {"change meter settings", &ChangeMeterSettingsCommand},
            {"set parameters", &SetParametersCommand},
            {"update information", &UpdateInformationCommand}};
        for (const auto& c : commands) {
            QTest::newRow(qPrintable(QStringLiteral("%1, wrong password").arg(c.first)))
                << reinterpret_cast<void*>(c.second) << true;
            QTest::newRow(qPrintable(QStringLiteral("%1, meter refuses").arg(c.first)))
                << reinterpret_cast<void*>(c.second) << false;
        }
    }

    void refusedPasswordStopsEveryCommand()
    {
        QFETCH(void*, command);
        QFETCH(bool, protectedByPassword);
        TestMeter meter;
        SetUpMeter(meter);
        Preferences p;
        QStringList titles;
        if (protectedByPassword) {
            p.Password = QStringLiteral("Cal1");
            p.PasswordProtection = true;
            FillAndPress(QStringLiteral("Enter Password"), {{QStringLiteral("edPassword"), QStringLiteral("CAL1")}},
                         QStringLiteral("Ok"));
            titles << QStringLiteral("Enter Password");
        } else {
            meter.unlockResult = false;
        }
        testing::WhenModal([](QWidget* w) { ClickLater(w, QStringLiteral("OKButton")); }, QStringLiteral("Password Failure"));
        titles << QStringLiteral("Password Failure");

        reinterpret_cast<Command>(command)(meter, p, nullptr);
        QCOMPARE(testing::AnsweredTitles(), titles);
        QCOMPARE(meter.log, QStringList{"Unlock"});
        QCOMPARE(m_sounds.sounds, QList<int>{48});  // the error notice's own beep only
    }

    void rightPasswordReachesTheMeter()
    {
        TestMeter meter;
        Preferences p;
        p.Password = QStringLiteral("Cal1");
        p.PasswordProtection = true;
        FillAndPress(QStringLiteral("Enter Password"), {{QStringLiteral("edPassword"), QStringLiteral("Cal1")}},
                     QStringLiteral("Ok"));
        AnswerQuestion(QStringLiteral("Delete Calibration Standards"), true);
        ClearConfigurationsCommand(meter, p, nullptr);
        QCOMPARE(meter.log, QStringList({"Unlock", "ClearCalibration"}));
        QCOMPARE(testing::AnsweredTitles(), QStringList({"Enter Password", "Delete Calibration Standards"}));
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

        // Esc cancels as well.
        meter.log.clear();
        AnswerQuestion(QStringLiteral("Change Meter Settings"), true);
        testing::WhenModal([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, QStringLiteral("Haze Meter Properties"));
        ChangeMeterSettingsCommand(meter, WithKeepAlive(true), nullptr);
        QCOMPARE(meter.Writes(), QStringList({"Unlock", "KeepAlive=true", "KeepAlive=true"}));

        // No leaves KeepAlive and everything else alone.
        meter.log.clear();
        AnswerQuestion(QStringLiteral("Change Meter Settings"), false);
        ChangeMeterSettingsCommand(meter, WithKeepAlive(true), nullptr);
        QCOMPARE(meter.log, QStringList{"Unlock"});
    }

    void meterSettingsAcceptOnlyTheirRanges_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");  // meter value afterwards; the old value when ignored
        // Old values: Center 110, RefCenter 146, Intensity 45, RefDutyCycle 85, distortions 1,
        // BlackLevel 32767.
        QTest::newRow("center 80 ignored") << "edCenter" << "80" << "110";
        QTest::newRow("center 81 taken") << "edCenter" << "81" << "81";
        QTest::newRow("center 139 taken") << "edCenter" << "139" << "139";
        QTest::newRow("center 139.6 taken, rounds to 140") << "edCenter" << "139.6" << "140";
        QTest::newRow("center 140 ignored") << "edCenter" << "140" << "110";
        QTest::newRow("center 80.4 taken, rounds to 80") << "edCenter" << "80.4" << "80";
        QTest::newRow("center 100.5 to even") << "edCenter" << "100.5" << "100";
        QTest::newRow("center 101.5 to even") << "edCenter" << "101.5" << "102";
        QTest::newRow("center text ignored") << "edCenter" << "abc" << "110";
        QTest::newRow("center leading number") << "edCenter" << " 95 px" << "95";
        QTest::newRow("ref center 130 ignored") << "edRefCenter" << "130" << "146";
        QTest::newRow("ref center 131 taken") << "edRefCenter" << "131" << "131";
        QTest::newRow("ref center 154 taken") << "edRefCenter" << "154" << "154";
        QTest::newRow("ref center 155 ignored") << "edRefCenter" << "155" << "146";
        QTest::newRow("intensity 0 ignored") << "edIntensity" << "0" << "45";
        QTest::newRow("intensity 0.4 taken, rounds to 0") << "edIntensity" << "0.4" << "0";
        QTest::newRow("intensity 255 taken") << "edIntensity" << "255" << "255";
        QTest::newRow("intensity 256 ignored") << "edIntensity" << "256" << "45";
        QTest::newRow("intensity huge ignored") << "edIntensity" << "1e30" << "45";
        QTest::newRow("ref duty cycle 0 ignored") << "edRefDutyCycle" << "0" << "85";
        QTest::newRow("ref duty cycle 300 taken") << "edRefDutyCycle" << "300" << "300";
        QTest::newRow("ref duty cycle 301 ignored") << "edRefDutyCycle" << "301" << "85";
        QTest::newRow("ref duty cycle text ignored") << "edRefDutyCycle" << "x" << "85";
        QTest::newRow("2 degree 0.5 ignored") << "edDeg2Distortion" << "0.5" << "1";
        QTest::newRow("2 degree 1.2345 unrounded") << "edDeg2Distortion" << "1.2345" << "1.2345";
        QTest::newRow("2 degree 1.5 ignored") << "edDeg2Distortion" << "1.5" << "1";
        QTest::newRow("DOI 0.5 ignored") << "edDOIDistortion" << "0.5" << "1";
        QTest::newRow("DOI 1.2345 unrounded") << "edDOIDistortion" << "1.2345" << "1.2345";
        QTest::newRow("DOI 1.5 ignored") << "edDOIDistortion" << "1.5" << "1";
        QTest::newRow("black level 65535 taken") << "edBlackLevel" << "65535" << "65535";
        QTest::newRow("black level 65536 ignored") << "edBlackLevel" << "65536" << "32767";
        QTest::newRow("black level 0 ignored") << "edBlackLevel" << "0" << "32767";
        QTest::newRow("black level 1 taken") << "edBlackLevel" << "1" << "1";
        QTest::newRow("serial trimmed") << "edSerialNumber" << "  AB 12  " << "AB 12";
        QTest::newRow("serial cut to 8") << "edSerialNumber" << "123456789" << "12345678";
        QTest::newRow("serial blanks then cut") << "edSerialNumber" << " 1234567890" << "1234567";
        QTest::newRow("serial empty taken") << "edSerialNumber" << "" << "";
    }

    void meterSettingsAcceptOnlyTheirRanges()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        TestMeter meter;
        SetUpMeter(meter);
        AnswerQuestion(QStringLiteral("Change Meter Settings"), true);
        FillAndPress(QStringLiteral("Haze Meter Properties"), {{box, typed}}, QStringLiteral("btnOK"));
        ChangeMeterSettingsCommand(meter, Preferences{}, nullptr);
        QCOMPARE(MeterValue(meter, box), expected);
        // Every other field goes back unchanged.
        TestMeter reference;
        SetUpMeter(reference);
        for (const char* other : {"edCenter", "edRefCenter", "edIntensity", "edRefDutyCycle", "edDeg2Distortion",
                                  "edDOIDistortion", "edSerialNumber", "edBlackLevel"})
            if (box != QLatin1String(other)) QCOMPARE(MeterValue(meter, QLatin1String(other)), MeterValue(reference, QLatin1String(other)));
    }

    void meterPropertiesShowTheMeterValues()
    {
        dlgMeterProperties dialog;
        dialog.mCenter = 111;
        dialog.mRefCenter = 147;
        dialog.mIntensity = 46;
        dialog.mRefDutyCycle = 86;
        dialog.mDeg2Distortion = 0.98765;
        dialog.mDOIDistortion = 1.0;
        dialog.mSerialNumber = QStringLiteral("ABCDEFGHIJK");
        dialog.mBlackLevel = 40000;
        dialog.mAuthority = 1;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.edCenter->text(), QStringLiteral("111"));
        QCOMPARE(dialog.edRefCenter->text(), QStringLiteral("147"));
        QCOMPARE(dialog.edIntensity->text(), QStringLiteral("46"));
        QCOMPARE(dialog.edRefDutyCycle->text(), QStringLiteral("86"));
        QCOMPARE(dialog.edDeg2Distortion->text(), QStringLiteral("0.988"));
        QCOMPARE(dialog.edDOIDistortion->text(), QStringLiteral("1.000"));
        QCOMPARE(dialog.edSerialNumber->text(), QStringLiteral("ABCDEFGH"));
        QCOMPARE(dialog.edBlackLevel->text(), QStringLiteral("40000"));
        QVERIFY(!dialog.ForceDefaults->isEnabled());
        QVERIFY(!dialog.DoChange);

        // Screen order from the top, labels right-aligned to the left of their boxes.
        const QList<QLineEdit*> boxes{dialog.edCenter,         dialog.edRefCenter,     dialog.edIntensity,
                                      dialog.edRefDutyCycle,   dialog.edDeg2Distortion, dialog.edDOIDistortion,
                                      dialog.edSerialNumber,   dialog.edBlackLevel};
        for (int i = 1; i < boxes.size(); ++i) QVERIFY(boxes[i]->y() > boxes[i - 1]->y());
        for (QLineEdit* box : boxes) {
            auto* label = qobject_cast<QLabel*>(dialog.findChild<QLabel*>(QStringLiteral("lbl") + box->objectName().mid(2)));
            QVERIFY2(label, qPrintable(box->objectName()));
            QCOMPARE(label->buddy(), box);
            QVERIFY(label->alignment() & Qt::AlignRight);
            QVERIFY(label->x() + label->width() <= box->x());
            QVERIFY(!box->accessibleName().isEmpty());
        }
        QVERIFY(dialog.btnOK->y() > dialog.edBlackLevel->y());
        QVERIFY(dialog.ForceDefaults->x() < dialog.btnOK->x() && dialog.btnOK->x() < dialog.btnCancel->x());

        // Ok with untouched boxes hands back what was shown: the serial number cut to 8.
        dialog.btnOK->click();
        QVERIFY(dialog.DoChange);
        QCOMPARE(dialog.mSerialNumber, QStringLiteral("ABCDEFGH"));
        QCOMPARE(dialog.mDeg2Distortion, 0.988);
        QCOMPARE(dialog.mBlackLevel, 40000);
    }

    void defaultsButtonNeedsAuthority_data()
    {
        QTest::addColumn<int>("authority");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("0") << 0 << false;
        QTest::newRow("1") << 1 << false;
        QTest::newRow("2") << 2 << true;
        QTest::newRow("5") << 5 << true;
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
        QString centerAfterDefaults;
        AnswerQuestion(QStringLiteral("Change Meter Settings"), true);
        testing::WhenModal(
            [&](QWidget* w) {
                auto* button = w->findChild<QPushButton*>(QStringLiteral("ForceDefaults"));
                wasEnabled = button->isEnabled();
                if (wasEnabled) button->click();
                centerAfterDefaults = w->findChild<QLineEdit*>(QStringLiteral("edCenter"))->text();
                ClickLater(w, QStringLiteral("btnOK"));
            },
            QStringLiteral("Haze Meter Properties"));
        ChangeMeterSettingsCommand(meter, Preferences{}, nullptr);
        QCOMPARE(wasEnabled, enabled);
        QVERIFY(!meter.log.contains(QStringLiteral("Authority=") + QString::number(authority)));
        if (enabled) {
            QCOMPARE(centerAfterDefaults, QStringLiteral("110"));
            QStringList writes = meter.Writes().mid(2, 8);
            QCOMPARE(writes, QStringList({"SerialNumber=001xx", "RefDutyCycle=85", "RefCenter=146", "Intensity=45",
                                          "Center=110", "Deg2Distortion=1", "DOIDistortion=1", "BlackLevel=32767"}));
        } else {
            QCOMPARE(centerAfterDefaults, QStringLiteral("100"));
            QCOMPARE(meter.center, int16_t(100));
            QCOMPARE(meter.serialNumber, QStringLiteral("ZZ9"));
        }
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
        QCOMPARE(meter.log, QStringList({"Unlock", "KeepAlive=true", "Center?", "DutyCycle?", "Center=120", "DutyCycle=44",
                                         "KeepAlive=false"}));

        meter.log.clear();
        FillAndPress(QStringLiteral("Settings"), {{"edCenter", "90"}, {"edDutyCycle", "50"}}, QStringLiteral("btnCancel"));
        SetParametersCommand(meter, WithKeepAlive(true), nullptr);
        QCOMPARE(meter.Writes(), QStringList({"Unlock", "KeepAlive=true", "KeepAlive=true"}));
        QCOMPARE(meter.center, int16_t(120));
    }

    void parametersAcceptOnlyTheirRanges_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");  // old values: Center 110, DutyCycle 37
        QTest::newRow("center 80 ignored") << "edCenter" << "80" << "110";
        QTest::newRow("center 81 taken") << "edCenter" << "81" << "81";
        QTest::newRow("center 139.6 taken") << "edCenter" << "139.6" << "140";
        QTest::newRow("center 140 ignored") << "edCenter" << "140" << "110";
        QTest::newRow("center text ignored") << "edCenter" << "none" << "110";
        QTest::newRow("duty cycle 0 taken") << "edDutyCycle" << "0" << "0";
        QTest::newRow("duty cycle 300 taken") << "edDutyCycle" << "300" << "300";
        QTest::newRow("duty cycle 300.4 ignored") << "edDutyCycle" << "300.4" << "37";
        QTest::newRow("duty cycle 301 ignored") << "edDutyCycle" << "301" << "37";
        QTest::newRow("duty cycle -1 ignored") << "edDutyCycle" << "-1" << "37";
        QTest::newRow("duty cycle text gives 0") << "edDutyCycle" << "abc" << "0";
        QTest::newRow("duty cycle empty gives 0") << "edDutyCycle" << "" << "0";
        QTest::newRow("duty cycle 12.5 to even") << "edDutyCycle" << "12.5" << "12";
    }

    void parametersAcceptOnlyTheirRanges()
    {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        TestMeter meter;
        SetUpMeter(meter);
        FillAndPress(QStringLiteral("Settings"), {{box, typed}}, QStringLiteral("btnOK"));
        SetParametersCommand(meter, Preferences{}, nullptr);
        QCOMPARE(MeterValue(meter, box), expected);
        const QString other = box == QLatin1String("edCenter") ? QStringLiteral("edDutyCycle") : QStringLiteral("edCenter");
        QCOMPARE(MeterValue(meter, other), other == QLatin1String("edCenter") ? QStringLiteral("110") : QStringLiteral("37"));
    }

    // ---- Keyboard order ----

    void tabOrderFollowsTheDialogDesign()
    {
        auto focusOrder = [](QWidget* first, int count) {
            QStringList names;
            QWidget* w = first;
            for (int i = 0; i < count; ++i) {
                names << w->objectName();
                do w = w->nextInFocusChain();
                while (w != first && !(w->focusPolicy() & Qt::TabFocus));
                if (w == first) break;
            }
            return names;
        };
        dlgMeterProperties properties;
        QCOMPARE(focusOrder(properties.btnOK, 11),
                 QStringList({"btnOK", "btnCancel", "edCenter", "edRefCenter", "edIntensity", "edRefDutyCycle",
                              "edDeg2Distortion", "edDOIDistortion", "edSerialNumber", "ForceDefaults", "edBlackLevel"}));
        QVERIFY(properties.btnOK->isDefault());
        dlgSettings settings;
        QCOMPARE(focusOrder(settings.btnOK, 4), QStringList({"btnOK", "btnCancel", "edCenter", "edDutyCycle"}));
        QVERIFY(settings.btnOK->isDefault());
    }
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
