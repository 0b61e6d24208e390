#include "support/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace support {

namespace {
void SyncFolder(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A value is written as it stands, except one that a reader would take otherwise: one with a
// blank at an end (readers drop blanks around a value) or one enclosed in double quotes goes in a
// pair of double quotes, with its quotes and backslashes escaped. That is also how the builds that
// kept the file through QSettings stored a value holding a separator (a scrambled password can
// hold ";", "," or "="), so such a value reads back as it was.
bool Blank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool Enclosed(const QString& v)
{
    return v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"'));
}
bool NeedsQuotes(const QString& v)
{
    return (!v.isEmpty() && (Blank(v.front()) || Blank(v.back()))) || Enclosed(v);
}

QByteArray Quoted(const QString& v)
{
    QString escaped = v;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return '"' + escaped.toUtf8() + '"';
}

QString ReadValue(const QString& text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && Blank(text.at(begin))) ++begin;
    while (end > begin && Blank(text.at(end - 1))) --end;
    const QString v = text.mid(begin, end - begin);
    if (!Enclosed(v)) return v;
    QString inner;
    for (qsizetype i = 1; i < v.size() - 1; ++i) {
        const bool escape = v.at(i) == QLatin1Char('\\') && i + 1 < v.size() - 1
            && (v.at(i + 1) == QLatin1Char('"') || v.at(i + 1) == QLatin1Char('\\'));
        inner += v.at(escape ? ++i : i);
    }
    return inner;
}

// Section and key names: as written, or as an earlier build escaped them ("Recent%20Files"). A
// name that would still hold a "%" stays as written, so that it reads the same once saved.
QString ReadName(const QString& name)
{
    const QString plain = QString::fromUtf8(QByteArray::fromPercentEncoding(name.toUtf8()));
    return plain.contains(QLatin1Char('%')) ? name : plain;
}

QString NativePath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}
}  // namespace

QString SettingsStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Glimora/Glimora.ini");
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
    if (!why.isEmpty()) {
        m_unreadable = true;
        m_problem =
            QStringLiteral("The settings file %1 could not be read (%2). The program works with its default settings "
                           "and leaves the file as it is; settings changed now are not saved.")
                .arg(NativePath(m_path), why);
        return;
    }

    // Blank lines, comments, "[Section]" and "key=value" lines are read; a line of any other form
    // is skipped, and so are the keys under a section line that lacks its closing bracket. A line
    // that is not UTF-8 (typed in an editor that saves Latin-1) is read as Latin-1.
    int skipped = 0, latin1 = 0;
    QString section = QStringLiteral("General");
    bool unknownSection = false;
    for (QByteArray bytes : raw.split('\n')) {
        if (bytes.endsWith('\r')) bytes.chop(1);
        QStringDecoder utf8(QStringDecoder::Utf8);
        QString line = utf8.decode(bytes);
        if (utf8.hasError()) {
            line = QString::fromLatin1(bytes);
            ++latin1;
        }
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));  // as SaveSetting keeps it
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) continue;
        const bool sectionLine = t.startsWith(QLatin1Char('['));
        const qsizetype close = t.indexOf(QLatin1Char(']')), equals = line.indexOf(QLatin1Char('='));
        const QString key = ReadName(line.left(equals).trimmed());
        if (bytes.contains('\0') || (sectionLine ? close <= 1 : unknownSection || equals <= 0 || key.isEmpty())) {
            ++skipped;
            unknownSection = unknownSection || sectionLine;
            continue;
        }
        if (sectionLine) {
            section = ReadName(t.mid(1, close - 1));
            unknownSection = false;
            continue;
        }
        const QString value = ReadValue(line.mid(equals + 1));
        auto& list = m_sections[section];
        auto old = std::find_if(list.begin(), list.end(), [&](const auto& kv) { return kv.first == key; });
        if (old != list.end()) old->second = value;
        else list.append({key, value});
    }
    if (skipped > 0 || latin1 > 0) {
        QStringList damage;
        if (skipped > 0) damage << QStringLiteral("%1 line(s) that could not be read were skipped").arg(skipped);
        if (latin1 > 0) damage << QStringLiteral("%1 line(s) not written as UTF-8 were read as Latin-1").arg(latin1);
        m_damagedUnsaved = true;
        m_problem =
            QStringLiteral("The settings file %1 is damaged: %2; every other setting was kept. The damaged file will "
                           "be kept as %3 when the settings are saved.")
                .arg(NativePath(m_path), damage.join(QStringLiteral(", ")), NativePath(AsidePath()));
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

void SettingsStore::SaveSetting(const QString& section, const QString& key, const QString& text)
{
    // A value is one line of the file: a line break or a NUL in it becomes a blank.
    QString value = text;
    for (QChar& c : value)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.isNull()) c = QLatin1Char(' ');
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

    // What a run killed in the middle of a save may have left behind: a new file not yet renamed
    // (also under the names earlier builds used).
    const QStringList leftovers = {info.fileName() + QStringLiteral(".new*"),
                                   info.fileName() + QStringLiteral(".check-*")};
    for (const QString& left : QDir(dir).entryList(leftovers, QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(dir + QLatin1Char('/') + left);

    QByteArray text;
    for (auto it = m_sections.constBegin(); it != m_sections.constEnd(); ++it) {
        if (it->isEmpty()) continue;
        text += (text.isEmpty() ? "[" : "\n[") + it.key().toUtf8() + "]\n";
        for (const auto& [key, value] : *it)
            text += key.toUtf8() + '=' + (NeedsQuotes(value) ? Quoted(value) : value.toUtf8()) + '\n';
    }
    // The new file, readable by its owner only, is written whole, read back and compared, and
    // flushed to the disk before it replaces the old one: a full disk leaves the old file whole.
    const QString temp = m_path + QStringLiteral(".new");
    const QByteArray tempName = QFile::encodeName(temp);
    const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.constData() + done, size_t(text.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    const bool written = done == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    QFile check(temp);
    if (!written || !check.open(QIODevice::ReadOnly) || check.readAll() != text) {
        QFile::remove(temp);
        return false;
    }
    // The damaged original goes aside, under a name not in use, before the new file replaces it.
    if (m_damagedUnsaved && QFileInfo::exists(m_path)) {
        const QString aside = AsidePath();
        if (::link(QFile::encodeName(m_path).constData(), QFile::encodeName(aside).constData()) != 0
            && !QFile::copy(m_path, aside)) {
            QFile::remove(temp);
            return false;
        }
    }
    m_damagedUnsaved = false;
    if (::rename(tempName.constData(), QFile::encodeName(m_path).constData()) != 0) {
        QFile::remove(temp);
        return false;
    }
    ::chmod(QFile::encodeName(m_path).constData(), 0600);
    SyncFolder(dir);
    m_dirty = false;
    return true;
}

}  // namespace support
