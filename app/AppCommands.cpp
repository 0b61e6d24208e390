// The main window's commands that hand over to the subsystems: data files, comments, printing,
// protection, calibration and help.
#include <QCoreApplication>

#include "app/GlimoraApp.h"
#include "calibration/CalibrationCommands.h"
#include "comments/CommentColumns.h"
#include "dataviews/ReadingStatisticsWindow.h"
#include "dataviews/ScanProfileWindow.h"
#include "datafile/DataFile.h"
#include "datafile/DataFileDialog.h"
#include "datafile/DataLines.h"
#include "datafile/RecentFiles.h"
#include "help/HTMLHelp.h"
#include "dialogs/dlgAboutGlimora.h"
#include "printing/DataReport.h"
#include "quality/StandardCheck.h"
#include "quality/StandardsLibrary.h"
#include "readings/ReadingsModel.h"
#include "settings/PasswordProtection.h"
#include "settings/PreferenceCommands.h"
#include "settings/dlgPasswordSetup.h"
#include "store/MeasurementHistory.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"
#include "vantrel/VantrelCntl.h"

#include <QLineEdit>

// ---------------------------------------------------------------------------------------------
// Data files and comments

bool GlimoraApp::FileOpen() const
{
    return m_dataFile && m_dataFile->FileOpen();
}

bool GlimoraApp::OpenFile(const QString& path, bool exists)
{
    return m_dataFile->OpenFile(path, exists, m_comments->HeadersInUse());
}

void GlimoraApp::DataFileChanged(const QString& path)
{
    if (path.isEmpty()) ResetTitle();
    else SetTitle(path);
    UpdateCommands();
}

void GlimoraApp::CloseFile()
{
    m_dataFile->CloseFile();
}

// One line for CurrentReading, with the comment texts in force: comment text 1 is the trimmed
// text of the comment box.
void GlimoraApp::WriteDataToFile()
{
    if (!FileOpen()) return;
    m_comments->SetCommentText(1, UserCommentBox->text().trimmed());
    m_comments->CountCommentTexts();
    m_dataFile->AppendLine(datafile::ReadingLine(CurrentReading, support::DigitsOfFormat(NumberFormat),
                                                 m_dataFile->CommaSeparated(), m_comments->TextsInUse()));
}

// File > New and File > Open: a cancelled choice changes nothing.
void GlimoraApp::NewFileCommand()
{
    const QString name = m_dataPrompts->ChooseFile(true);
    if (!name.isEmpty()) OpenFile(name, false);
}

void GlimoraApp::OpenFileCommand()
{
    const QString name = m_dataPrompts->ChooseFile(false);
    if (!name.isEmpty()) OpenFile(name, true);
}

void GlimoraApp::CloseFileCommand()
{
    CloseFile();
}

void GlimoraApp::CommentCommand()
{
    m_comments->CommentBtnCommand(this);
}

// ---------------------------------------------------------------------------------------------
// Printing

void GlimoraApp::PrintCommand()
{
    ReportInputs inputs;
    inputs.list = m_readings;
    inputs.averages = &m_readings->Averages();
    inputs.numberFormat = NumberFormat;
    inputs.serialNumber = VC->SerialNumber();
    inputs.now = QDateTime::currentDateTime();
    PrintDataReport(this, *m_headerFont, *m_dataFont, *m_printTabs, inputs);
}

// ---------------------------------------------------------------------------------------------
// Preferences, password and the meter's configuration

void GlimoraApp::PropertiesCommand()
{
    ::PropertiesCommand(
        *VC, Prefs, this, [this] { SetNumberFormat(); }, [this] { UpdateCommands(); });
}

void GlimoraApp::RestoreDefaultsCommand()
{
    ::RestoreDefaultsCommand(*VC, Prefs, this, [this] { SetDefaults(); });
}

void GlimoraApp::PasswordCommand()
{
    ::PasswordCommand(Prefs, this);
}

void GlimoraApp::UpdateInformationCommand()
{
    ::UpdateInformationCommand(*VC, Prefs, this);
}

void GlimoraApp::CalibrateCommand()
{
    ::CalibrateCommand(*VC, Prefs, this);
}

void GlimoraApp::CorrectionCommand()
{
    ::CorrectionCommand(*VC, Prefs, this);
}

void GlimoraApp::ClearConfigurationsCommand()
{
    ::ClearConfigurationsCommand(*VC, Prefs, this);
}

void GlimoraApp::ChangeMeterSettingsCommand()
{
    ::ChangeMeterSettingsCommand(*VC, Prefs, this);
}

void GlimoraApp::SetParametersCommand()
{
    ::SetParametersCommand(*VC, Prefs, this);
}

// ---------------------------------------------------------------------------------------------
// Help

void GlimoraApp::HelpContentsCommand()
{
    m_help->ShowHelpContents();
}

void GlimoraApp::HelpSearchCommand()
{
    m_help->ShowHelpContext(4);
}

void GlimoraApp::HelpContactCommand()
{
    m_help->ShowHelpTopic(QStringLiteral("KALDEX\\Contact_KALDEX.htm"));
}

void GlimoraApp::AboutCommand()
{
    dlgAboutGlimora about(this);
    about.exec();
}

// ---------------------------------------------------------------------------------------------
// Data views

void GlimoraApp::ScanProfileCommand()
{
    if (!m_scanProfile) {
        m_scanProfile = new ScanProfileWindow([this] { return support::DigitsOfFormat(NumberFormat); }, *m_store, this);
        if (LastScan && LastScan->HasData) m_scanProfile->ShowScan(*LastScan, m_lastScanTime);
    }
    m_scanProfile->show();
    m_scanProfile->raise();
    m_scanProfile->activateWindow();
}

void GlimoraApp::StatisticsCommand()
{
    if (!m_statistics)
        m_statistics = new ReadingStatisticsWindow(
            *m_readings, [this] { return support::DigitsOfFormat(NumberFormat); }, *m_store, this);
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}

GlimoraApp::~GlimoraApp()
{
    CloseOwnWindows();
}
