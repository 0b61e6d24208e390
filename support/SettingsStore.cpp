#include "support/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

namespace {
bool SyncPath(const QString& path, bool directory)
{
    const int fd = ::open(QFile::encodeName(path).constData(), directory ? (O_RDONLY | O_DIRECTORY) : O_RDONLY);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The lines of an INI text that can be read: blank lines, comments, "[Section]" lines and
// "key=value" lines. A line of any other form is skipped, and so are the keys under a section
// line that lacks its closing bracket: their section is unknown.
QByteArray WellFormedLines(const QByteArray& raw, int* skipped)
{
    QByteArray out;
    out.reserve(raw.size());
    bool unknownSection = false;
    for (const QByteArray& line : raw.split('\n')) {
        const QByteArray t = line.trimmed();
        bool keep = true;
        if (t.isEmpty() || t.startsWith(';') || t.startsWith('#')) {
            keep = true;
        } else if (t.startsWith('[')) {
            keep = t.indexOf(']') > 1;
            unknownSection = !keep;
        } else {
            keep = !unknownSection && t.indexOf('=') > 0;
        }
        if (keep) {
            out += line;
            out += '\n';
        } else {
            ++*skipped;
        }
    }
    return out;
}

QString NativePath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}
}  // namespace

QString SettingsStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Glimora/Glimora.ini");
}

SettingsStore::SettingsStore(const QString& filePath)
    : m_path(filePath)
{
    Reload();
}

void SettingsStore::Reload()
{
    m_sections.clear();
    m_dirty = false;
    m_problem.clear();
    m_unreadable = false;
    m_damagedUnsaved = false;
    if (!QFileInfo::exists(m_path)) return;

    QFile file(m_path);
    QByteArray raw;
    QString why;
    if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else {
        raw = file.readAll();
        if (file.error() != QFileDevice::NoError) why = file.errorString();
    }
    if (why.isEmpty()) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8.decode(raw);
        Q_UNUSED(text);
        if (raw.contains('\0') || utf8.hasError()) why = QStringLiteral("it is not a text file");
    }
    if (!why.isEmpty()) {
        m_unreadable = true;
        m_problem = QStringLiteral("The settings file %1 could not be read (%2). The program works with its default settings "
                                   "and leaves the file as it is; settings changed now are not saved.")
                        .arg(NativePath(m_path), why);
        return;
    }

    int skipped = 0;
    const QByteArray readable = WellFormedLines(raw, &skipped);
    // Damaged lines are left out of a copy that is read instead of the file.
    QTemporaryFile clean(QDir::tempPath() + QStringLiteral("/glimora-settings-XXXXXX.ini"));
    QString source = m_path;
    if (skipped > 0) {
        if (!clean.open() || clean.write(readable) != readable.size() || !clean.flush()) {
            m_unreadable = true;
            m_problem = QStringLiteral("The settings file %1 could not be read (%2). The program works with its default "
                                       "settings and leaves the file as it is; settings changed now are not saved.")
                            .arg(NativePath(m_path), clean.errorString());
            return;
        }
        source = clean.fileName();
    }
    QSettings ini(source, QSettings::IniFormat);
    // A line QSettings still finds fault with costs that line only: every value it read is kept.
    const bool faulty = skipped > 0 || ini.status() != QSettings::NoError;
    for (const QString& group : ini.childGroups()) {
        ini.beginGroup(group);
        auto& list = m_sections[group];
        for (const QString& key : ini.childKeys()) {
            if (key.isEmpty()) continue;
            list.append({key, ini.value(key).toString()});
        }
        ini.endGroup();
    }
    // Keys outside any group sit in "General"; the program does not use them.
    if (faulty) {
        m_damagedUnsaved = true;
        m_problem = QStringLiteral("The settings file %1 is damaged: lines that could not be read were skipped, every other "
                                   "setting was kept. The damaged file will be kept as %2 when the settings are saved.")
                        .arg(NativePath(m_path), NativePath(AsidePath()));
    }
}

QString SettingsStore::AsidePath() const
{
    QString aside = m_path + QStringLiteral(".damaged");
    for (int n = 1; QFileInfo::exists(aside); ++n) aside = m_path + QStringLiteral(".damaged.%1").arg(n);
    return aside;
}

bool SettingsStore::Contains(const QString& section, const QString& key) const
{
    const auto it = m_sections.constFind(section);
    if (it == m_sections.constEnd()) return false;
    for (const auto& kv : *it)
        if (kv.first == key) return true;
    return false;
}

