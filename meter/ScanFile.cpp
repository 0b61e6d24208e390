#include "meter/ScanFile.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <cmath>

#include "dialogs/FileChooser.h"
#include "support/Folders.h"
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

bool ParseScanFileText(const QByteArray& text, ScanData& scan, QDateTime& savedAt, QString& error)
{
    const int lineCount = 1 + ScanData::PointCount;
    if (!text.endsWith("\r\n")) {
        error = QStringLiteral("The file does not end with a complete line.");
        return false;
    }
    const QList<QByteArray> lines = text.left(text.size() - 2).split('\n');
    for (int i = 0; i < lines.size() && i < lineCount; ++i) {
        // Every line but the last still carries the CR of its CR LF.
        if (i + 1 < lines.size() && !lines[i].endsWith('\r')) {
            error = QStringLiteral("Line %1 does not end with carriage return and line feed.").arg(i + 1);
            return false;
        }
    }
    if (lines.size() != lineCount) {
        error = QStringLiteral("The file has %1 lines; a scan file has %2.").arg(lines.size()).arg(lineCount);
        return false;
    }
    const auto lineText = [&](int i) {
        const QByteArray& l = lines[i];
        // UTF-8, as written: a decimal separator of the locale may be more than one byte.
        return QString::fromUtf8(i + 1 < lineCount ? l.left(l.size() - 1) : l);
    };

    const QString stamp = lineText(0);
    const QDateTime when = QDateTime::fromString(stamp, QStringLiteral("MM/dd/yyyy HH:mm:ss"));
    if (!when.isValid() || support::FormatDateTime(when) != stamp) {
        error = QStringLiteral("Line 1 is not a date and time of the form mm/dd/yyyy hh:mm:ss.");
        return false;
    }

    const QChar point = QLocale::system().decimalPoint().at(0);
    ScanData read;
    QChar separator;
    for (int index = 0; index < ScanData::PointCount; ++index) {
        const int lineNo = index + 2;
        const QString line = lineText(index + 1);
        const QString expectedIndex = QStringLiteral("%1").arg(index, 3, 10, QLatin1Char('0'));
        if (!line.startsWith(expectedIndex) || line.size() < 6) {
            error = QStringLiteral("Line %1 does not start with the index %2.").arg(lineNo).arg(expectedIndex);
            return false;
        }
        const QChar sep = line.at(3);
        if ((sep != QLatin1Char(',') && sep != QLatin1Char('\t')) || (index > 0 && sep != separator)) {
            error = QStringLiteral("Line %1 does not have the file's separator after the index.").arg(lineNo);
            return false;
        }
        separator = sep;
        const QString written = line.mid(4);
        QString number = written.trimmed();
        if (point != QLatin1Char('.')) number.replace(point, QLatin1Char('.'));
        bool ok = false;
        const double value = QLocale::c().toDouble(number, &ok);
        // The value must read back to exactly the text the writer gives it.
        if (!ok || !std::isfinite(value) || support::FormatPrintedDouble(value) != written) {
            error = QStringLiteral("Line %1 does not hold a value after the separator.").arg(lineNo);
            return false;
        }
        read.SetPoint(index, value);
    }
    read.HasData = true;
    scan = read;
    savedAt = when;
    return true;
}

bool ReadScanFile(const QString& path, ScanData& scan, QDateTime& savedAt, QString& error)
{
    // 302 lines of a few dozen characters at most.
    constexpr qint64 kLargest = 64 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The file cannot be read: %1").arg(file.errorString());
        return false;
    }
    if (file.size() > kLargest) {
        error = QStringLiteral("The file is far larger than a scan file.");
        return false;
    }
    const QByteArray text = file.read(kLargest + 1);
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("The file cannot be read: %1").arg(file.errorString());
        return false;
    }
    return ParseScanFileText(text, scan, savedAt, error);
}

void PrepareScanSaveDialog(QFileDialog& dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters(
        {QStringLiteral("Excel (*.csv)"), QStringLiteral("Text (*.txt)"), QStringLiteral("All Files (*.*)")});
    dialog.selectNameFilter(QStringLiteral("Excel (*.csv)"));
    ListEveryFileForStarDotStar(dialog);
    dialog.selectFile(QString());
}

QString ChooseScanFile(QWidget* parent, support::SettingsStore* store)
{
    // A name that cannot be written is refused in the dialog, which stays open: the scan is
    // only lost when the operator cancels.
    FileChooser dialog(parent);
    PrepareScanSaveDialog(dialog);
    if (store) dialog.setDirectory(support::LastFolder(*store, support::ScanFilesFolder));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return {};
    if (store) support::RememberFolder(*store, support::ScanFilesFolder, files.first());
    return files.first();
}
