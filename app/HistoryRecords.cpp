// The history's part of the road of a reading and of a scan: what the measurement history
// keeps of each, taken from the reading, the meter, the comment columns and the data file.
#include <QLineEdit>
#include <QTimer>

#include "app/GlimoraApp.h"
#include "app/MeterLink.h"
#include "comments/CommentColumns.h"
#include "datafile/DataFile.h"
#include "dialogs/dlgError.h"
#include "quality/StandardsLibrary.h"
#include "store/LocalStore.h"
#include "store/MeasurementHistory.h"
#include "support/Numbers.h"
#include "vantrel/VantrelCntl.h"

// The measurement store and the standards are opened once the window has been drawn, so that
// the operator sees the window sooner; a reading or a window of theirs that comes first opens
// them itself. Records a previous run left waiting are written then.
void GlimoraApp::paintEvent(QPaintEvent* event)
{
    QMainWindow::paintEvent(event);
    if (m_historyOpening) return;
    m_historyOpening = true;
    QTimer::singleShot(0, this, [this] {
        if (m_history->Local().Open()) m_standards->Standards();
    });
}

void GlimoraApp::RecordInHistory()
{
    store::ReadingRecord r;
    r.takenAt = (CurrentReading.TimeStamp.isValid() ? CurrentReading.TimeStamp : QDateTime::currentDateTime()).toUTC();
    r.localTime = support::FormatDateTime(CurrentReading.TimeStamp);
    r.serialNumber = CurrentReading.SerialNo.isEmpty() ? VC->SerialNumber() : CurrentReading.SerialNo;
    r.instrumentVersion = VC->Version();
    r.calStandard = CurrentReading.CalStd();
    r.specular = CurrentReading.Specular();
    r.doi = CurrentReading.DOI();
    r.haze2 = CurrentReading.Deg2();
    r.haze15 = CurrentReading.Deg15();
    r.digits = support::DigitsOfFormat(NumberFormat);
    for (int column = 1; column <= CommentColumns::Columns; ++column) {
        r.commentHeaders << m_comments->CommentHeader(column);
        // Column 1 is the comment box as it stands for this reading.
        r.commentTexts << (column == 1 ? UserCommentBox->text().trimmed() : m_comments->CommentText(column));
    }
    if (FileOpen()) r.dataFile = m_dataFile->FileName();
    r.standard = m_verdictStandard;
    r.verdict = m_verdict;
    m_history->RecordReading(std::move(r));
    TellHistoryNotice();
}

void GlimoraApp::RecordScanInHistory(const ScanData& scan, const QDateTime& when)
{
    store::ScanRecord s;
    s.takenAt = when.toUTC();
    s.serialNumber = VC->SerialNumber();
    s.instrumentVersion = VC->Version();
    for (int i = 0; i < ScanData::PointCount; ++i) s.points.push_back(scan.Point(i));
    m_history->RecordScan(std::move(s));
    TellHistoryNotice();
}

// A failing store is told once per failure, after the reading (never while the window loads or closes).
void GlimoraApp::TellHistoryNotice()
{
    QTimer::singleShot(0, this, [this] {
        if (!m_link->IsOpen()) return;
        const QString notice = m_history->TakeNotice();
        if (!notice.isEmpty()) ShowErrorDialog(this, QStringLiteral("Measurement Store Error"), notice);
    });
}

void GlimoraApp::HistoryCommand()
{
    m_history->ShowWindow(this);
}
