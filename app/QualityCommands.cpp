// Judging readings against standards: the standards and the check live beside the measurement
// history; Data > Standards..., Check Against Standard..., Control Chart... and Certificate....
#include <QComboBox>
#include <QInputDialog>
#include <QSqlDatabase>
#include <QStandardPaths>

#include "app/GlimoraApp.h"
#include "dialogs/FileChooser.h"
#include "dialogs/dlgError.h"
#include "quality/Certificate.h"
#include "quality/ControlChartWindow.h"
#include "quality/StandardCheck.h"
#include "quality/StandardsEditor.h"
#include "quality/StandardsLibrary.h"
#include "readings/ReadingsModel.h"
#include "settings/PasswordProtection.h"
#include "store/LabConnection.h"
#include "store/LocalStore.h"
#include "store/MeasurementHistory.h"
#include "support/Numbers.h"
#include "support/SettingsStore.h"
#include "support/Sounds.h"
#include "vantrel/VantrelCntl.h"

void GlimoraApp::CreateQuality()
{
    m_standards = std::make_unique<quality::StandardsLibrary>(
        [this] { return m_history->Local().Database(); }, [this](QString* problem) { return LabDatabase(problem); });
    m_check = std::make_unique<quality::StandardCheck>(*m_standards, *m_store);
}

// The lab database on this thread, for the standards the stations share and the lab's history;
// opened when first needed and kept. Invalid when none is set; *problem says why when it cannot
// be reached.
QSqlDatabase GlimoraApp::LabDatabase(QString* problem)
{
    const QString server = m_history->Server();
    if (server.isEmpty()) return {};
    const QString name = QStringLiteral("quality-lab");
    if (QSqlDatabase::contains(name)) {
        if (QSqlDatabase::database(name, false).isOpen()) return QSqlDatabase::database(name, false);
        QSqlDatabase::removeDatabase(name);  // lost: opened afresh below
    }
    QString why;
    if (store::OpenLabConnection(server, name, &why).isEmpty()) {
        if (problem) *problem = why;
        return {};
    }
    return QSqlDatabase::database(name, false);
}

void GlimoraApp::CheckAgainstStandard(int row)
{
    m_verdictStandard.clear();
    m_verdict.clear();
    if (!m_check->Current()) return;
    // The values as the list shows them: a reading shown on a limit is within it.
    const int digits = support::DigitsOfFormat(NumberFormat);
    const auto shown = [digits](double v) { return support::StoredNumber(support::FormatValue(v, digits)); };
    const quality::Judgement j = m_check->JudgeReading({shown(CurrentReading.Specular()), shown(CurrentReading.DOI()),
                                                        shown(CurrentReading.Deg2()), shown(CurrentReading.Deg15())});
    m_verdictStandard = m_check->CurrentName();
    m_verdict = quality::VerdictText(j.overall);
    m_readings->SetVerdict(row, m_verdict);
    // After the reading's own sound, a failed reading sounds the warning.
    if (j.overall == quality::Verdict::Fail && Prefs.SoundOn)
        support::Sounds().MessageBeep(support::MessageSound::Warning);
}

void GlimoraApp::StandardsCommand()
{
    m_standards->Refresh();
    quality::StandardsEditor editor(
        *m_standards, [this] { return AuthorizeCommand(*VC, Prefs, this); }, this);
    editor.exec();
}

void GlimoraApp::CheckWindowCommand()
{
    m_standards->Refresh();
    if (!m_checkWindow)
        m_checkWindow = new quality::CheckWindow(
            *m_check, [this] { return support::DigitsOfFormat(NumberFormat); }, this);
    // Beside the main window, not over the list.
    if (!m_checkWindow->isVisible()) m_checkWindow->move(frameGeometry().topRight() + QPoint(8, 0));
    m_checkWindow->show();
    m_checkWindow->raise();
    m_checkWindow->activateWindow();
}

void GlimoraApp::ControlChartCommand()
{
    m_standards->Refresh();
    if (!m_controlChart) {
        m_controlChart = new quality::ControlChartWindow(*m_standards, this);
        const int at = m_controlChart->cboStandard->findText(m_check->CurrentName());
        if (at >= 0) m_controlChart->cboStandard->setCurrentIndex(at);
    } else {
        m_controlChart->Reload();
    }
    m_controlChart->show();
    m_controlChart->raise();
    m_controlChart->activateWindow();
}

void GlimoraApp::CertificateCommand()
{
    m_standards->Refresh();
    QStringList names;
    for (const quality::Standard& s : m_standards->Standards()) names << s.name;
    if (names.isEmpty()) {
        ShowErrorDialog(this, QStringLiteral("Certificate"),
                        QStringLiteral("There is no standard yet: add one with Data > Standards..."));
        return;
    }
    bool ok = false;
    const QString name =
        QInputDialog::getItem(this, QStringLiteral("Certificate"), QStringLiteral("Standard:"), names,
                              std::max<qsizetype>(0, names.indexOf(m_check->CurrentName())), false, &ok);
    const quality::Standard* standard = m_standards->Find(name);
    if (!ok || !standard) return;

    quality::CertificateContent c;
    c.lab = m_store->GetSetting(QStringLiteral("Certificate"), QStringLiteral("Lab"));
    c.logoPath = m_store->GetSetting(QStringLiteral("Certificate"), QStringLiteral("Logo"));
    c.standard = *standard;
    c.digits = support::DigitsOfFormat(NumberFormat);
    for (int i = 0; i < m_readings->RowCount(); ++i) {
        quality::CertificateReading r;
        r.time = m_readings->TakenText(i, 0);
        for (int p = 0; p < quality::kParameterCount; ++p)
            r.values[p] = support::StoredNumber(m_readings->TakenText(i, p + 1));
        r.calStandard = m_readings->TakenText(i, 5);
        c.readings.push_back(r);
    }
    c.serialNumber = VC->SerialNumber();
    c.calStandard = c.readings.empty() ? CurrentReading.CalStd() : c.readings.back().calStandard;
    c.operatorName = store::MeasurementHistory::OperatorName();
    c.when = QDateTime::currentDateTime();

    FileChooser chooser(this);
    chooser.setWindowTitle(QStringLiteral("Certificate"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setNameFilter(QStringLiteral("PDF files (*.pdf)"));
    chooser.setDefaultSuffix(QStringLiteral("pdf"));
    chooser.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    chooser.selectFile(quality::CertificateFileName(standard->name, c.when.date()));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return;
    QString problem;
    if (!quality::WriteCertificate(chooser.selectedFiles().first(), c, &problem))
        ShowErrorDialog(this, QStringLiteral("Certificate"),
                        QStringLiteral("The certificate could not be written: %1").arg(problem));
}
