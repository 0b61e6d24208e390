#pragma once
// The certificate: a PDF stating the listed readings against a standard. The lab's name and
// optional logo (settings [Certificate] Lab and Logo), the standard and its limits, every reading
// with its verdict, count, mean, standard deviation, smallest and largest of each value, a trend
// plot, the instrument's serial number and cal standard, the operator and the time, and in the
// footer of every page the SHA-256 of the listed records, so that a copy can be checked against
// the records it states.
#include <QDateTime>
#include <QString>
#include <array>
#include <vector>

#include "quality/Verdict.h"

namespace quality {

struct CertificateReading {
    QString time;  // as the list shows it
    std::array<double, kParameterCount> values{};
    QString calStandard;
};

struct CertificateContent {
    QString lab;
    QString logoPath;  // empty or unreadable: no logo
    Standard standard;
    std::vector<CertificateReading> readings;
    int digits = 2;
    QString serialNumber;
    QString calStandard;
    QString operatorName;
    QDateTime when;
};

// One line per listed record (time, the four values in the list's format, cal standard and
// verdict, separated by tabs), in order.
QString CertificateRecords(const CertificateContent& content);
// SHA-256 (hex, lower case) of CertificateRecords as UTF-8.
QString CertificateDigest(const CertificateContent& content);
// "<standard> <yyyy-MM-dd>.pdf", with characters a file name cannot hold replaced by "_".
QString CertificateFileName(const QString& standard, const QDate& date);
// Writes the PDF; false with *problem when the file cannot be written.
bool WriteCertificate(const QString& path, const CertificateContent& content, QString* problem = nullptr);

}  // namespace quality
