#pragma once
// One scan: a reflection profile of 301 values, index 0 to 300.
#include <array>
#include <stdexcept>

class ScanData {
public:
    static constexpr int PointCount = 301;

    bool HasData = false;

    // The value at index 0..300; any other index throws std::out_of_range.
    double Point(int index) const
    {
        if (index < 0 || index >= PointCount) throw std::out_of_range("ScanData::Point index");
        return m_points[static_cast<std::size_t>(index)];
    }
    void SetPoint(int index, double value)
    {
        if (index < 0 || index >= PointCount) throw std::out_of_range("ScanData::SetPoint index");
        m_points[static_cast<std::size_t>(index)] = value;
    }
    void Clear()
    {
        HasData = false;
        m_points.fill(0.0);
    }

private:
    std::array<double, PointCount> m_points{};
};
