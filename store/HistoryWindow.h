#pragma once
// The "Measurement History" window: the readings of this station's store or of the lab
// database, filtered, a page at a time, with a trend of one value over time, an export of the
// filtered readings to CSV, and the records still waiting for the lab database. Every query
// runs on a thread of the window's own, so a slow or absent server never holds the window up;
// new readings show as they come (the store's signal here, NOTIFY from the lab database).
#include <QWidget>
#include <vector>

#include "store/HistoryQuery.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QThread;
class QTimer;
class QChartView;

namespace store {

class MeasurementHistory;
class HistorySource;
class HistoryTableModel;

class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int PageSize = 100;
    static constexpr int TrendPoints = 1000;

    HistoryWindow(MeasurementHistory& history, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // The filter as the controls set it.
    HistoryFilter Filter() const;

signals:
    // A page (and its trend) has been shown.
    void PageShown();

private:
    void SourceChanged();
    void Refresh();
    void ShowPage(int request, std::vector<ReadingRecord> rows, std::vector<ReadingRecord> trend,
                  const QString& problem);
    void ShowTrend();
    void NewerPage();
    void OlderPage();
    void ExportCommand();
    void ShowWaiting();
    void Announced();

    MeasurementHistory& m_history;
    QComboBox* m_source;
    QDateEdit *m_from, *m_to;
    QLineEdit *m_station, *m_serial, *m_calStandard, *m_comment;
    QTableView* m_table;
    HistoryTableModel* m_model;
    QComboBox* m_trendValue;
    QChartView* m_chart;
    QPushButton *m_newer, *m_older, *m_export;
    QLabel *m_waiting, *m_status;
    QTimer* m_debounce;

    QThread* m_thread = nullptr;
    HistorySource* m_worker = nullptr;
    std::vector<PageCursor> m_pages;  // where each page shown so far starts; the last is the one shown
    std::vector<ReadingRecord> m_trend;
    int m_request = 0;
};

}  // namespace store
