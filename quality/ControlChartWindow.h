#pragma once
// The window "Control Chart": for a chosen standard and measured value, the readings judged
// against that standard in the history (this station's store or the lab database), as an
// individuals chart and a moving range chart. The centre lines and control limits come from a
// baseline (the first N readings or a date range) that, once fixed, is kept with the standard;
// the standard's own limits are drawn too. The Western Electric rules 1 to 4 can each be
// switched on; the points that break one are marked and listed. Cp, Cpk, Pp and Ppk are computed
// against the standard's limits.
#include <QDateTime>
#include <QSqlDatabase>
#include <QWidget>
#include <array>
#include <vector>

#include "quality/StandardsStore.h"
#include "spc/Spc.h"

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineSeries;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace quality {

class StandardsLibrary;

struct HistoryPoint {
    QDateTime takenAt;
    double value = 0;
};
// The values of one parameter of the readings judged against `standard`, oldest first.
std::vector<HistoryPoint> LoadHistory(QSqlDatabase db, const QString& standard, int parameter,
                                      QString* problem = nullptr);
// The limits a fixed baseline gives.
spc::ImrLimits LimitsOf(const Baseline& baseline);

class ControlChartWindow : public QWidget {
    Q_OBJECT
public:
    explicit ControlChartWindow(StandardsLibrary& library, QWidget* parent = nullptr);

    // Reads the history again and redraws (also after a choice changes).
    void Reload();

    QComboBox *cboStandard, *cboParameter, *cboSource;
    QRadioButton *optFirstN, *optDateRange;
    QSpinBox* spnFirstN;
    QDateTimeEdit *dtFrom, *dtTo;
    QPushButton* btnFixBaseline;
    QLabel* lblBaseline;
    std::array<QCheckBox*, 4> chkRule;
    QChartView *chartIndividuals, *chartMovingRange;
    QListWidget* lstBreaks;
    QLabel* lblCapability;

private:
    void FillStandards();
    void Redraw();
    void FixBaseline();
    std::vector<double> BaselineValues() const;

    StandardsLibrary& m_library;
    std::vector<HistoryPoint> m_points;
    spc::ImrLimits m_limits;
};

}  // namespace quality
