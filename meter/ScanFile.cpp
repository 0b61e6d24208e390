#include "meter/ScanFile.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "dialogs/FileChooser.h"
#include "support/Numbers.h"
#include "vantrel/ScanData.h"

QString ScanSeparatorFor(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    return extension == QLatin1String("csv") ? QStringLiteral(",") : QStringLiteral("\t");
}

QByteArray ScanFileText(const ScanData& scan, const QDateTime& savedAt, const QString& separator)
{
    QString text = support::FormatDateTime(savedAt) + QStringLiteral("\r\n");
    text.reserve(301 * 28);
    for (int i = 0; i < ScanData::PointCount; ++i) {
        text += QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
        text += separator;
        text += support::FormatPrintedDouble(scan.Point(i));
        text += QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

bool WriteScanFile(const QString& path, const ScanData& scan, const QDateTime& savedAt)
{
    QByteArray text;
    try {
        text = ScanFileText(scan, savedAt, ScanSeparatorFor(path));
    } catch (const std::exception&) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const bool ok = file.write(text) == text.size() && file.flush();
    file.close();
    return ok && file.error() == QFileDevice::NoError;
}

void PrepareScanSaveDialog(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({QStringLiteral("Excel (*.csv)"), QStringLiteral("Text (*.txt)"), QStringLiteral("All Files (*.*)")});
    dialog.selectNameFilter(QStringLiteral("Excel (*.csv)"));
    ListEveryFileForStarDotStar(dialog);
    dialog.selectFile(QString());
}

QString ChooseScanFile(QWidget* parent)
{
    // A name that cannot be written is refused in the dialog, which stays open: the scan is
    // only lost when the operator cancels.
    FileChooser dialog(parent);
    PrepareScanSaveDialog(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}
