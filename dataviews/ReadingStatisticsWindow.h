#pragma once
// The window "Reading Statistics": for Specular, DOI, 2 Degree and 15 Degree the count, mean,
// standard deviation, smallest, largest and range of the listed readings, in the list's number
// format, and under it the chosen row's values in the order taken. It follows the list as rows
// arrive (one reading's work each), are deleted or cleared.
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "dataviews/ReadingStatistics.h"

class QChart;
class QChartView;
class QLineSeries;
class QTableWidget;
class QValueAxis;
class ReadingsModel;
namespace support {
class SettingsStore;
}

class ReadingStatisticsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int ValueCount = 4;
    static const std::array<QString, ValueCount>& RowTitles();

    // `digits` gives the decimals of the number format in force; the store keeps the window's place.
    ReadingStatisticsWindow(const ReadingsModel& readings, std::function<int()> digits, support::SettingsStore& store,
                            QWidget* parent = nullptr);

    // Rewrites every cell and the trend's value axis in the number format in force.
    void RefreshNumberFormat();

private:
    QChart* TrendChart() const;
    void AddNewestRows(int count);
    void RecomputeAll();
    void ShowTexts();
    void ShowTrend();

    const ReadingsModel& m_readings;
    std::function<int()> m_digits;
    std::array<RunningStatistics, ValueCount> m_stats;
    std::array<TrendEnvelope, ValueCount> m_trends;
    QTableWidget* m_table = nullptr;
    QChartView* m_trendView = nullptr;
    QLineSeries* m_trendSeries = nullptr;
    QValueAxis* m_trendX = nullptr;
    QValueAxis* m_trendY = nullptr;
    // Redraws of the trend are gathered: a burst of readings costs one redraw.
    QTimer m_trendTimer;
};
