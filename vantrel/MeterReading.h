#pragma once
// One reading of the meter, and the running accumulator of accepted readings.
#include <QDateTime>
#include <QString>

class MeterReading {
public:
    // Set by the application before each fetch; read back by the report from the accumulator.
    bool PixelAvg = true;
    bool Valid = false;
    QDateTime TimeStamp;
    QDateTime CalTimeStamp;
    QString SerialNo;

    double Specular() const { return m_specular; }
    double DOI() const { return m_doi; }
    double Deg2() const { return m_deg2; }
    double Deg15() const { return m_deg15; }
    QString CalStd() const { return m_calStd; }
    bool HasMessage() const { return m_hasMessage; }
    QString Message() const { return m_message; }

    // Filled by the meter control.
    void SetValues(double specular, double doi, double deg2, double deg15);
    void SetCalStd(const QString& name) { m_calStd = name; }
    void SetMessage(const QString& message);

    // Accumulator contract.
    // Forgets every reading; HasMessage is True while no reading is held.
    void Clear();
    // Takes one accepted reading into the running averages.
    void Add(const MeterReading& reading);
    // Takes one reading's four values out of the running averages.
    void Remove(double specular, double doi, double deg2, double deg15);
    // Lowers HasMessage again (the caller has found every remaining reading on CalStd).
    void ClearMessage();
    // Readings held by the accumulator.
    long Count() const { return m_count; }

private:
    void Recompute();

    double m_specular = 0, m_doi = 0, m_deg2 = 0, m_deg15 = 0;
    QString m_calStd;
    bool m_hasMessage = false;
    QString m_message;

    long m_count = 0;
    double m_sum[4] = {0, 0, 0, 0};
};
