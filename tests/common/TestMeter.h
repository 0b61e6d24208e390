#pragma once
// A VantrelCntl for tests: every property is a plain field, every call and every property
// access is logged in order, and the results of operations are set by the test.
#include <QQueue>
#include <QStringList>

#include "vantrel/VantrelCntl.h"

class TestMeter : public VantrelCntl {
    Q_OBJECT
public:
    using VantrelCntl::VantrelCntl;

    // Log of calls: "Connected=true", "ConnectState", "Center?" (a read), "Center=110" (a write), ...
    mutable QStringList log;
    bool logReads = true;

    // State
    bool connected = false;
    bool linkOnConnect = true;  // Connected := True links the meter
    QQueue<int> connectStates;  // answers of ConnectState before the final one
    int meterState = 1;
    int batteryState = 2;
    QString version = QStringLiteral("3.1");
    QString serialNumber = QStringLiteral("HZ001234");
    int16_t calIndex = 0;
    bool keepAlive = false, enableButton = false, constDC = false;
    int16_t center = 512, dutyCycle = 37, refCenter = 146, refDutyCycle = 85, intensity = 45;
    int32_t blackLevel = 32767;
    double deg2Distortion = 1.0, doiDistortion = 1.0;
    int16_t authority = 2;

    // Results
    bool takeReadingResult = true, scanResult = true, calibrateResult = true;
    bool correctionResult = true, normalizeResult = true, unlockResult = true;
    double lastUnlockCode = 0;

    // What GetReading and GetScanData hand out.
    MeterReading nextReading;
    ScanData nextScan;
    int16_t lastCalIndexAsked = -1;
    bool lastPixelAvgAsked = false;

    // Raises MeterEvent(code).
    void Emit(int code) { emit MeterEvent(code); }
    // A valid reading with these values, time stamp and cal standard.
    void SetNextReading(double specular, double doi, double deg2, double deg15,
                        const QString& calStd = QStringLiteral("Std A"),
                        const QDateTime& when = QDateTime(QDate(2002, 7, 4), QTime(14, 5, 9)), bool valid = true,
                        const QString& message = QString());

    // Not linked while the handshake still has answers of 1 to give.
    bool Connected() const override
    {
        note(QStringLiteral("Connected?"));
        return connected && connectStates.isEmpty();
    }
    void SetConnected(bool value) override;
    int32_t ConnectState() override;
    int32_t MeterState() const override
    {
        note(QStringLiteral("MeterState?"));
        return meterState;
    }
    int32_t BatteryState() const override
    {
        note(QStringLiteral("BatteryState?"));
        return batteryState;
    }
    QString Version() const override
    {
        note(QStringLiteral("Version?"));
        return version;
    }
    QString SerialNumber() const override
    {
        note(QStringLiteral("SerialNumber?"));
        return serialNumber;
    }
    void SetSerialNumber(const QString& v) override
    {
        log << QStringLiteral("SerialNumber=") + v;
        serialNumber = v;
    }
    bool TakeReading() override
    {
        log << QStringLiteral("TakeReading");
        return takeReadingResult;
    }
    bool Scan(bool start) override
    {
        log << QStringLiteral("Scan(%1)").arg(start ? "true" : "false");
        return scanResult;
    }
    void GetReading(MeterReading& reading, int16_t idx) override;
    void GetScanData(ScanData& scan) override
    {
        log << QStringLiteral("GetScanData");
        scan = nextScan;
    }
    void Cancel() override { log << QStringLiteral("Cancel"); }
    void TurnOff() override { log << QStringLiteral("TurnOff"); }
    void UpdateInfo() override { log << QStringLiteral("UpdateInfo"); }
    void ClearCalibration() override { log << QStringLiteral("ClearCalibration"); }
    bool Calibrate() override
    {
        log << QStringLiteral("Calibrate");
        return calibrateResult;
    }
    bool AdvancedCorrection() override
    {
        log << QStringLiteral("AdvancedCorrection");
        return correctionResult;
    }
    bool Normalize() override
    {
        log << QStringLiteral("Normalize");
        return normalizeResult;
    }
    bool Unlock(double code) override
    {
        log << QStringLiteral("Unlock");
        lastUnlockCode = code;
        return unlockResult;
    }
    int16_t CalIndex() const override
    {
        note(QStringLiteral("CalIndex?"));
        return calIndex;
    }
    void SetCalIndex(int16_t v) override
    {
        log << QStringLiteral("CalIndex=%1").arg(v);
        calIndex = v;
    }
    bool KeepAlive() const override
    {
        note(QStringLiteral("KeepAlive?"));
        return keepAlive;
    }
    void SetKeepAlive(bool v) override
    {
        log << QStringLiteral("KeepAlive=%1").arg(v ? "true" : "false");
        keepAlive = v;
    }
    void SetEnableButton(bool v) override
    {
        log << QStringLiteral("EnableButton=%1").arg(v ? "true" : "false");
        enableButton = v;
    }
    void SetConstDC(bool v) override
    {
        log << QStringLiteral("ConstDC=%1").arg(v ? "true" : "false");
        constDC = v;
    }
    int16_t Center() const override
    {
        note(QStringLiteral("Center?"));
        return center;
    }
    void SetCenter(int16_t v) override
    {
        log << QStringLiteral("Center=%1").arg(v);
        center = v;
    }
    int16_t DutyCycle() const override
    {
        note(QStringLiteral("DutyCycle?"));
        return dutyCycle;
    }
    void SetDutyCycle(int16_t v) override
    {
        log << QStringLiteral("DutyCycle=%1").arg(v);
        dutyCycle = v;
    }
    int16_t RefCenter() const override
    {
        note(QStringLiteral("RefCenter?"));
        return refCenter;
    }
    void SetRefCenter(int16_t v) override
    {
        log << QStringLiteral("RefCenter=%1").arg(v);
        refCenter = v;
    }
    int16_t RefDutyCycle() const override
    {
        note(QStringLiteral("RefDutyCycle?"));
        return refDutyCycle;
    }
    void SetRefDutyCycle(int16_t v) override
    {
        log << QStringLiteral("RefDutyCycle=%1").arg(v);
        refDutyCycle = v;
    }
    int16_t Intensity() const override
    {
        note(QStringLiteral("Intensity?"));
        return intensity;
    }
    void SetIntensity(int16_t v) override
    {
        log << QStringLiteral("Intensity=%1").arg(v);
        intensity = v;
    }
    int32_t BlackLevel() const override
    {
        note(QStringLiteral("BlackLevel?"));
        return blackLevel;
    }
    void SetBlackLevel(int32_t v) override
    {
        log << QStringLiteral("BlackLevel=%1").arg(v);
        blackLevel = v;
    }
    double Deg2Distortion() const override
    {
        note(QStringLiteral("Deg2Distortion?"));
        return deg2Distortion;
    }
    void SetDeg2Distortion(double v) override
    {
        log << QStringLiteral("Deg2Distortion=%1").arg(v);
        deg2Distortion = v;
    }
    double DOIDistortion() const override
    {
        note(QStringLiteral("DOIDistortion?"));
        return doiDistortion;
    }
    void SetDOIDistortion(double v) override
    {
        log << QStringLiteral("DOIDistortion=%1").arg(v);
        doiDistortion = v;
    }
    int16_t Authority() const override
    {
        note(QStringLiteral("Authority?"));
        return authority;
    }

    // The log without reads ("...?" entries).
    QStringList Writes() const;

private:
    void note(const QString& entry) const
    {
        if (logReads) log << entry;
    }
};
