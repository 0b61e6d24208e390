#pragma once
// The main window: the readings list, the summary, the comment box and the status bar, with
// the menus and the toolbar that run every command. It owns the meter control and every
// subsystem object, and runs the road of a reading in DoRead.
#include <QMainWindow>
#include <QMap>
#include <functional>
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

class GlimoraApp : public QMainWindow {
    Q_OBJECT
public:
    // Creates the window around its meter control (the window takes ownership): step list A.
    explicit GlimoraApp(VantrelCntl* meter, QWidget* parent = nullptr);
    ~GlimoraApp() override;

    // Loads the window: step list B (preferences, recent files, comments, fonts and tabs,
    // number format, link to the meter, status, commands, file, summary, help file).
    void Load();
    // Unloads the window: step list C. Runs once; closing the window calls it.
    void Unload();

    // The road of a reading: event 12 -> list row -> averages -> summary -> data file -> panel 5.
    void DoRead();
    // A finished scan: fetched and saved as a scan file.
    void DoSaveScan();
    void UpdateCommands();
    void ShowMeterStatus();
    void SetTitle(const QString& path);
    void ResetTitle();
    void SetNumberFormat();
    void UpdateSummary();
    void SetDefaults();
    // Clear Readings: the list emptied, the averages cleared, the summary and commands refreshed.
    void ClearReadings();
    // Opens or creates a data file (New, Open and the recent files end here).
    bool OpenFile(const QString& path, bool exists);
    void CloseFile();
    // A toolbar click by key ("Exit", "Open", ...); any other key does nothing.
    void ToolbarClick(const QString& key);

    // State read by tests and by the subsystems' hosts.
    VantrelCntl* VC = nullptr;
    Preferences Prefs;
    QString NumberFormat;
    MeterReading CurrentReading;
    MeterReading Averages;
    std::unique_ptr<ScanData> LastScan;
    bool MeterBusy() const;
    bool MeterOn() const;
    QString PanelText(int panel) const;
    ReadingsModel* Readings() const { return m_readings; }
    ReadingsView* ListView() const { return LV1; }
    CommentColumns& Comments() const { return *m_comments; }
    DataFile& Data() const { return *m_dataFile; }
    RecentFiles& Recent() const { return *m_recent; }
    FontClass& HeaderFont() const { return *m_headerFont; }
    FontClass& DataFont() const { return *m_dataFont; }
    TabClass& PrintTabs() const { return *m_printTabs; }

    // Choosing a scan file name: tests replace it; by default the real save dialog.
    std::function<QString(QWidget*)> ChooseScanFileHook;
    // The folder that holds the help file (the program's own folder by default).
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
    QAction *mnuCalibrationCalibrate = nullptr, *mnuCalibrationAdvancedCorrection = nullptr, *mnuCalibrationClear = nullptr,
            *mnuCalibrateChangeSettings = nullptr;
    QAction *mnuDataTakeReading = nullptr, *mnuDataClearReadings = nullptr, *mnuDataDelete = nullptr,
            *mnuDataScanData = nullptr, *mnuDataNormalize = nullptr, *mnuDataSetParameters = nullptr;
    QAction *mnuHelpContents = nullptr, *mnuHelpSearch = nullptr, *mnuHelpContactKALDEX = nullptr, *mnuHelpAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
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
    void HelpContentsCommand();
    void HelpSearchCommand();
    void HelpContactCommand();
    void AboutCommand();
    void WriteDataToFile();

    ReadingsModel* m_readings = nullptr;
    StatusDisplay* m_status = nullptr;
    std::unique_ptr<CommentColumns> m_comments;
    std::unique_ptr<DataFile> m_dataFile;
    std::unique_ptr<RecentFiles> m_recent;
    std::unique_ptr<FontClass> m_headerFont, m_dataFont;
    std::unique_ptr<TabClass> m_printTabs;
    std::unique_ptr<class AppDataFileHost> m_dataHost;
    bool m_loaded = false;
    bool m_unloaded = false;
};
