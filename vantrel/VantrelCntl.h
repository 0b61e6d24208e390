#pragma once
// The meter control: the only road to the instrument. The application sets and reads its
// properties, calls its operations, hands it MeterReading and ScanData objects to fill, and
// reacts to its one event, MeterEvent(code).
#include <QObject>
#include <QString>
#include <cstdint>

#include "vantrel/MeterReading.h"
#include "vantrel/ScanData.h"

class VantrelCntl : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~VantrelCntl() override = default;

    // True opens the link, False closes it; read: a meter is linked.
    virtual bool Connected() const = 0;
    virtual void SetConnected(bool value) = 0;
    // 1 while the link is still being set up.
    virtual int32_t ConnectState() = 0;

    virtual int32_t MeterState() const = 0;
    virtual int32_t BatteryState() const = 0;
    virtual QString Version() const = 0;
    virtual QString SerialNumber() const = 0;
    virtual void SetSerialNumber(const QString& value) = 0;

    // False: refused.
    virtual bool TakeReading() = 0;
    virtual bool Scan(bool start) = 0;
    virtual void GetReading(MeterReading& reading, int16_t calIndex) = 0;
    virtual void GetScanData(ScanData& scan) = 0;

    virtual void Cancel() = 0;
    virtual void TurnOff() = 0;
    virtual void UpdateInfo() = 0;
    virtual void ClearCalibration() = 0;
    // False: failed.
    virtual bool Calibrate() = 0;
    virtual bool AdvancedCorrection() = 0;
    virtual bool Normalize() = 0;
    // False: the protected command is refused.
    virtual bool Unlock(double accessCode) = 0;

    virtual int16_t CalIndex() const = 0;
    virtual void SetCalIndex(int16_t value) = 0;
    virtual bool KeepAlive() const = 0;
    virtual void SetKeepAlive(bool value) = 0;
    virtual void SetEnableButton(bool value) = 0;
    virtual void SetConstDC(bool value) = 0;

    virtual int16_t Center() const = 0;
    virtual void SetCenter(int16_t value) = 0;
    virtual int16_t DutyCycle() const = 0;
    virtual void SetDutyCycle(int16_t value) = 0;
    virtual int16_t RefCenter() const = 0;
    virtual void SetRefCenter(int16_t value) = 0;
    virtual int16_t RefDutyCycle() const = 0;
    virtual void SetRefDutyCycle(int16_t value) = 0;
    virtual int16_t Intensity() const = 0;
    virtual void SetIntensity(int16_t value) = 0;
    virtual int32_t BlackLevel() const = 0;
    virtual void SetBlackLevel(int32_t value) = 0;
    virtual double Deg2Distortion() const = 0;
    virtual void SetDeg2Distortion(double value) = 0;
    virtual double DOIDistortion() const = 0;
    virtual void SetDOIDistortion(double value) = 0;

    // Above 1 enables the Defaults button of the meter settings dialog.
    virtual int16_t Authority() const = 0;

signals:
    // 12 reading ready, 21 scan ready, 9 busy, 10 idle, 6 warning, others: state changed.
    void MeterEvent(int code);
};
