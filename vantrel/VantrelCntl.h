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
    // Codes carried by MeterEvent. A control may raise others; the program refreshes its status
    // display for most of them.
    struct Event {
        enum Code : int {
            StateChanged = 1,  // MeterState changed (getting parameters, woke up)
            LinkChanged = 2,  // linked, lost, not found; also raised when a handshake ends
            SwitchedOff = 3,  // the meter switched itself off
            Warning = 6,  // something the operator must hear about (a low battery)
            Busy = 9,  // a measurement, scan, calibration or correction began
            Idle = 10,  // ... and has ended
            ReadingReady = 12,  // GetReading has a reading
            ScanReady = 21,  // GetScanData has a scan
        };
    };
    // Values of MeterState.
    struct State {
        enum Code : int32_t { GettingParameters = 0, Waiting = 1, Off = 2, Scanning = 3, Correcting = 4 };
    };
    // Values of BatteryState.
    struct Battery {
        enum Code : int32_t { Low = 1, Ok = 2 };
    };
    // What ConnectState returns while the link is still being set up.
    static constexpr int32_t Connecting = 1;

    using QObject::QObject;
    ~VantrelCntl() override = default;

    // True opens the link, False closes it; read: a meter is linked.
    // SetConnected(true) starts the link handshake. Every control ends its handshake in bounded
    // time, linked or not (a real transport by its own time-out), and then raises
    // MeterEvent(Event::LinkChanged); a handshake may also end at once, inside SetConnected.
    virtual bool Connected() const = 0;
    virtual void SetConnected(bool value) = 0;
    // Connecting while the link is still being set up.
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
    // One of Event::Code, or a code of the control's own.
    void MeterEvent(int code);
};
