#include "app/GlimoraApp.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ExtensionIcons.h"
#include "app/MenuShortcuts.h"
#include "app/MeterLink.h"
#include "app/ToolbarIcons.h"
#include "comments/CommentColumns.h"
#include "comments/SingleLine.h"
#include "dataviews/ReadingStatisticsWindow.h"
#include "dataviews/ScanProfileWindow.h"
#include "datafile/DataFile.h"
#include "datafile/DataFileDialog.h"
#include "datafile/RecentFiles.h"
#include "dialogs/WindowRules.h"
#include "help/HTMLHelp.h"
#include "meter/ScanFile.h"
#include "printing/DataReport.h"
#include "meter/StatusDisplay.h"
#include "readings/ReadingsModel.h"
#include "quality/StandardCheck.h"
#include "quality/StandardsLibrary.h"
#include "readings/ReadingsView.h"
#include "readings/Summary.h"
#include "resources/GlimoraIcon.h"
#include "store/MeasurementHistory.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"
#include "support/Sounds.h"
#include "vantrel/VantrelCntl.h"

namespace {
const QString kTitle = QStringLiteral("DOI/Haze Meter");

// Meter events that the window leaves alone: not even the status display is refreshed.
constexpr int kEventsLeftAlone[] = {8, 11, 14, 17, 18, 19, 20};

bool LeftAlone(int code)
{
    return std::find(std::begin(kEventsLeftAlone), std::end(kEventsLeftAlone), code) != std::end(kEventsLeftAlone);
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Controls

void GlimoraApp::CreateControls()
{
    setObjectName(QStringLiteral("GlimoraApp"));
    setWindowTitle(kTitle);
    setWindowIcon(GlimoraIcon());

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(6, 6, 6, 4);
    column->setSpacing(6);

    m_readings = new ReadingsModel(this);
    LV1 = new ReadingsView(m_readings, central);
    LV1->setObjectName(QStringLiteral("LV1"));
    column->addWidget(LV1, 1);

    // Summary row: "Count:" SumCount, "Specular:" SumSpecular, "DOI:" SumDOI, "2 Deg:" Sum2Deg, "15 Deg:" Sum15Deg
    auto* summary = new QHBoxLayout;
    summary->setSpacing(4);
    auto caption = [&](QLabel*& label, const char* name, const char* text) {
        label = new QLabel(QLatin1String(text), central);
        label->setObjectName(QLatin1String(name));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };
    auto value = [&](QLabel*& label, const char* name, const char* tip, QLabel* buddy) {
        label = new QLabel(central);
        label->setObjectName(QLatin1String(name));
        label->setToolTip(QLatin1String(tip));
        label->setAccessibleDescription(QLatin1String(tip));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(70);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        buddy->setBuddy(label);
    };
    caption(Label6, "Label6", "Count:");
    value(SumCount, "SumCount", "Number of readings in the list", Label6);
    caption(Label1, "Label1", "Specular:");
    value(SumSpecular, "SumSpecular", "Average specular value of the readings in the data window", Label1);
    caption(Label2, "Label2", "DOI:");
    value(SumDOI, "SumDOI", "Average DOI value of the readings in the data window", Label2);
    caption(Label3, "Label3", "2 Deg:");
    value(Sum2Deg, "Sum2Deg", "Average 2 degree value of the readings in the data window", Label3);
    caption(Label4, "Label4", "15 Deg:");
    value(Sum15Deg, "Sum15Deg", "Average 15 degree value of the readings in the data window", Label4);
    for (auto [cap, val] : {std::pair{Label6, SumCount},
                            {Label1, SumSpecular},
                            {Label2, SumDOI},
                            {Label3, Sum2Deg},
                            {Label4, Sum15Deg}}) {
        summary->addWidget(cap);
        summary->addWidget(val, 1);
        summary->addSpacing(8);
    }
    column->addLayout(summary);

    auto* commentRow = new QHBoxLayout;
    CommentBtn = new QPushButton(QStringLiteral("User Comments:"), central);
    CommentBtn->setObjectName(QStringLiteral("CommentBtn"));
    CommentBtn->setAutoDefault(false);
    UserCommentBox = new QLineEdit(central);
    UserCommentBox->setObjectName(QStringLiteral("UserCommentBox"));
    const QString commentTip = QStringLiteral("User comments to be included with each subsequent reading");
    UserCommentBox->setToolTip(commentTip);
    UserCommentBox->setAccessibleName(QStringLiteral("User Comments"));
    UserCommentBox->setAccessibleDescription(commentTip);
    comments::KeepSingleLine(UserCommentBox);
    GiveMenuShortcutsPriority(UserCommentBox, menuBar());
    commentRow->addWidget(CommentBtn);
    commentRow->addWidget(UserCommentBox, 1);
    column->addLayout(commentRow);
    setCentralWidget(central);

    m_status = new StatusDisplay(
        statusBar(), *VC, [this] { UpdateCommands(); }, this);
    statusBar()->setObjectName(QStringLiteral("SB"));

    connect(CommentBtn, &QPushButton::clicked, this, &GlimoraApp::CommentCommand);
    resize(TwipsWidth(), 480);
}

int GlimoraApp::TwipsWidth()
{
    int twips = 0;
    for (int w : ReadingsModel::ColumnWidths()) twips += w;
    return twips / 15 + 40;
}

void GlimoraApp::CreateMenus()
{
    auto action = [this](QMenu* menu, QAction*& member, const char* name, const char* text, const QKeySequence& key,
                         void (GlimoraApp::*slot)()) {
        member = menu->addAction(QLatin1String(text));
        member->setObjectName(QLatin1String(name));
        if (!key.isEmpty()) member->setShortcut(key);
        if (slot) connect(member, &QAction::triggered, this, slot);
        return member;
    };
    auto separator = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QLatin1String(name)); };

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    action(mnuFile, mnuFileNew, "mnuFileNew", "&New", QKeySequence(Qt::CTRL | Qt::Key_N), &GlimoraApp::NewFileCommand);
    action(mnuFile, mnuFileOpen, "mnuFileOpen", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O),
           &GlimoraApp::OpenFileCommand);
    action(mnuFile, mnuFileClose, "mnuFileClose", "&Close", {}, &GlimoraApp::CloseFileCommand);
    separator(mnuFile, "mnuFileBar2");
    mnuFileProperties = mnuFile->addMenu(QStringLiteral("Propert&ies"));
    mnuFileProperties->setObjectName(QStringLiteral("mnuFileProperties"));
    action(mnuFileProperties, mnuFilePropProperties, "mnuFilePropProperties", "Propert&ies...", {},
           &GlimoraApp::PropertiesCommand);
    action(mnuFileProperties, mnuFilePropRestore, "mnuFilePropRestore", "&Restore Defaults", {},
           &GlimoraApp::RestoreDefaultsCommand);
    separator(mnuFile, "mnuFileBar3");
    action(mnuFile, mnuFilePassword, "mnuFilePassword", "Pass&word", QKeySequence(Qt::CTRL | Qt::Key_W),
           &GlimoraApp::PasswordCommand);
    separator(mnuFile, "mnuFileBar4");
    action(mnuFile, mnuFilePrint, "mnuFilePrint", "&Print...", QKeySequence(Qt::CTRL | Qt::Key_P),
           &GlimoraApp::PrintCommand);
    separator(mnuFile, "mnuFileBar5");
    action(mnuFile, mnuFileExit, "mnuFileExit", "E&xit", {}, nullptr);
    connect(mnuFileExit, &QAction::triggered, this, &QWidget::close);

    mnuMeter = menuBar()->addMenu(QStringLiteral("&Meter"));
    mnuMeter->setObjectName(QStringLiteral("mnuMeter"));
    action(mnuMeter, mnuMeterCancel, "mnuMeterCancel", "&Cancel Operation", QKeySequence(Qt::CTRL | Qt::Key_C),
           &GlimoraApp::CancelCommand);
    action(mnuMeter, mnuMeterTurnOff, "mnuMeterTurnOff", "&Turn Off", QKeySequence(Qt::CTRL | Qt::Key_Q),
           &GlimoraApp::TurnOffCommand);
    action(mnuMeter, mnuMeterUpdateInfo, "mnuMeterUpdateInfo", "&Update Information",
           QKeySequence(Qt::CTRL | Qt::Key_U), &GlimoraApp::UpdateInformationCommand);
    separator(mnuMeter, "mnuMeterBar1");
    action(mnuMeter, mnuMeterConnection, "mnuMeterConnection", "C&onnection...", {},
           &GlimoraApp::MeterConnectionCommand);
    action(mnuMeter, mnuMeterShowWindow, "mnuMeterShowWindow", "Show Meter &Window", {},
           &GlimoraApp::ShowMeterWindowCommand);
    mnuMeterShowWindow->setToolTip(
        QStringLiteral("Shows the meter's own window, such as the simulated instrument's front panel"));
    mnuMeterShowWindow->setEnabled(false);

    mnuCalibration = menuBar()->addMenu(QStringLiteral("&Calibration"));
    mnuCalibration->setObjectName(QStringLiteral("mnuCalibration"));
    action(mnuCalibration, mnuCalibrationCalibrate, "mnuCalibrationCalibrate", "&Calibrate",
           QKeySequence(Qt::CTRL | Qt::Key_T), &GlimoraApp::CalibrateCommand);
    separator(mnuCalibration, "mnuCalibrationSpace1");
    mnuCalibrationAdvanced = mnuCalibration->addMenu(QStringLiteral("&Advanced"));
    mnuCalibrationAdvanced->setObjectName(QStringLiteral("mnuCalibrationAdvanced"));
    action(mnuCalibrationAdvanced, mnuCalibrationAdvancedCorrection, "mnuCalibrationAdvancedCorrection", "&Correction",
           QKeySequence(Qt::CTRL | Qt::Key_D), &GlimoraApp::CorrectionCommand);
    action(mnuCalibrationAdvanced, mnuCalibrationClear, "mnuCalibrationClear", "C&lear Configurations", {},
           &GlimoraApp::ClearConfigurationsCommand);
    action(mnuCalibrationAdvanced, mnuCalibrateChangeSettings, "mnuCalibrateChangeSettings", "Change Meter &Settings",
           {}, &GlimoraApp::ChangeMeterSettingsCommand);

    mnuData = menuBar()->addMenu(QStringLiteral("&Data"));
    mnuData->setObjectName(QStringLiteral("mnuData"));
    action(mnuData, mnuDataTakeReading, "mnuDataTakeReading", "&Take Reading", QKeySequence(Qt::CTRL | Qt::Key_R),
           &GlimoraApp::TakeReadingCommand);
    separator(mnuData, "mnuDataSpacer1");
    action(mnuData, mnuDataClearReadings, "mnuDataClearReadings", "&Clear Readings", {},
           &GlimoraApp::ClearReadingsCommand);
    action(mnuData, mnuDataDelete, "mnuDataDelete", "&Delete Selection", QKeySequence(Qt::Key_Delete),
           &GlimoraApp::DeleteSelectionCommand);
    action(mnuData, mnuDataScanData, "mnuDataScanData", "&Scan Data", QKeySequence(Qt::CTRL | Qt::Key_S),
           &GlimoraApp::ScanDataCommand);
    action(mnuData, mnuDataNormalize, "mnuDataNormalize", "&Normalize", QKeySequence(Qt::CTRL | Qt::Key_F),
           &GlimoraApp::NormalizeCommand);
    action(mnuData, mnuDataSetParameters, "mnuDataSetParameters", "Set &Parameters...", {},
           &GlimoraApp::SetParametersCommand);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    action(mnuHelp, mnuHelpContents, "mnuHelpContents", "&Contents...", {}, &GlimoraApp::HelpContentsCommand);
    action(mnuHelp, mnuHelpSearch, "mnuHelpSearch", "&Search For Help On...", {}, &GlimoraApp::HelpSearchCommand);
    action(mnuHelp, mnuHelpContactKALDEX, "mnuHelpContactKALDEX", "Contact &KALDEX...", {},
           &GlimoraApp::HelpContactCommand);
    separator(mnuHelp, "mnuHelpBar1");
    action(mnuHelp, mnuHelpAbout, "mnuHelpAbout", "&About Glimora...", {}, &GlimoraApp::AboutCommand);

    separator(mnuData, "mnuDataSpacer2");
    action(mnuData, mnuDataScanProfile, "mnuDataScanProfile", "Scan Profile...", {}, &GlimoraApp::ScanProfileCommand);
    action(mnuData, mnuDataStatistics, "mnuDataStatistics", "Statistics...", {}, &GlimoraApp::StatisticsCommand);
    const auto statisticsState = [this] { mnuDataStatistics->setEnabled(m_readings->RowCount() > 0); };
    connect(m_readings, &QAbstractItemModel::rowsInserted, this, statisticsState);
    connect(m_readings, &QAbstractItemModel::modelReset, this, statisticsState);
    statisticsState();
    action(mnuData, mnuDataHistory, "mnuDataHistory", "&History...", {}, &GlimoraApp::HistoryCommand);
    action(mnuData, mnuDataStandards, "mnuDataStandards", "Standards...", {}, &GlimoraApp::StandardsCommand);
    action(mnuData, mnuDataCheckAgainstStandard, "mnuDataCheckAgainstStandard", "Check Against Standard...", {},
           &GlimoraApp::CheckWindowCommand);
    action(mnuData, mnuDataControlChart, "mnuDataControlChart", "Control Chart...", {},
           &GlimoraApp::ControlChartCommand);
    action(mnuData, mnuDataCertificate, "mnuDataCertificate", "Certificate...", {}, &GlimoraApp::CertificateCommand);
}

