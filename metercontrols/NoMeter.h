#pragma once
// The meter control of a program without an instrument: it never links. Opening the link ends
// its handshake at once with "not found"; every operation is refused and every property reads
// as nothing.
#include "vantrel/VantrelCntl.h"

class NoMeter : public VantrelCntl {
    Q_OBJECT
public:
    using VantrelCntl::VantrelCntl;

    bool Connected() const override { return false; }
    void SetConnected(bool value) override;
    int32_t ConnectState() override { return 0; }
    int32_t MeterState() const override { return State::Off; }
    int32_t BatteryState() const override { return 0; }
    QString Version() const override { return QString(); }
    QString SerialNumber() const override { return QString(); }
    void SetSerialNumber(const QString&) override {}
    bool TakeReading() override { return false; }
    bool Scan(bool) override { return false; }
    void GetReading(MeterReading& reading, int16_t calIndex) override;
    void GetScanData(ScanData& scan) override { scan.Clear(); }
    void Cancel() override {}
    void TurnOff() override {}
    void UpdateInfo() override {}
    void ClearCalibration() override {}
    bool Calibrate() override { return false; }
    bool AdvancedCorrection() override { return false; }
    bool Normalize() override { return false; }
    bool Unlock(double) override { return false; }
    int16_t CalIndex() const override { return m_calIndex; }
    void SetCalIndex(int16_t value) override { m_calIndex = value; }
    bool KeepAlive() const override { return m_keepAlive; }
    void SetKeepAlive(bool value) override { m_keepAlive = value; }
    void SetEnableButton(bool) override {}
    void SetConstDC(bool) override {}
    int16_t Center() const override { return 0; }
    void SetCenter(int16_t) override {}
    int16_t DutyCycle() const override { return 0; }
    void SetDutyCycle(int16_t) override {}
    int16_t RefCenter() const override { return 0; }
    void SetRefCenter(int16_t) override {}
    int16_t RefDutyCycle() const override { return 0; }
    void SetRefDutyCycle(int16_t) override {}
    int16_t Intensity() const override { return 0; }
    void SetIntensity(int16_t) override {}
    int32_t BlackLevel() const override { return 0; }
    void SetBlackLevel(int32_t) override {}
    double Deg2Distortion() const override { return 0; }
    void SetDeg2Distortion(double) override {}
    double DOIDistortion() const override { return 0; }
    void SetDOIDistortion(double) override {}
    int16_t Authority() const override { return 1; }

private:
    // Kept so that the preferences read back at shutdown are the ones handed in.
    int16_t m_calIndex = 0;
    bool m_keepAlive = false;
};
