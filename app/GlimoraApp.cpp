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

#include "app/AppDataFileHost.h"
#include "app/ToolbarIcons.h"
#include "comments/CommentColumns.h"
#include "comments/SingleLine.h"
#include "datafile/DataFile.h"
#include "datafile/RecentFiles.h"
#include "dialogs/HTMLHelp.h"
#include "meter/ScanFile.h"
#include "printing/DataReport.h"
#include "meter/StatusDisplay.h"
#include "readings/ReadingsModel.h"
#include "readings/ReadingsView.h"
#include "readings/Summary.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"
#include "support/Sounds.h"
#include "vantrel/VantrelCntl.h"

namespace {
const QString kTitle = QStringLiteral("DOI/Haze Meter");
}

bool GlimoraApp::MeterBusy() const { return m_status->MeterBusy; }
bool GlimoraApp::MeterOn() const { return m_status->MeterOn; }
QString GlimoraApp::PanelText(int panel) const { return m_status->PanelText(panel); }

// ---------------------------------------------------------------------------------------------
// Controls

void GlimoraApp::CreateControls()
{
    setObjectName(QStringLiteral("GlimoraApp"));
    setWindowTitle(kTitle);
    setWindowIcon(QIcon(QStringLiteral(":/icons/glimora.png")));

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
    for (auto [cap, val] : {std::pair{Label6, SumCount}, {Label1, SumSpecular}, {Label2, SumDOI}, {Label3, Sum2Deg}, {Label4, Sum15Deg}}) {
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
    commentRow->addWidget(CommentBtn);
    commentRow->addWidget(UserCommentBox, 1);
    column->addLayout(commentRow);
    setCentralWidget(central);

    m_status = new StatusDisplay(statusBar(), *VC, [this] { UpdateCommands(); }, this);
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
    action(mnuFile, mnuFileOpen, "mnuFileOpen", "&Open", QKeySequence(Qt::CTRL | Qt::Key_O), &GlimoraApp::OpenFileCommand);
    action(mnuFile, mnuFileClose, "mnuFileClose", "&Close", {}, &GlimoraApp::CloseFileCommand);
    separator(mnuFile, "mnuFileBar2");
    mnuFileProperties = mnuFile->addMenu(QStringLiteral("Propert&ies"));
    mnuFileProperties->setObjectName(QStringLiteral("mnuFileProperties"));
    action(mnuFileProperties, mnuFilePropProperties, "mnuFilePropProperties", "Propert&ies...", {}, &GlimoraApp::PropertiesCommand);
    action(mnuFileProperties, mnuFilePropRestore, "mnuFilePropRestore", "&Restore Defaults", {}, &GlimoraApp::RestoreDefaultsCommand);
    separator(mnuFile, "mnuFileBar3");
    action(mnuFile, mnuFilePassword, "mnuFilePassword", "Pass&word", QKeySequence(Qt::CTRL | Qt::Key_W), &GlimoraApp::PasswordCommand);
    separator(mnuFile, "mnuFileBar4");
    action(mnuFile, mnuFilePrint, "mnuFilePrint", "&Print...", QKeySequence(Qt::CTRL | Qt::Key_P), &GlimoraApp::PrintCommand);
    separator(mnuFile, "mnuFileBar5");
    action(mnuFile, mnuFileExit, "mnuFileExit", "E&xit", {}, nullptr);
    connect(mnuFileExit, &QAction::triggered, this, &QWidget::close);

    mnuMeter = menuBar()->addMenu(QStringLiteral("&Meter"));
    mnuMeter->setObjectName(QStringLiteral("mnuMeter"));
    action(mnuMeter, mnuMeterCancel, "mnuMeterCancel", "&Cancel Operation", QKeySequence(Qt::CTRL | Qt::Key_C), &GlimoraApp::CancelCommand);
    action(mnuMeter, mnuMeterTurnOff, "mnuMeterTurnOff", "&Turn Off", QKeySequence(Qt::CTRL | Qt::Key_Q), &GlimoraApp::TurnOffCommand);
    action(mnuMeter, mnuMeterUpdateInfo, "mnuMeterUpdateInfo", "&Update Information", QKeySequence(Qt::CTRL | Qt::Key_U),
           &GlimoraApp::UpdateInformationCommand);
    separator(mnuMeter, "mnuMeterBar1");
    action(mnuMeter, mnuMeterConnection, "mnuMeterConnection", "C&onnection...", {}, &GlimoraApp::MeterConnectionCommand);

    mnuCalibration = menuBar()->addMenu(QStringLiteral("&Calibration"));
    mnuCalibration->setObjectName(QStringLiteral("mnuCalibration"));
    action(mnuCalibration, mnuCalibrationCalibrate, "mnuCalibrationCalibrate", "&Calibrate", QKeySequence(Qt::CTRL | Qt::Key_T),
           &GlimoraApp::CalibrateCommand);
    separator(mnuCalibration, "mnuCalibrationSpace1");
    mnuCalibrationAdvanced = mnuCalibration->addMenu(QStringLiteral("&Advanced"));
    mnuCalibrationAdvanced->setObjectName(QStringLiteral("mnuCalibrationAdvanced"));
    action(mnuCalibrationAdvanced, mnuCalibrationAdvancedCorrection, "mnuCalibrationAdvancedCorrection", "&Correction",
           QKeySequence(Qt::CTRL | Qt::Key_D), &GlimoraApp::CorrectionCommand);
    action(mnuCalibrationAdvanced, mnuCalibrationClear, "mnuCalibrationClear", "C&lear Configurations", {},
           &GlimoraApp::ClearConfigurationsCommand);
    action(mnuCalibrationAdvanced, mnuCalibrateChangeSettings, "mnuCalibrateChangeSettings", "Change Meter &Settings", {},
           &GlimoraApp::ChangeMeterSettingsCommand);

    mnuData = menuBar()->addMenu(QStringLiteral("&Data"));
    mnuData->setObjectName(QStringLiteral("mnuData"));
    action(mnuData, mnuDataTakeReading, "mnuDataTakeReading", "&Take Reading", QKeySequence(Qt::CTRL | Qt::Key_R),
           &GlimoraApp::TakeReadingCommand);
    separator(mnuData, "mnuDataSpacer1");
    action(mnuData, mnuDataClearReadings, "mnuDataClearReadings", "&Clear Readings", {}, &GlimoraApp::ClearReadingsCommand);
    action(mnuData, mnuDataDelete, "mnuDataDelete", "&Delete Selection", QKeySequence(Qt::Key_Delete), &GlimoraApp::DeleteSelectionCommand);
    action(mnuData, mnuDataScanData, "mnuDataScanData", "&Scan Data", QKeySequence(Qt::CTRL | Qt::Key_S), &GlimoraApp::ScanDataCommand);
    action(mnuData, mnuDataNormalize, "mnuDataNormalize", "&Normalize", QKeySequence(Qt::CTRL | Qt::Key_F), &GlimoraApp::NormalizeCommand);
    action(mnuData, mnuDataSetParameters, "mnuDataSetParameters", "Set &Parameters...", {}, &GlimoraApp::SetParametersCommand);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    action(mnuHelp, mnuHelpContents, "mnuHelpContents", "&Contents...", {}, &GlimoraApp::HelpContentsCommand);
    action(mnuHelp, mnuHelpSearch, "mnuHelpSearch", "&Search For Help On...", {}, &GlimoraApp::HelpSearchCommand);
    action(mnuHelp, mnuHelpContactKALDEX, "mnuHelpContactKALDEX", "Contact &KALDEX...", {}, &GlimoraApp::HelpContactCommand);
    separator(mnuHelp, "mnuHelpBar1");
    action(mnuHelp, mnuHelpAbout, "mnuHelpAbout", "&About Glimora...", {}, &GlimoraApp::AboutCommand);
}

void GlimoraApp::CreateToolbar()
{
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
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
    const bool ready = linked && m_status->MeterOn && !m_status->MeterBusy;
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
    // Another meter control can be chosen whenever the meter is not at work.
    mnuMeterConnection->setEnabled(!linked || !m_status->MeterBusy);
    for (QAction* a : {mnuMeterTurnOff, mnuMeterUpdateInfo, mnuCalibrationCalibrate, mnuCalibrationAdvancedCorrection,
                       mnuCalibrationClear, mnuCalibrateChangeSettings, mnuDataTakeReading, mnuDataScanData, mnuDataNormalize,
                       mnuDataSetParameters})
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
    case 12:
        ShowMeterStatus();
        DoRead();
        break;
    case 21:
        DoSaveScan();
        break;
    case 9:
        m_status->MeterBusy = true;
        ShowMeterStatus();
        break;
    case 10:
        m_status->MeterBusy = false;
        ShowMeterStatus();
        break;
    case 6:
        ShowMeterStatus();
        support::Sounds().MessageBeep(48);
        break;
    case 8: case 11: case 14: case 17: case 18: case 19: case 20:
        break;
    default:
        ShowMeterStatus();
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Readings

void GlimoraApp::SetNumberFormat()
{
    if (Prefs.Digits < 0 || Prefs.Digits > 3) Prefs.Digits = 2;
    NumberFormat = support::NumberFormatText(Prefs.Digits);
}

void GlimoraApp::UpdateSummary()
{
    const SummaryTexts t = MakeSummary(Averages, support::DigitsOfFormat(NumberFormat), m_readings->RowCount());
    SumSpecular->setText(t.Specular);
    SumDOI->setText(t.DOI);
    Sum2Deg->setText(t.Deg2);
    Sum15Deg->setText(t.Deg15);
    SumCount->setText(t.Count);
    for (QLabel* l : {SumSpecular, SumDOI, Sum2Deg, Sum15Deg, SumCount}) l->setAccessibleName(l->text());
}

void GlimoraApp::DoRead()
{
    // 1. No file open and readings without a file not allowed: the reading is dropped unfetched.
    if (!FileOpen() && !Prefs.NoFile) {
        if (Prefs.SoundOn) support::Sounds().MessageBeep(48);
        return;
    }
    // 2-3. Fetch it with the meter's current cal standard.
    CurrentReading.PixelAvg = Prefs.PixelAvg;
    const int16_t calIndex = VC->CalIndex();
    VC->GetReading(CurrentReading, calIndex);

    if (!CurrentReading.Valid) {
        // 4. Invalid: a warning, nothing listed, averaged or written.
        if (Prefs.SoundOn) support::Sounds().MessageBeep(48);
    } else {
        // 5. Accepted.
        if (Prefs.SoundOn) support::Sounds().MessageBeep(0);
        // 6. One row where the current sort puts it.
        m_readings->AddRow(ReadingsModel::MakeReading(CurrentReading, support::DigitsOfFormat(NumberFormat), UserCommentBox->text()));
        // 7. Averages and summary.
        Averages.Add(CurrentReading);
        UpdateSummary();
        // 8. One line in the open data file.
        WriteDataToFile();
    }
    // 9. The reading's message in panel 5 for nine seconds.
    m_status->ShowReadingMessage(CurrentReading);
}

void GlimoraApp::TakeReadingCommand()
{
    m_status->ClearReadingMessage();
    if (!FileOpen() && !Prefs.NoFile) return;
    if (!VC->TakeReading()) support::Sounds().MessageBeep(48);
}

void GlimoraApp::ScanDataCommand()
{
    if (!VC->Scan(true)) support::Sounds().MessageBeep(48);
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
    Averages.Clear();
    UpdateSummary();
    UpdateCommands();
}

void GlimoraApp::DeleteSelectionCommand()
{
    m_readings->DeleteRows(LV1->SelectionMask(), Averages);
    UpdateSummary();
    UpdateCommands();
}

void GlimoraApp::NormalizeCommand()
{
    if (!VC->Normalize()) support::Sounds().MessageBeep(48);
}

void GlimoraApp::DoSaveScan()
{
    // Any failure ends the save silently.
    try {
        if (!LastScan) LastScan = std::make_unique<ScanData>();
        VC->GetScanData(*LastScan);
        if (!LastScan->HasData) return;
        const QString path = ChooseScanFileHook ? ChooseScanFileHook(this) : ChooseScanFile(this);
        if (path.isEmpty()) return;
        WriteScanFile(path, *LastScan, QDateTime::currentDateTime());
    } catch (...) {
    }
}

// ---------------------------------------------------------------------------------------------
// Create, load, unload

GlimoraApp::GlimoraApp(VantrelCntl* meter, QWidget* parent)
    : QMainWindow(parent)
    , VC(meter)
{
    VC->setParent(this);
    m_comments = std::make_unique<CommentColumns>();
    m_dataHost = std::make_unique<AppDataFileHost>(*this);
    m_dataFile = std::make_unique<DataFile>(*m_dataHost, *m_comments);
    CreateControls();
    CreateMenus();
    CreateToolbar();
    m_recent = std::make_unique<RecentFiles>(mnuFile);
    connect(m_recent.get(), &RecentFiles::Opened, this, [this](const QString& path) { OpenFile(path, true); });
    ProgramFolder = QCoreApplication::applicationDirPath();

    // A. Fonts and tabs, defaults, the two readings.
    m_headerFont = std::make_unique<FontClass>();
    m_dataFont = std::make_unique<FontClass>();
    m_printTabs = std::make_unique<TabClass>();
    SetDefaults();
    Averages.Clear();
    CurrentReading.Clear();

    connect(VC, &VantrelCntl::MeterEvent, this, &GlimoraApp::OnMeterEvent);
}


void GlimoraApp::SetDefaults()
{
    SetPreferenceDefaults(Prefs);
    SetNumberFormat();
    SetPrintDefaults(*m_headerFont, *m_dataFont, *m_printTabs);
}

void GlimoraApp::Load()
{
    if (m_loaded) return;
    m_loaded = true;
    // B1. Preferences; the warning when no password is set.
    LoadPreferences(Prefs, [this] {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Password Protection Warning"),
                        QStringLiteral("Password Protection is currently disabled. Calibration can be at risk."), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("PasswordProtectionWarning"));
        box.exec();
    });
    // B2. Recent files.
    m_recent->LoadRecentFiles();
    // B3. Comment texts and headers.
    m_comments->ClearCommentTexts();
    m_comments->LoadCommentHeaders();
    UserCommentBox->setText(m_comments->CommentText(1));
    // B4. Print fonts and tab stops.
    m_headerFont->ReadProperties(QStringLiteral("Glimora"), QStringLiteral("HeaderFont"));
    m_dataFont->ReadProperties(QStringLiteral("Glimora"), QStringLiteral("DataFont"));
    m_printTabs->ReadProperties(QStringLiteral("Glimora"), QStringLiteral("Tabs"));
    // B5-B6.
    SetNumberFormat();
    m_status->MeterBusy = false;
    m_status->Timer1.stop();
    // B7. Open the link and wait for the handshake; the window is up meanwhile and keeps
    // handling its events. Its commands start as for a meter not yet linked, so that nothing
    // (a data file opened meanwhile, say) is undone by the steps after the handshake.
    UpdateCommands();
    show();
    VC->SetConnected(true);
    while (VC->ConnectState() == 1) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    // B8. The preferences the meter mirrors.
    VC->SetCalIndex(Prefs.CalIndex);
    VC->SetKeepAlive(Prefs.KeepAlive);
    VC->SetEnableButton(Prefs.EnableButton);
    VC->SetConstDC(Prefs.CalConst);
    // B9-B12.
    ShowMeterStatus();
    CloseFile();
    UpdateSummary();
    HTMLHelp::SetHelpFile(this, ProgramFolder);
}

void GlimoraApp::Unload()
{
    if (m_unloaded) return;
    m_unloaded = true;
    // C1. The data file first.
    CloseFile();
    // C2. What changed on the meter side outlives the run.
    Prefs.CalIndex = VC->CalIndex();
    Prefs.KeepAlive = VC->KeepAlive();
    // C3. Preferences.
    SavePreferences(Prefs);
    // C4. Fonts and tab stops.
    m_headerFont->WriteProperties(QStringLiteral("Glimora"), QStringLiteral("HeaderFont"));
    m_dataFont->WriteProperties(QStringLiteral("Glimora"), QStringLiteral("DataFont"));
    m_printTabs->WriteProperties(QStringLiteral("Glimora"), QStringLiteral("Tabs"));
    support::SettingsStore::Instance().Sync();
    // C5. The link is closed last.
    VC->SetConnected(false);
}

void GlimoraApp::closeEvent(QCloseEvent* event)
{
    Unload();
    event->accept();
}