void GlimoraApp::CreateToolbar()
{
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    // Nothing to offer on a right click: the toolbar is always shown.
    Toolbar1->setContextMenuPolicy(Qt::PreventContextMenu);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->setIconSize(QSize(24, 24));
    struct Button {
        const char* key;
        const char* tip;
        bool separatorAfter;
    };
    static const Button buttons[] = {
        {"Exit", "Closes application", true},
        {"Open", "Choose file in which to save data", true},
        {"Cancel", "Cancels current operation / resets communications", false},
        {"Off", "Turns off haze meter to save batteries", true},
        {"Read", "Take a haze measurement", false},
        {"Scan", "Show continuous scan data", false},
        {"Calibrate", "Select cal standard / meter calibration", true},
        {"Print", "Print the data list", false},
        {"Clear", "Clear data list", false},
    };
    for (const Button& b : buttons) {
        const QString key = QLatin1String(b.key);
        QAction* a = Toolbar1->addAction(ToolbarIcon(key), key);
        a->setObjectName(QStringLiteral("Toolbar1_") + key);
        a->setData(key);
        a->setToolTip(QLatin1String(b.tip));
        connect(a, &QAction::triggered, this, [this, key] { ToolbarClick(key); });
        ToolbarButtons.insert(key, a);
        if (b.separatorAfter) Toolbar1->addSeparator();
    }
}

