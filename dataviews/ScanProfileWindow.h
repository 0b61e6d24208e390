#pragma once
// The window "Scan Profile": the 301 values of a scan plotted against the angle offset from the
// specular direction (-15 to +15 degrees in 0.1 degree steps) on a linear or a logarithmic
// intensity axis, with the specular peak and the 2 and 15 degree haze angles marked, a read-out of
// angle and value under the cursor, a saved scan file opened for a look, and the plot saved as PNG.
#include <QDateTime>
#include <QWidget>
#include <functional>

#include "vantrel/ScanData.h"

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QRadioButton;
class QScatterSeries;
namespace support {
class SettingsStore;
}

class ScanProfileWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr double FirstAngle = -15.0;
    static constexpr double AngleStep = 0.1;
    static double AngleOf(int index) { return FirstAngle + AngleStep * index; }
    // The index nearest to an angle, kept within 0 to 300.
    static int IndexNearest(double angle);

    // `digits` gives the decimals of the number format in force; the store keeps the window's
    // place and the folders of scan files and images.
    ScanProfileWindow(std::function<int()> digits, support::SettingsStore& store, QWidget* parent = nullptr);

    // Shows a scan; `source` names the file it came from, empty for the meter's own scan.
    void ShowScan(const ScanData& scan, const QDateTime& when, const QString& source = QString());
    void RefreshNumberFormat();

    // Asks for a scan file and shows it; a file that is not one is refused with a message.
    void OpenScanFile();
    // Asks for a file name and writes the plot as a PNG image.
    void SaveImage();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Plot();
    QChart* Chart() const;
    // "Angle: -1.3°  Value: 12.35" for the point nearest to the angle.
    QString ReadoutText(double angle) const;

    std::function<int()> m_digits;
    support::SettingsStore& m_store;
    ScanData m_scan;
    QDateTime m_when;
    QString m_source;
    QLabel* m_hint = nullptr;
    QChartView* m_view = nullptr;
    QLineSeries* m_profile = nullptr;
    QScatterSeries* m_peak = nullptr;
    QScatterSeries* m_cursor = nullptr;
    std::vector<QLineSeries*> m_markers;
    QLabel* m_readout = nullptr;
    QRadioButton* m_linear = nullptr;
    QRadioButton* m_logarithmic = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_save = nullptr;
};
