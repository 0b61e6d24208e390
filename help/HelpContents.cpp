#include "help/HelpContents.h"

#include <QHash>
#include <QStringDecoder>
#include <algorithm>

#include "help/ChmFile.h"

namespace {

bool Fits(quint64 size, quint64 offset, quint64 length)
{
    return offset <= size && length <= size - offset;
}

bool ReadU32(const QByteArray& data, quint64 offset, quint32* value)
{
    if (!Fits(static_cast<quint64>(data.size()), offset, 4)) return false;
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + offset;
    *value = quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
    return true;
}

QString DecodeEntities(const QString& text)
{
    if (!text.contains(QLatin1Char('&'))) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const qsizetype semi = c == QLatin1Char('&') ? text.indexOf(QLatin1Char(';'), i + 1) : -1;
        if (semi < 0 || semi - i > 10) {
            out += c;
            continue;
        }
        const QString name = text.mid(i + 1, semi - i - 1);
        QString replacement;
        if (name == QLatin1String("amp")) replacement = QStringLiteral("&");
        else if (name == QLatin1String("lt")) replacement = QStringLiteral("<");
        else if (name == QLatin1String("gt")) replacement = QStringLiteral(">");
        else if (name == QLatin1String("quot")) replacement = QStringLiteral("\"");
        else if (name == QLatin1String("apos")) replacement = QStringLiteral("'");
        else if (name == QLatin1String("nbsp")) replacement = QString(QChar(0xa0));
        else if (name.startsWith(QLatin1Char('#'))) {
            bool ok = false;
            const uint code = name.startsWith(QLatin1String("#x"), Qt::CaseInsensitive) ? name.mid(2).toUInt(&ok, 16)
                                                                                        : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff)) {
                const char32_t ch = code;
                replacement = QString::fromUcs4(&ch, 1);
            }
        }
        if (replacement.isEmpty()) {
            out += c;
            continue;
        }
        out += replacement;
        i = semi;
    }
    return out;
}

// The attributes of one tag, names in lower case.
QHash<QString, QString> TagAttributes(const QString& tag)
{
    QHash<QString, QString> attributes;
    qsizetype i = 0;
    const qsizetype n = tag.size();
    while (i < n && !tag.at(i).isSpace()) ++i;  // the tag's name
    while (i < n) {
        while (i < n && (tag.at(i).isSpace() || tag.at(i) == QLatin1Char('/'))) ++i;
        const qsizetype nameStart = i;
        while (i < n && !tag.at(i).isSpace() && tag.at(i) != QLatin1Char('=')) ++i;
        const QString name = tag.mid(nameStart, i - nameStart).toLower();
        while (i < n && tag.at(i).isSpace()) ++i;
        QString value;
        if (i < n && tag.at(i) == QLatin1Char('=')) {
            ++i;
            while (i < n && tag.at(i).isSpace()) ++i;
            if (i < n && (tag.at(i) == QLatin1Char('"') || tag.at(i) == QLatin1Char('\''))) {
                const QChar quote = tag.at(i++);
                const qsizetype end = tag.indexOf(quote, i);
                const qsizetype stop = end < 0 ? n : end;
                value = tag.mid(i, stop - i);
                i = stop + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < n && !tag.at(i).isSpace()) ++i;
                value = tag.mid(valueStart, i - valueStart);
            }
        }
        if (!name.isEmpty() && !attributes.contains(name)) attributes.insert(name, DecodeEntities(value));
    }
    return attributes;
}

// The system information: a version word, then records of a 16-bit code, a 16-bit length and
// that many bytes. Code 0 names the contents file, 2 the default topic, 3 the title.
QString SystemString(const ChmFile& file, int code)
{
    const QByteArray system = file.Read(QStringLiteral("/#SYSTEM"));
    const quint64 size = static_cast<quint64>(system.size());
    const auto* p = reinterpret_cast<const uchar*>(system.constData());
    quint64 pos = 4;
    while (pos + 4 <= size) {
        const int recordCode = p[pos] | p[pos + 1] << 8;
        const quint64 length = p[pos + 2] | p[pos + 3] << 8;
        pos += 4;
        if (!Fits(size, pos, length)) break;
        if (recordCode == code) {
            const QByteArray value = system.mid(static_cast<qsizetype>(pos), static_cast<qsizetype>(length));
            const qsizetype nul = value.indexOf('\0');
            return QString::fromUtf8(nul >= 0 ? value.left(nul) : value).trimmed();
        }
        pos += length;
    }
    return QString();
}

}  // namespace

