// The first line of a data file: reading it from the file and recognising the header, and the
// header, reading and old-data lines built from arbitrary texts, which must stay one line each.
#include <QDateTime>
#include <QStringList>
#include <algorithm>
#include <cstring>

#include "datafile/AppendFile.h"
#include "datafile/DataLines.h"
#include "fuzz/FuzzSupport.h"
#include "vantrel/MeterReading.h"

namespace {

using datafile::HeaderForm;

// An independent reading of the rule: after an optional UTF-8 byte order mark, the line begins
// with the fixed header of either form, letters in any case.
HeaderForm ExpectedForm(const QByteArray& line)
{
    QByteArray text = line;
    if (text.startsWith("\xEF\xBB\xBF")) text.remove(0, 3);
    const QByteArray lower = text.toLower();
    if (lower.startsWith(datafile::FixedHeader(true).toLatin1().toLower())) return HeaderForm::Comma;
    if (lower.startsWith(datafile::FixedHeader(false).toLatin1().toLower())) return HeaderForm::Tab;
    return HeaderForm::None;
}

// Exactly one line: the only CR and LF bytes are the CR LF at its end.
void CheckOneLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8();
    FUZZ_CHECK(bytes.endsWith("\r\n"));
    const QByteArray body = bytes.chopped(2);
    FUZZ_CHECK(!body.contains('\r') && !body.contains('\n'));
}

void CheckFirstLine(const QByteArray& input)
{
    const QString path = fuzzing::ScratchDir() + QStringLiteral("/data.csv");
    if (!fuzzing::WriteFile(path, reinterpret_cast<const uint8_t*>(input.constData()), static_cast<size_t>(input.size())))
        return;
    QByteArray line;
    const bool read = datafile::ReadFirstLine(path, &line);
    FUZZ_CHECK(read == !input.isEmpty());
    if (!read) return;
    qsizetype end = input.size();
    for (qsizetype i = 0; i < input.size(); ++i) {
        if (input.at(i) == '\r' || input.at(i) == '\n') {
            end = i;
            break;
        }
    }
    FUZZ_CHECK(line == input.left(std::min<qsizetype>(end, 4096)));
    FUZZ_CHECK(datafile::RecognizeHeader(line) == ExpectedForm(line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024) return 0;
    const QByteArray input = fuzzing::Bytes(data, size);

    FUZZ_CHECK(datafile::RecognizeHeader(input) == ExpectedForm(input));
    CheckFirstLine(input);

    // The input cut at NUL bytes gives the texts of the generated lines.
    QStringList texts;
    for (const QByteArray& part : input.split('\0')) texts.append(QString::fromUtf8(part));
    const QStringList headers = texts.mid(0, 7);

    for (bool comma : {true, false}) {
        const QString header = datafile::HeaderLine(comma, headers);
        CheckOneLine(header);
        const HeaderForm form = comma ? HeaderForm::Comma : HeaderForm::Tab;
        FUZZ_CHECK(datafile::RecognizeHeader(header.toUtf8()) == form);
        FUZZ_CHECK(datafile::RecognizeHeader("\xEF\xBB\xBF" + header.toUtf8()) == form);

        MeterReading reading;
        double values[4] = {0, 0, 0, 0};
        std::memcpy(values, data, std::min(size, sizeof values));
        reading.SetValues(values[0], values[1], values[2], values[3]);
        reading.SetCalStd(texts.value(1));
        reading.SerialNo = texts.value(2);
        reading.TimeStamp = QDateTime(QDate(2002, 7, 4), QTime(14, 5, 9));
        // A reading of a meter that was never calibrated has no calibration time.
        if (size > 0 && (data[0] & 1)) reading.CalTimeStamp = QDateTime(QDate(2001, 12, 31), QTime(23, 59, 59));
        const int digits = size > 0 ? static_cast<int8_t>(data[size - 1]) : 2;
        CheckOneLine(datafile::ReadingLine(reading, digits, comma, texts.mid(3, 7)));
        CheckOneLine(datafile::OldDataLine(texts.mid(0, 9), texts.value(9), comma));
    }

    const QString path = QString::fromUtf8(input);
    const QString extension = datafile::FileExtension(path);
    FUZZ_CHECK(!extension.contains(QLatin1Char('/')));
    FUZZ_CHECK(extension.isEmpty() || path.endsWith(extension));
    return 0;
}
