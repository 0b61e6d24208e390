#pragma once
// The three kinds of line of a data file (header, reading, old data) and the recognition of a
// data file by its first line. Lines are returned complete with their CR LF ending; a file
// holds them as UTF-8. A line break inside any text is written as a blank, so that every
// line stays one record.
#include <QByteArray>
#include <QString>
#include <QStringList>

class MeterReading;

namespace datafile {

enum class HeaderForm { None, Comma, Tab };

// "," for the comma form, a tab otherwise.
QString Separator(bool commaSeparated);
// The eight fixed header words joined by the separator.
QString FixedHeader(bool commaSeparated);
QString LineEnd();

// The fixed header, then the separator and each comment header (unquoted), then CR LF.
QString HeaderLine(bool commaSeparated, const QStringList& commentHeaders);

// One reading: date/time, the four values with `digits` decimals (0 to 3; anything else
// writes two), the cal standard name quoted, the cal date/time, the serial number quoted,
// then each comment text quoted (an empty one as ""). Quoted texts are written as they are.
QString ReadingLine(const MeterReading& reading, int digits, bool commaSeparated, const QStringList& commentTexts);

// One row of the readings list (its cells in display order: date/time, four values, cal
// standard, comment) copied as nine fields: the cells up to the cal standard, an empty cal
// date/time, the serial number quoted, and the comment unquoted.
QString OldDataLine(const QStringList& rowCells, const QString& serialNo, bool commaSeparated);

// Which fixed header the first line of a file begins with, letters compared without regard
// to case; anything may follow it. A UTF-8 byte order mark before it is passed over.
HeaderForm RecognizeHeader(const QByteArray& firstLine);

// The text after the last point of the file name (not of the folders), "" when there is none.
QString FileExtension(const QString& path);

}  // namespace datafile