QString SettingsStore::GetSetting(const QString& section, const QString& key, const QString& defaultValue) const
{
    const auto it = m_sections.constFind(section);
    if (it == m_sections.constEnd()) return defaultValue;
    for (const auto& kv : *it)
        if (kv.first == key) return kv.second;
    return defaultValue;
}

QStringList SettingsStore::Keys(const QString& section) const
{
    QStringList keys;
    const auto it = m_sections.constFind(section);
    if (it != m_sections.constEnd())
        for (const auto& kv : *it) keys.append(kv.first);
    return keys;
}

void SettingsStore::SaveSetting(const QString& section, const QString& key, const QString& value)
{
    auto& list = m_sections[section];
    for (auto& kv : list) {
        if (kv.first == key) {
            if (kv.second != value) {
                kv.second = value;
                m_dirty = true;
            }
            return;
        }
    }
    list.append({key, value});
    m_dirty = true;
}

void SettingsStore::DeleteSetting(const QString& section, const QString& key)
{
    auto it = m_sections.find(section);
    if (it == m_sections.end()) return;
    for (int i = 0; i < it->size(); ++i) {
        if (it->at(i).first == key) {
            it->removeAt(i);
            m_dirty = true;
            return;
        }
    }
}

bool SettingsStore::Sync()
{
    // A file that could not be read may hold what the program cannot see: it stays as it is.
    if (m_unreadable) return false;
    const QFileInfo info(m_path);
    const QString dir = info.absolutePath();
    if (!QDir().mkpath(dir)) return false;
    ::chmod(QFile::encodeName(dir).constData(), 0700);

    const QString temp = m_path + QStringLiteral(".new");
    QFile::remove(temp);
    // What a run killed in the middle of a save leaves behind: QSettings' own temporary file and
    // lock file (an empty lock file would make QSettings wait half a minute before taking it
    // over), and a file that was being checked.
    const QStringList leftovers = {info.fileName() + QStringLiteral(".new.*"), info.fileName() + QStringLiteral(".check-*")};
    for (const QString& left : QDir(dir).entryList(leftovers, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir + QLatin1Char('/') + left);
    {
        // Create the file with owner-only rights before QSettings fills it.
        const int fd = ::open(QFile::encodeName(temp).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return false;
        ::close(fd);
    }
    {
        QSettings ini(temp, QSettings::IniFormat);
        ini.clear();
        for (auto it = m_sections.constBegin(); it != m_sections.constEnd(); ++it) {
            ini.beginGroup(it.key());
            for (const auto& kv : *it) ini.setValue(kv.first, kv.second);
            ini.endGroup();
        }
        ini.sync();
        if (ini.status() != QSettings::NoError) {
            QFile::remove(temp);
            return false;
        }
    }
    // Read the new file back: it must hold every value, or the old file stays. QSettings keeps
    // what it last wrote to a path in a cache and trusts it while the file's size and time stamp
    // are unchanged, so reading `temp` again could see the values it meant to write rather than
    // a file cut short by a full disk. The file is read under a name never used before instead.
    static int checks = 0;
    const QString check = m_path + QStringLiteral(".check-%1-%2").arg(::getpid()).arg(++checks);
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(check).constData()) != 0) {
        QFile::remove(temp);
        return false;
    }
    {
        QSettings reread(check, QSettings::IniFormat);
        bool same = reread.status() == QSettings::NoError;
        int count = 0;
        for (auto it = m_sections.constBegin(); same && it != m_sections.constEnd(); ++it) {
            for (const auto& kv : *it) {
                ++count;
                const QVariant v = reread.value(it.key() + QLatin1Char('/') + kv.first);
                if (!v.isValid() || v.toString() != kv.second) {
                    same = false;
                    break;
                }
            }
        }
        if (same && reread.allKeys().size() != count) same = false;
        if (!same) {
            QFile::remove(check);
            return false;
        }
    }
    // The damaged original goes aside, under a name not in use, before the new file replaces it.
    if (m_damagedUnsaved && QFileInfo::exists(m_path)) {
        const QString aside = AsidePath();
        if (::link(QFile::encodeName(m_path).constData(), QFile::encodeName(aside).constData()) != 0 && !QFile::copy(m_path, aside)) {
            QFile::remove(check);
            return false;
        }
    }
    m_damagedUnsaved = false;
    if (!SyncPath(check, false) || ::rename(QFile::encodeName(check).constData(), QFile::encodeName(m_path).constData()) != 0) {
        QFile::remove(check);
        return false;
    }
    ::chmod(QFile::encodeName(m_path).constData(), 0600);
    SyncPath(dir, true);
    m_dirty = false;
    return true;
}

}  // namespace support