// ---------------------------------------------------------------------------------------------
// Title, commands, status

void GlimoraApp::SetTitle(const QString& path)
{
    setWindowTitle(kTitle + QStringLiteral(" - ") + path);
}

void GlimoraApp::ResetTitle()
{
    setWindowTitle(kTitle);
}

void GlimoraApp::UpdateCommands()
{
    const bool linked = VC->Connected();
    const bool ready = linked && m_status->MeterOn() && !m_status->MeterBusy();
    const bool hasRows = linked && m_readings->RowCount() > 0;
    const bool fileOpen = FileOpen();

    ToolbarButtons.value(QStringLiteral("Open"))->setEnabled(ready);
    ToolbarButtons.value(QStringLiteral("Cancel"))->setEnabled(linked);
    ToolbarButtons.value(QStringLiteral("Off"))->setEnabled(ready);
    ToolbarButtons.value(QStringLiteral("Read"))->setEnabled(ready && (fileOpen || Prefs.NoFile));
    ToolbarButtons.value(QStringLiteral("Scan"))->setEnabled(ready);
    ToolbarButtons.value(QStringLiteral("Calibrate"))->setEnabled(ready);
    ToolbarButtons.value(QStringLiteral("Print"))->setEnabled(hasRows);
    ToolbarButtons.value(QStringLiteral("Clear"))->setEnabled(hasRows);

    mnuFileNew->setEnabled(ready);
    mnuFileOpen->setEnabled(ready);
    mnuFileClose->setEnabled(fileOpen);
    mnuFilePrint->setEnabled(hasRows);
    mnuMeterCancel->setEnabled(linked);
    // Another meter control can be chosen whenever the meter is not at work (switched off included).
    mnuMeterConnection->setEnabled(!linked || !m_status->MeterOn() || !m_status->MeterBusy());
    for (QAction* a : {mnuMeterTurnOff, mnuMeterUpdateInfo, mnuCalibrationCalibrate, mnuCalibrationAdvancedCorrection,
                       mnuCalibrationClear, mnuCalibrateChangeSettings, mnuDataTakeReading, mnuDataScanData,
                       mnuDataNormalize, mnuDataSetParameters})
        a->setEnabled(ready);
    mnuCalibrationAdvanced->setEnabled(ready);
    mnuDataClearReadings->setEnabled(hasRows);
    mnuDataDelete->setEnabled(hasRows);
}

