#pragma once
// The main window: the readings list, the summary, the comment box and the status bar, with
// the menus and the toolbar that run every command. It owns the meter control and every
// subsystem object, and runs the road of a reading in DoRead.
#include <QMainWindow>
#include <QMap>
#include <memory>

#include "settings/Preferences.h"
#include "vantrel/MeterReading.h"
#include "vantrel/ScanData.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class VantrelCntl;
class ReadingsModel;
class ReadingsView;
class StatusDisplay;
class CommentColumns;
class DataFile;
class RecentFiles;
class FontClass;
class TabClass;
class HTMLHelp;
class DataFileDialogs;
class MeterLink;
namespace support {
class SettingsStore;
}
namespace store {
class MeasurementHistory;
}
namespace quality {
class StandardsLibrary;
class StandardCheck;
class CheckWindow;
class ControlChartWindow;
}  // namespace quality
class QSqlDatabase;

class GlimoraApp : public QMainWindow {
    Q_OBJECT
public:
    // Creates the window around its meter control and its settings store (the window takes
    // ownership of both); defaults are set here, everything stored is read by Load().
    GlimoraApp(VantrelCntl* meter, std::unique_ptr<support::SettingsStore> store, QWidget* parent = nullptr);
    ~GlimoraApp() override;

    // Loads the settings (preferences, recent files, comment headers, fonts and tab stops), shows
    // the window and opens the link to the meter. Returns while the link's handshake runs; the
    // rest of start-up follows from the event loop when the meter control reports its end.
    void Load();

