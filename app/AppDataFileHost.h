#pragma once
#include <QStringList>

#include "app/GlimoraApp.h"
#include "datafile/DataFile.h"
#include "datafile/RecentFiles.h"
#include "readings/ReadingsModel.h"

// What the data file needs of the main window.
class AppDataFileHost : public DataFileHost {
public:
    explicit AppDataFileHost(GlimoraApp& app) : m_app(app) {}
    QWidget* DialogParent() override { return &m_app; }
    int ListRowCount() override { return m_app.Readings()->RowCount(); }
    QStringList ListRowTexts(int row) override
    {
        QStringList cells;
        for (const QString& c : m_app.Readings()->Row(row).Cells) cells << c;
        return cells;
    }
    void ClearReadings() override { m_app.ClearReadings(); }
    QString LastSerialNo() override { return m_app.CurrentReading.SerialNo; }
    void SetTitle(const QString& path) override { m_app.SetTitle(path); }
    void ResetTitle() override { m_app.ResetTitle(); }
    void UpdateCommands() override { m_app.UpdateCommands(); }
    void AddRecentFile(const QString& path) override { m_app.Recent().AddRecentFile(path); }

private:
    GlimoraApp& m_app;
};