void GlimoraApp::ToolbarClick(const QString& key)
{
    if (key == QLatin1String("Cancel")) CancelCommand();
    else if (key == QLatin1String("Off")) TurnOffCommand();
    else if (key == QLatin1String("Print")) PrintCommand();
    else if (key == QLatin1String("Open")) OpenFileCommand();
    else if (key == QLatin1String("Exit")) close();
    else if (key == QLatin1String("Read")) TakeReadingCommand();
    else if (key == QLatin1String("Scan")) ScanDataCommand();
    else if (key == QLatin1String("Calibrate")) CalibrateCommand();
    else if (key == QLatin1String("Clear")) ClearReadingsCommand();
}

void GlimoraApp::ShowMeterStatus()
{
    m_status->ShowMeterStatus();
}

void GlimoraApp::OnMeterEvent(int code)
{
    switch (code) {
    case VantrelCntl::Event::ReadingReady:
        ShowMeterStatus();
        DoRead();
        break;
    case VantrelCntl::Event::ScanReady: DoSaveScan(); break;
    case VantrelCntl::Event::Busy:
        m_status->SetMeterBusy(true);
        ShowMeterStatus();
        break;
    case VantrelCntl::Event::Idle:
        m_status->SetMeterBusy(false);
        ShowMeterStatus();
        break;
    case VantrelCntl::Event::Warning:
        ShowMeterStatus();
        support::Sounds().MessageBeep(support::MessageSound::Warning);
        break;
    default:
        if (!LeftAlone(code)) ShowMeterStatus();
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Readings

void GlimoraApp::SetNumberFormat()
{
    if (Prefs.Digits < 0 || Prefs.Digits > 3) Prefs.Digits = 2;
    NumberFormat = support::NumberFormatText(Prefs.Digits);
    if (m_scanProfile) m_scanProfile->RefreshNumberFormat();
    if (m_statistics) m_statistics->RefreshNumberFormat();
}

void GlimoraApp::UpdateSummary()
{
    const SummaryTexts t =
        MakeSummary(m_readings->Averages(), support::DigitsOfFormat(NumberFormat), m_readings->RowCount());
    SumSpecular->setText(t.Specular);
    SumDOI->setText(t.DOI);
    Sum2Deg->setText(t.Deg2);
    Sum15Deg->setText(t.Deg15);
    SumCount->setText(t.Count);
    for (QLabel* l : {SumSpecular, SumDOI, Sum2Deg, Sum15Deg, SumCount}) l->setAccessibleName(l->text());
}

void GlimoraApp::DoRead()
{
    // With no file open, and readings without a file not allowed, the reading is dropped
    // without even being fetched.
    if (!FileOpen() && !Prefs.NoFile) {
        if (Prefs.SoundOn) support::Sounds().MessageBeep(support::MessageSound::Warning);
        return;
    }
    CurrentReading.PixelAvg = Prefs.PixelAvg;
    const int16_t calIndex = VC->CalIndex();
    VC->GetReading(CurrentReading, calIndex);

    if (!CurrentReading.Valid) {
        // Nothing listed, averaged or written; the meter's message is still shown below.
        if (Prefs.SoundOn) support::Sounds().MessageBeep(support::MessageSound::Warning);
    } else {
        if (Prefs.SoundOn) support::Sounds().MessageBeep(support::MessageSound::ReadingAccepted);
        // The row where the current sort puts it, with the comment of this moment, and the
        // reading in the averages; then the summary; the file line comes after the row is complete.
        const int row =
            m_readings->AddReading(CurrentReading, support::DigitsOfFormat(NumberFormat), UserCommentBox->text());
        UpdateSummary();
        WriteDataToFile();
        CheckAgainstStandard(row);
        RecordInHistory();
    }
    // Valid or not, the reading's message (or the meter's centre and duty cycle) for nine seconds.
    m_status->ShowReadingMessage(CurrentReading);
}

void GlimoraApp::TakeReadingCommand()
{
    m_status->ClearReadingMessage();
    if (!FileOpen() && !Prefs.NoFile) return;
    if (!VC->TakeReading()) support::Sounds().MessageBeep(support::MessageSound::Warning);
}

void GlimoraApp::ScanDataCommand()
{
    if (!VC->Scan(true)) support::Sounds().MessageBeep(support::MessageSound::Warning);
}

void GlimoraApp::CancelCommand()
{
    VC->Cancel();
}

void GlimoraApp::TurnOffCommand()
{
    VC->TurnOff();
}

void GlimoraApp::ClearReadingsCommand()
{
    ClearReadings();
}

void GlimoraApp::ClearReadings()
{
    m_readings->ClearRows();
    UpdateSummary();
    UpdateCommands();
}

void GlimoraApp::DeleteSelectionCommand()
{
    m_readings->DeleteRows(LV1->SelectionMask());
    UpdateSummary();
    UpdateCommands();
}

void GlimoraApp::NormalizeCommand()
{
    if (!VC->Normalize()) support::Sounds().MessageBeep(support::MessageSound::Warning);
}

void GlimoraApp::DoSaveScan()
{
    // Any failure ends the save silently.
    try {
        if (!LastScan) LastScan = std::make_unique<ScanData>();
        VC->GetScanData(*LastScan);
        if (!LastScan->HasData) return;
        m_lastScanTime = QDateTime::currentDateTime();
        RecordScanInHistory(*LastScan, m_lastScanTime);
        if (m_scanProfile) m_scanProfile->ShowScan(*LastScan, m_lastScanTime);
        const QString path = ChooseScanFile(this, m_store.get());
        if (path.isEmpty()) return;
        // The file carries the time it was saved, however long the operator took to choose it.
        WriteScanFile(path, *LastScan, QDateTime::currentDateTime());
    } catch (...) {}
}

// ---------------------------------------------------------------------------------------------
// Create, load, unload

GlimoraApp::GlimoraApp(VantrelCntl* meter, std::unique_ptr<support::SettingsStore> store, QWidget* parent)
    : QMainWindow(parent)
    , VC(meter)
    , m_store(std::move(store))
{
    UsePlainExtensionIcons();
    m_link = new MeterLink(meter, Prefs, this);
    m_comments = std::make_unique<CommentColumns>(*m_store);
    CreateControls();
    CreateMenus();
    CreateToolbar();
    m_recent = std::make_unique<RecentFiles>(*m_store, mnuFile);
    connect(m_recent.get(), &RecentFiles::Opened, this, [this](const QString& path) { OpenFile(path, true); });
    m_dataPrompts = std::make_unique<DataFileDialogs>(this, m_store.get());
    m_dataFile = std::make_unique<DataFile>(*m_dataPrompts, *m_readings, CurrentReading);
    connect(m_dataFile.get(), &DataFile::FileChanged, this, &GlimoraApp::DataFileChanged);
    connect(m_dataFile.get(), &DataFile::Forgotten, this, &GlimoraApp::ResetTitle);
    connect(m_dataFile.get(), &DataFile::Opened, m_recent.get(), &RecentFiles::AddRecentFile);
    connect(m_dataFile.get(), &DataFile::ListToBeCleared, this, &GlimoraApp::ClearReadings);
    ProgramFolder = QCoreApplication::applicationDirPath();
    m_help = std::make_unique<HTMLHelp>(this, ProgramFolder, m_store.get());

    m_headerFont = std::make_unique<FontClass>();
    m_dataFont = std::make_unique<FontClass>();
    m_printTabs = std::make_unique<TabClass>();
    SetDefaults();
    CurrentReading.Clear();
    m_history = std::make_unique<store::MeasurementHistory>(*m_store);
    CreateQuality();

    connect(m_link, &MeterLink::MeterEvent, this, &GlimoraApp::OnMeterEvent);
    connect(m_link, &MeterLink::StartupLinked, this, &GlimoraApp::FinishStartup);
    connect(m_link, &MeterLink::FreshLink, this, &GlimoraApp::FreshLink);
}

void GlimoraApp::SetDefaults()
{
    SetPreferenceDefaults(Prefs);
    SetNumberFormat();
    SetPrintDefaults(*m_headerFont, *m_dataFont, *m_printTabs);
}

void GlimoraApp::Load()
{
    if (!m_link->NeverOpened()) return;
    // A settings file that could not be read whole is reported once, with its path.
    if (const QString problem = m_store->Problem(); !problem.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Settings File Error"), problem, QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("SettingsFileError"));
        box.exec();
    }
    // The preferences come first; without a stored password the operator is warned before
    // anything else shows.
    LoadPreferences(*m_store, Prefs, [this] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Password Protection Warning"),
                        QStringLiteral("Password Protection is currently disabled. Calibration can be at risk."),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("PasswordProtectionWarning"));
        box.exec();
    });
    m_recent->LoadRecentFiles();
    FindMeterWindow();
    // Every run starts with empty comment texts under the stored headers.
    m_comments->ClearCommentTexts();
    m_comments->LoadCommentHeaders();
    UserCommentBox->setText(m_comments->CommentText(1));
    m_headerFont->ReadProperties(*m_store, QStringLiteral("HeaderFont"));
    m_dataFont->ReadProperties(*m_store, QStringLiteral("DataFont"));
    m_printTabs->ReadProperties(*m_store, QStringLiteral("Tabs"));
    SetNumberFormat();
    m_status->SetMeterBusy(false);
    m_status->StopReadingMessageTimer();

    // The window is up while the link's handshake runs, with its commands as for a meter not
    // yet linked; it handles its events (and the meter's) as usual, and Exit works. The rest of
    // start-up runs when the link reports that the handshake has ended.
    UpdateCommands();
    FitIntoScreen(this);
    show();
    m_link->Open();
}