QList<ContentsEntry> ParseSitemap(const QByteArray& html)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(html);
    const QString text = decoder.isValid() ? decoder.decode(html) : QString::fromLatin1(html);

    QList<ContentsEntry> entries;
    int depth = 0;
    bool inObject = false;
    ContentsEntry current;
    qsizetype pos = 0;
    while (entries.size() < kMaxContentsEntries) {
        const qsizetype open = text.indexOf(QLatin1Char('<'), pos);
        if (open < 0) break;
        if (text.mid(open, 4) == QLatin1String("<!--")) {
            const qsizetype end = text.indexOf(QLatin1String("-->"), open + 4);
            if (end < 0) break;
            pos = end + 3;
            continue;
        }
        // The tag ends at the first '>' outside quotes.
        qsizetype close = open + 1;
        QChar quote;
        for (; close < text.size(); ++close) {
            const QChar c = text.at(close);
            if (!quote.isNull()) {
                if (c == quote) quote = QChar();
            } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
                quote = c;
            } else if (c == QLatin1Char('>')) {
                break;
            }
        }
        if (close >= text.size()) break;
        const QString tag = text.mid(open + 1, close - open - 1).trimmed();
        pos = close + 1;
        qsizetype nameEnd = 0;
        while (nameEnd < tag.size() && !tag.at(nameEnd).isSpace()) ++nameEnd;
        const QString name = tag.left(nameEnd).toLower();

        if (name == QLatin1String("ul")) {
            ++depth;
        } else if (name == QLatin1String("/ul")) {
            if (depth > 0) --depth;
        } else if (name == QLatin1String("object")) {
            const auto attributes = TagAttributes(tag);
            inObject =
                attributes.value(QStringLiteral("type")).compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive)
                == 0;
            current = ContentsEntry();
        } else if (name == QLatin1String("param") && inObject) {
            const auto attributes = TagAttributes(tag);
            const QString param = attributes.value(QStringLiteral("name")).toLower();
            const QString value = attributes.value(QStringLiteral("value")).trimmed();
            if (param == QLatin1String("name") && current.name.isEmpty()) current.name = value;
            else if (param == QLatin1String("local") && current.local.isEmpty()) current.local = value;
        } else if (name == QLatin1String("/object") && inObject) {
            inObject = false;
            if (current.name.isEmpty()) current.name = current.local;
            if (!current.name.isEmpty()) {
                current.level = qBound(0, depth - 1, kMaxContentsLevel - 1);
                entries.append(current);
            }
        }
    }
    return entries;
}

// ---------------------------------------------------------------------------------------------

QString ContentsPath(const ChmFile& file)
{
    const QString named = file.CanonicalPath(SystemString(file, 0));
    if (!named.isEmpty()) return named;
    for (const QString& name : file.Paths())
        if (name.startsWith(QLatin1Char('/')) && name.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) return name;
    return QString();
}

QString DefaultTopic(const ChmFile& file)
{
    return file.CanonicalPath(SystemString(file, 2));
}

QString HelpTitle(const ChmFile& file)
{
    return SystemString(file, 3);
}

// #IVB holds a byte count, then pairs of (context number, offset into #STRINGS). The string is the
// page's path as the compiler saw it, often an absolute path of the machine the file was built
// on: its trailing parts are tried, longest first, until one names an object of the file.
QString ResolveContext(const ChmFile& file, int32_t context)
{
    const QByteArray ivb = file.Read(QStringLiteral("/#IVB"));
    const QByteArray strings = file.Read(QStringLiteral("/#STRINGS"));
    quint32 declared = 0;
    if (!ReadU32(ivb, 0, &declared)) return QString();
    const quint64 available = std::min<quint64>(declared, static_cast<quint64>(ivb.size()) - 4);
    int tries = 0;
    for (quint64 pos = 4; pos + 8 <= 4 + available && tries < 16; pos += 8) {
        quint32 id = 0;
        quint32 offset = 0;
        if (!ReadU32(ivb, pos, &id) || !ReadU32(ivb, pos + 4, &offset)) break;
        if (static_cast<int32_t>(id) != context || offset >= static_cast<quint64>(strings.size())) continue;
        ++tries;
        QByteArray raw = strings.mid(offset, 1024);
        const qsizetype nul = raw.indexOf('\0');
        if (nul >= 0) raw.truncate(nul);
        QString target = QString::fromUtf8(raw).trimmed();
        target.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (target.size() >= 2 && target.at(1) == QLatin1Char(':')) target.remove(0, 2);  // drive letter
        const qsizetype hash = target.indexOf(QLatin1Char('#'));
        if (hash >= 0) target.truncate(hash);
        const QStringList parts = target.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (qsizetype first = 0; first < parts.size(); ++first) {
            const QString found = file.CanonicalPath(parts.mid(first).join(QLatin1Char('/')));
            if (!found.isEmpty()) return found;
        }
    }
    return QString();
}
