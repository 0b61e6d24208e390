#pragma once
// Reading the history back, from the local store or the lab database alike: a filter, pages
// of readings newest first by keyset (a page starts after the last row of the one before, so
// no page costs more than its own rows), and the export of every row of a filter as CSV or JSON.
#include <QDate>
#include <QString>
#include <vector>

#include "store/Records.h"

class QIODevice;
class QSqlDatabase;

namespace store {

struct HistoryFilter {
    QDate from, to;  // local days, both included; invalid: open
    QString station;  // exact; empty: any
    QString serialNumber;  // exact; empty: any
    QString calStandard;  // exact; empty: any
    QString commentText;  // found in any comment text, ignoring case; empty: any
};

// Where a page ends: the next one starts after this row.
struct PageCursor {
    QDateTime takenAt;
    QString id;
    bool IsStart() const { return id.isEmpty(); }
};

// Up to limit readings of the filter, newest first, after the cursor. False (and *problem)
// when the database cannot answer.
bool ReadPage(QSqlDatabase db, const HistoryFilter& filter, const PageCursor& after, int limit,
              std::vector<ReadingRecord>& rows, QString* problem);
PageCursor CursorAfter(const ReadingRecord& last);

enum class ExportFormat { Csv, Json };
// Writes every reading of the filter (newest first, page by page) with a header of the column
// names (CSV) or as an array of objects keyed by them (JSON); returns the rows written, -1 on
// a failure (and *problem).
qint64 ExportReadings(QSqlDatabase db, const HistoryFilter& filter, ExportFormat format, QIODevice& out,
                      QString* problem);
// One CSV field: quoted when it holds a separator, a quote or a line end (quotes doubled).
QString CsvField(const QString& text);

}  // namespace store
