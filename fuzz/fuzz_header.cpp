// The first line of a data file: reading it from the file and recognising the header, and the
// header line built from arbitrary comment headers, which must stay one line of its own form.
#include <QStringList>
#include <algorithm>

#include "datafile/AppendFile.h"
#include "datafile/DataLines.h"
#include "fuzz/FuzzSupport.h"

namespace {

using datafile::HeaderForm;

// An independent reading of the rule: after an optional UTF-8 byte order mark, the line begins
// with the fixed header of either form, letters in any case.
HeaderForm ExpectedForm(const QByteArray& line)
{
    const QByteArray lower = (line.startsWith("\xEF\xBB\xBF") ? line.mid(3) : line).toLower();
    if (lower.startsWith(datafile::FixedHeader(true).toLatin1().toLower())) return HeaderForm::Comma;
    if (lower.startsWith(datafile::FixedHeader(false).toLatin1().toLower())) return HeaderForm::Tab;
    return HeaderForm::None;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024) return 0;
    const QByteArray input = fuzzing::Bytes(data, size);
    FUZZ_CHECK(datafile::RecognizeHeader(input) == ExpectedForm(input));

    // Read from a file: the first line up to its break, at most 4096 bytes.
    const QString path = fuzzing::WriteScratch(QStringLiteral("data.csv"), input);
    QByteArray line;
    if (!path.isEmpty() && datafile::ReadFirstLine(path, &line)) {
        const qsizetype end = std::min(input.indexOf('\r') < 0 ? input.size() : input.indexOf('\r'),
                                       input.indexOf('\n') < 0 ? input.size() : input.indexOf('\n'));
        FUZZ_CHECK(!input.isEmpty() && line == input.left(std::min<qsizetype>(end, 4096)));
        FUZZ_CHECK(datafile::RecognizeHeader(line) == ExpectedForm(line));
    } else {
        FUZZ_CHECK(path.isEmpty() || input.isEmpty());
    }

    // The input cut at NUL bytes gives the comment headers.
    QStringList texts;
    for (const QByteArray& part : input.split('\0')) texts.append(QString::fromUtf8(part));
    for (bool comma : {true, false}) {
        const QString header = datafile::HeaderLine(comma, texts.mid(0, 7));
        FUZZ_CHECK(header.endsWith(QLatin1String("\r\n")) && header.count(QLatin1Char('\r')) == 1
                   && header.count(QLatin1Char('\n')) == 1);
        const HeaderForm form = comma ? HeaderForm::Comma : HeaderForm::Tab;
        FUZZ_CHECK(datafile::RecognizeHeader(header.toUtf8()) == form);
        FUZZ_CHECK(datafile::RecognizeHeader("\xEF\xBB\xBF" + header.toUtf8()) == form);
    }
    return 0;
}
