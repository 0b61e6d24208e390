#include "datafile/DataLines.h"

#include <QFileInfo>

#include "comments/SingleLine.h"
#include "support/Numbers.h"
#include "vantrel/MeterReading.h"

namespace datafile {

namespace {
const char* const kHeaderWords[] = {"DateTime", "Specular", "DOI", "Deg2", "Deg15", "CalName", "CalDtTm", "SerNum"};

// A text field never breaks its line: a line break inside it is written as a blank.
QString Field(const QString& text)
{
    return comments::WithoutLineBreaks(text);
}

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + Field(text) + QLatin1Char('"');
}

bool StartsWithNoCase(const QByteArray& bytes, qsizetype from, const QByteArray& prefix)
{
    if (bytes.size() - from < prefix.size()) return false;
    return qstrnicmp(bytes.constData() + from, prefix.constData(), prefix.size()) == 0;
}
}  // namespace

QString Separator(bool commaSeparated)
{
    return commaSeparated ? QStringLiteral(",") : QStringLiteral("\t");
}

QString FixedHeader(bool commaSeparated)
{
    QStringList words;
    for (const char* w : kHeaderWords) words.append(QLatin1String(w));
    return words.join(Separator(commaSeparated));
}

QString LineEnd()
{
    return QStringLiteral("\r\n");
}

QString HeaderLine(bool commaSeparated, const QStringList& commentHeaders)
{
    const QString s = Separator(commaSeparated);
    QString line = FixedHeader(commaSeparated);
    for (const QString& header : commentHeaders) line += s + Field(header);
    return line + LineEnd();
}

QString ReadingLine(const MeterReading& reading, int digits, bool commaSeparated, const QStringList& commentTexts)
{
    if (digits < 0 || digits > 3) digits = 2;
    const QString s = Separator(commaSeparated);
    QString line;
    line += support::FormatDateTime(reading.TimeStamp).trimmed() + s;
    line += support::FormatValue(reading.Specular(), digits).trimmed() + s;
    line += support::FormatValue(reading.DOI(), digits).trimmed() + s;
    line += support::FormatValue(reading.Deg2(), digits).trimmed() + s;
    line += support::FormatValue(reading.Deg15(), digits).trimmed() + s;
    line += Quoted(reading.CalStd().trimmed()) + s;
    line += support::FormatDateTime(reading.CalTimeStamp).trimmed() + s;
    line += Quoted(reading.SerialNo.trimmed());
    for (const QString& text : commentTexts) line += s + Quoted(text);
    return line + LineEnd();
}

QString OldDataLine(const QStringList& rowCells, const QString& serialNo, bool commaSeparated)
{
    QStringList cells = rowCells;
    while (cells.size() < 7) cells.append(QString());
    const QString s = Separator(commaSeparated);
    QString line = Field(cells.first());
    for (qsizetype i = 1; i <= cells.size() - 2; ++i) line += s + Field(cells.at(i));
    line += s + s + Quoted(serialNo.trimmed());
    line += s + Field(cells.last());
    return line + LineEnd();
}

HeaderForm RecognizeHeader(const QByteArray& firstLine)
{
    qsizetype from = 0;
    if (firstLine.startsWith("\xEF\xBB\xBF")) from = 3;
    if (StartsWithNoCase(firstLine, from, FixedHeader(true).toLatin1())) return HeaderForm::Comma;
    if (StartsWithNoCase(firstLine, from, FixedHeader(false).toLatin1())) return HeaderForm::Tab;
    return HeaderForm::None;
}

QString FileExtension(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

}  // namespace datafile
