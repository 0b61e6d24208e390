#pragma once
// The place of the meter control on the main window: one VantrelCntl that the window keeps for
// its whole life, holding the meter control in use and passing every call and event through,
// so that the operator can change to another meter control without restarting the program.
#include <memory>

#include "vantrel/VantrelCntl.h"

class MeterSlot : public VantrelCntl {
    Q_OBJECT
public:
    // Takes the control (never null) as its own.
    explicit MeterSlot(VantrelCntl* control, QObject* parent = nullptr);
    ~MeterSlot() override;

    VantrelCntl* Control() const { return m_control; }
    // Puts another control in its place and deletes the one in use (whose link the caller has
    // closed). The new control's link is not opened.
    void Replace(VantrelCntl* control);

    bool Connected() const override { return m_control->Connected(); }
    void SetConnected(bool value) override { m_control->SetConnected(value); }
    int32_t ConnectState() override { return m_control->ConnectState(); }
    int32_t MeterState() const override { return m_control->MeterState(); }
    int32_t BatteryState() const override { return m_control->BatteryState(); }
    QString Version() const override { return m_control->Version(); }
    QString SerialNumber() const override { return m_control->SerialNumber(); }
    void SetSerialNumber(const QString& value) override { m_control->SetSerialNumber(value); }
    bool TakeReading() override { return m_control->TakeReading(); }
    bool Scan(bool start) override { return m_control->Scan(start); }
    void GetReading(MeterReading& reading, int16_t calIndex) override { m_control->GetReading(reading, calIndex); }
    void GetScanData(ScanData& scan) override { m_control->GetScanData(scan); }
    void Cancel() override { m_control->Cancel(); }
    void TurnOff() override { m_control->TurnOff(); }
    void UpdateInfo() override { m_control->UpdateInfo(); }
    void ClearCalibration() override { m_control->ClearCalibration(); }
    bool Calibrate() override { return m_control->Calibrate(); }
    bool AdvancedCorrection() override { return m_control->AdvancedCorrection(); }
    bool Normalize() override { return m_control->Normalize(); }
    bool Unlock(double accessCode) override { return m_control->Unlock(accessCode); }
    int16_t CalIndex() const override { return m_control->CalIndex(); }
    void SetCalIndex(int16_t value) override { m_control->SetCalIndex(value); }
    bool KeepAlive() const override { return m_control->KeepAlive(); }
    void SetKeepAlive(bool value) override { m_control->SetKeepAlive(value); }
    void SetEnableButton(bool value) override { m_control->SetEnableButton(value); }
    void SetConstDC(bool value) override { m_control->SetConstDC(value); }
    int16_t Center() const override { return m_control->Center(); }
    void SetCenter(int16_t value) override { m_control->SetCenter(value); }
    int16_t DutyCycle() const override { return m_control->DutyCycle(); }
    void SetDutyCycle(int16_t value) override { m_control->SetDutyCycle(value); }
    int16_t RefCenter() const override { return m_control->RefCenter(); }
    void SetRefCenter(int16_t value) override { m_control->SetRefCenter(value); }
    int16_t RefDutyCycle() const override { return m_control->RefDutyCycle(); }
    void SetRefDutyCycle(int16_t value) override { m_control->SetRefDutyCycle(value); }
    int16_t Intensity() const override { return m_control->Intensity(); }
    void SetIntensity(int16_t value) override { m_control->SetIntensity(value); }
    int32_t BlackLevel() const override { return m_control->BlackLevel(); }
    void SetBlackLevel(int32_t value) override { m_control->SetBlackLevel(value); }
    double Deg2Distortion() const override { return m_control->Deg2Distortion(); }
    void SetDeg2Distortion(double value) override { m_control->SetDeg2Distortion(value); }
    double DOIDistortion() const override { return m_control->DOIDistortion(); }
    void SetDOIDistortion(double value) override { m_control->SetDOIDistortion(value); }
    int16_t Authority() const override { return m_control->Authority(); }

private:
    VantrelCntl* m_control = nullptr;
};