    // The second half of a reading, when the meter reports it ready: the road of a reading.
    void DoRead();
    // Opens or creates a data file (New, Open and the recent files end here).
    bool OpenFile(const QString& path, bool exists);
    // The settings store the window owns and hands to its subsystems.
    support::SettingsStore& Settings() const { return *m_store; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The rest of start-up once the link's first handshake has ended and the meter has its
    // preferences: status, data file, summary and help.
    void FinishStartup();
    // A link begins afresh: the busy flag starts over and the status shows the meter as it is.
    void FreshLink();
    // Closing the window: data file, preferences, fonts and tab stops saved, the link closed last.
    void Unload();
    // Closes the windows this one owns (the data views, the help window) while the store that
    // keeps their places is there.
    void CloseOwnWindows();

    // A finished scan: fetched and saved as a scan file.
    void DoSaveScan();
    void UpdateCommands();
    void ShowMeterStatus();
    void SetTitle(const QString& path);
    void ResetTitle();
    void SetNumberFormat();
    void UpdateSummary();
    void SetDefaults();
    // Clear Readings: the list and its averages emptied, the summary and commands refreshed.
    void ClearReadings();
    void CloseFile();
    // A toolbar click by key ("Exit", "Open", ...); any other key does nothing.
    void ToolbarClick(const QString& key);

    // The meter control, owned by the link.
    VantrelCntl* VC = nullptr;
    MeterLink* m_link = nullptr;
    Preferences Prefs;
    QString NumberFormat;
    MeterReading CurrentReading;
    std::unique_ptr<ScanData> LastScan;
    ReadingsModel* Readings() const { return m_readings; }
    RecentFiles& Recent() const { return *m_recent; }
    FontClass& HeaderFont() const { return *m_headerFont; }
    FontClass& DataFont() const { return *m_dataFont; }
    TabClass& PrintTabs() const { return *m_printTabs; }

    // The folder that holds the help file: the program's own.
    QString ProgramFolder;

    // Controls, by their names.
    ReadingsView* LV1 = nullptr;
    QPushButton* CommentBtn = nullptr;
    QLineEdit* UserCommentBox = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label6 = nullptr;
    QLabel *SumSpecular = nullptr, *SumDOI = nullptr, *Sum2Deg = nullptr, *Sum15Deg = nullptr, *SumCount = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QMap<QString, QAction*> ToolbarButtons;

    QMenu *mnuFile = nullptr, *mnuFileProperties = nullptr, *mnuMeter = nullptr, *mnuCalibration = nullptr,
          *mnuCalibrationAdvanced = nullptr, *mnuData = nullptr, *mnuHelp = nullptr;
    QAction *mnuFileNew = nullptr, *mnuFileOpen = nullptr, *mnuFileClose = nullptr, *mnuFilePropProperties = nullptr,
            *mnuFilePropRestore = nullptr, *mnuFilePassword = nullptr, *mnuFilePrint = nullptr, *mnuFileExit = nullptr;
    QAction *mnuMeterCancel = nullptr, *mnuMeterTurnOff = nullptr, *mnuMeterUpdateInfo = nullptr;
    QAction* mnuMeterConnection = nullptr;
    QAction* mnuMeterShowWindow = nullptr;
    QAction *mnuCalibrationCalibrate = nullptr, *mnuCalibrationAdvancedCorrection = nullptr,
            *mnuCalibrationClear = nullptr, *mnuCalibrateChangeSettings = nullptr;
    QAction *mnuDataTakeReading = nullptr, *mnuDataClearReadings = nullptr, *mnuDataDelete = nullptr,
            *mnuDataScanData = nullptr, *mnuDataNormalize = nullptr, *mnuDataSetParameters = nullptr;
    QAction *mnuHelpContents = nullptr, *mnuHelpSearch = nullptr, *mnuHelpContactKALDEX = nullptr,
            *mnuHelpAbout = nullptr;
    QAction *mnuDataScanProfile = nullptr, *mnuDataStatistics = nullptr;
    QAction* mnuDataHistory = nullptr;
    QAction *mnuDataStandards = nullptr, *mnuDataCheckAgainstStandard = nullptr, *mnuDataControlChart = nullptr,
            *mnuDataCertificate = nullptr;

    void CreateControls();
    void CreateMenus();
    void CreateToolbar();
    void OnMeterEvent(int code);

    static int TwipsWidth();
    bool FileOpen() const;

    // Commands
    void TakeReadingCommand();
    void ScanDataCommand();
    void CancelCommand();
    void TurnOffCommand();
    void ClearReadingsCommand();
    void DeleteSelectionCommand();
    void NormalizeCommand();
    void NewFileCommand();
    void OpenFileCommand();
    void CloseFileCommand();
    void PrintCommand();
    void CommentCommand();
    void PropertiesCommand();
    void RestoreDefaultsCommand();
    void PasswordCommand();
    void UpdateInformationCommand();
    void CalibrateCommand();
    void CorrectionCommand();
    void ClearConfigurationsCommand();
    void ChangeMeterSettingsCommand();
    void SetParametersCommand();
    void MeterConnectionCommand();
    // Meter > Show Meter Window: the meter control's own window, also after the operator closed
    // it; offered when the control in use has one (FindMeterWindow).
    void ShowMeterWindowCommand();
    void FindMeterWindow();
    void HelpContentsCommand();
    void HelpSearchCommand();
    void HelpContactCommand();
    void AboutCommand();
    void WriteDataToFile();
    // The data file's announcement: the title and the commands follow the file now open.
    void DataFileChanged(const QString& path);
    // The two data views: opened once, then shown and raised again; they live beside this window.
    void ScanProfileCommand();
    void StatisticsCommand();
    // The measurement history: every valid reading and every scan recorded, Data > History...
    void RecordInHistory();
    void RecordScanInHistory(const ScanData& scan, const QDateTime& when);
    void TellHistoryNotice();
    void HistoryCommand();
    // Judging readings against a standard (QualityCommands.cpp): the reading's verdict on the
    // road (its list row at `row`), the standards editor, the check window, the control chart
    // and the certificate.
    void CreateQuality();
    QSqlDatabase LabDatabase(QString* problem);
    void CheckAgainstStandard(int row);
    void StandardsCommand();
    void CheckWindowCommand();
    void ControlChartCommand();
    void CertificateCommand();

    // Declared first, destroyed last: every subsystem below may use it until it goes.
    std::unique_ptr<support::SettingsStore> m_store;
    ReadingsModel* m_readings = nullptr;
    StatusDisplay* m_status = nullptr;
    std::unique_ptr<CommentColumns> m_comments;
    std::unique_ptr<DataFileDialogs> m_dataPrompts;
    std::unique_ptr<DataFile> m_dataFile;
    std::unique_ptr<RecentFiles> m_recent;
    std::unique_ptr<FontClass> m_headerFont, m_dataFont;
    std::unique_ptr<TabClass> m_printTabs;
    // The help commands know the help file from the start: they work while the meter links.
    std::unique_ptr<HTMLHelp> m_help;
    class ScanProfileWindow* m_scanProfile = nullptr;
    class ReadingStatisticsWindow* m_statistics = nullptr;
    QDateTime m_lastScanTime;
    std::unique_ptr<store::MeasurementHistory> m_history;
    bool m_historyOpening = false;  // the store's opening after the first drawing is on its way
    std::unique_ptr<quality::StandardsLibrary> m_standards;
    std::unique_ptr<quality::StandardCheck> m_check;
    quality::CheckWindow* m_checkWindow = nullptr;
    quality::ControlChartWindow* m_controlChart = nullptr;
    // The standard and verdict of the reading on the road, empty when it was not judged.
    QString m_verdictStandard, m_verdict;
};