void GlimoraApp::FinishStartup()
{
    ShowMeterStatus();
    // No data file is open at start: the plain title, and the commands updated again.
    CloseFile();
    UpdateSummary();
    m_help->SetHelpFile(ProgramFolder);
}

void GlimoraApp::FreshLink()
{
    m_status->SetMeterBusy(false);
    ShowMeterStatus();
}

void GlimoraApp::Unload()
{
    // A window never loaded has nothing of its own to save (and must not overwrite the store).
    if (!m_link->IsOpen()) return;
    // The data file is closed before anything else is saved.
    CloseFile();
    // The data views and the help window close with the main window, keeping their places.
    CloseOwnWindows();
    // Cal standard and keep-alive changed on the meter side outlive the run; a meter that was
    // never handed the preferences has nothing to give back.
    m_link->ReadBack();
    SavePreferences(*m_store, Prefs);
    m_headerFont->WriteProperties(*m_store, QStringLiteral("HeaderFont"));
    m_dataFont->WriteProperties(*m_store, QStringLiteral("DataFont"));
    m_printTabs->WriteProperties(*m_store, QStringLiteral("Tabs"));
    m_store->Sync();
    // The link is closed last.
    m_link->Close();
}

void GlimoraApp::CloseOwnWindows()
{
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w->isWindow() && w->isVisible()) w->close();
}

void GlimoraApp::closeEvent(QCloseEvent* event)
{
    Unload();
    event->accept();
}
