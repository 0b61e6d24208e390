#include "dialogs/FileChooser.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMessageBox>

#include <unistd.h>

QString WriteRefusal(const QString& path)
{
    // access(2) gives the kernel's answer for this user, read-only mounts and files that may
    // not be changed by anyone included, without creating or touching anything.
    const QFileInfo info(path);
    if (info.exists()) {
        if (::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK) == 0) return {};
        return QStringLiteral("%1\nThis file is set to read-only.\nTry again with a different file name.")
            .arg(info.fileName());
    }
    if (::access(QFile::encodeName(info.absolutePath()).constData(), W_OK | X_OK) == 0) return {};
    return QStringLiteral(
               "%1\nYou do not have permission to create a file in this folder.\nTry again with a different folder.")
        .arg(QDir::toNativeSeparators(info.absolutePath()));
}

namespace {
void ApplyEveryFilePattern(QFileDialog& dialog)
{
    const QString filter = dialog.selectedNameFilter();
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open) return;
    QStringList patterns = filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (!patterns.contains(QStringLiteral("*.*"))) return;
    patterns.replaceInStrings(QStringLiteral("*.*"), QStringLiteral("*"));
    // The dialog filters through its own file-system model; its pattern list is what counts.
    if (auto* model = dialog.findChild<QFileSystemModel*>()) model->setNameFilters(patterns);
}
}  // namespace

void ListEveryFileForStarDotStar(QFileDialog& dialog)
{
    ApplyEveryFilePattern(dialog);
    // Runs after the dialog has applied the chosen filter itself.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog] { ApplyEveryFilePattern(dialog); });
}

FileChooser::FileChooser(QWidget* parent)
    : QFileDialog(parent)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
}

void FileChooser::accept()
{
    const QStringList files = selectedFiles();
    if (!files.isEmpty() && !QFileInfo(files.first()).isDir()) {
        const QString refusal = Refusal(files.first());
        if (!refusal.isEmpty()) {
            QMessageBox::warning(this, windowTitle(), refusal);
            return;
        }
    }
    QFileDialog::accept();
}

QString FileChooser::Refusal(const QString& path) const
{
    return WriteRefusal(path);
}
