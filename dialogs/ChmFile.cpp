#include "dialogs/ChmFile.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Little helpers over untrusted bytes: every read says whether it fitted.

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

bool ReadU64(const QByteArray& data, quint64 offset, quint64* value)
{
    quint32 lo = 0;
    quint32 hi = 0;
    if (!ReadU32(data, offset, &lo) || !ReadU32(data, offset + 4, &hi)) return false;
    *value = quint64(hi) << 32 | lo;
    return true;
}

// The directory's variable-length numbers: seven bits a byte, most significant first, the top bit
// set on every byte but the last.
bool ReadEncInt(const uchar* data, quint64 end, quint64* pos, quint64* value)
{
    quint64 v = 0;
    for (int i = 0; i < 9; ++i) {
        if (*pos >= end) return false;
        const uchar b = data[(*pos)++];
        v = (v << 7) | (b & 0x7f);
        if (!(b & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

QString FoldKey(const QString& path)
{
    return path.toCaseFolded();
}

// ---------------------------------------------------------------------------------------------
// LZX decompression of the compressed section. The section is cut into frames of 32768 bytes;
// the reset table gives where each frame's bits begin, and the decoder forgets its state every
// few frames (the reset interval).

constexpr int kFrameSize = 32768;
constexpr int kMaxCodeBits = 16;
constexpr int kMainChars = 256;
constexpr int kMaxPositionSlots = 50;
constexpr int kMaxMainSymbols = kMainChars + kMaxPositionSlots * 8;
constexpr int kLengthSymbols = 249;
constexpr int kAlignedSymbols = 8;
constexpr int kPreTreeSymbols = 20;
constexpr int kMinMatch = 2;
// Zero bits read past the end of a frame's input before the frame counts as damaged.
constexpr quint64 kOverrunSlack = 32;

struct Tables {
    std::array<quint8, 52> extraBits{};
    std::array<quint32, 52> positionBase{};
    Tables()
    {
        int j = 0;
        for (int i = 0; i < 52; i += 2) {
            extraBits[i] = static_cast<quint8>(j);
            extraBits[i + 1] = static_cast<quint8>(j);
            if (i != 0 && j < 17) ++j;
        }
        for (int i = 0; i < 51; ++i) positionBase[i + 1] = positionBase[i] + (1u << extraBits[i]);
    }
};
const Tables& LzxTables()
{
    static const Tables tables;
    return tables;
}

// Bits are read most significant first from little-endian 16-bit words. Reading past the end
// yields zeros and is counted, so that a damaged frame is noticed without reading outside the
// input.
class BitReader {
public:
    BitReader(const uchar* data, quint64 size) : m_data(data), m_size(size) {}

    void Ensure(int n)
    {
        while (m_bitsLeft < n) {
            quint32 word = 0;
            if (m_pos < m_size && m_size - m_pos >= 2)
                word = quint32(m_data[m_pos]) | quint32(m_data[m_pos + 1]) << 8;
            m_pos += 2;
            m_buffer |= word << (16 - m_bitsLeft);
            m_bitsLeft += 16;
        }
    }
    quint32 Peek(int n) const { return n == 0 ? 0 : m_buffer >> (32 - n); }
    void Remove(int n)
    {
        m_buffer = n >= 32 ? 0 : m_buffer << n;
        m_bitsLeft -= n;
    }
    quint32 Read(int n)
    {
        if (n > 16) {
            const quint32 hi = Read(n - 16);
            return hi << 16 | Read(16);
        }
        if (n == 0) return 0;
        Ensure(n);
        const quint32 v = Peek(n);
        Remove(n);
        return v;
    }
    // An uncompressed block's data starts at the next 16-bit boundary; 1 to 16 bits are skipped.
    void AlignToWord()
    {
        Ensure(16);
        if (m_bitsLeft > 16) m_pos -= 2;
        m_bitsLeft = 0;
        m_buffer = 0;
    }
    // Starts afresh at the current byte position (after an uncompressed block).
    void Restart()
    {
        m_bitsLeft = 0;
        m_buffer = 0;
    }
    void SkipByte() { ++m_pos; }
    bool ReadBytes(uchar* out, quint64 n)
    {
        if (!Fits(m_size, m_pos, n)) return false;
        std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return true;
    }
    bool ReadLe32(quint32* v)
    {
        uchar b[4];
        if (!ReadBytes(b, 4)) return false;
        *v = quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
        return true;
    }
    // Bytes read past the end of the input (as zeros).
    quint64 Overrun() const { return m_pos > m_size ? m_pos - m_size : 0; }

private:
    const uchar* m_data;
    quint64 m_size;
    quint64 m_pos = 0;
    quint32 m_buffer = 0;
    int m_bitsLeft = 0;
};

// A canonical Huffman code: shorter codes first, codes of one length in symbol order.
class Huffman {
public:
    // False when the lengths over-subscribe the code space. All-zero lengths give an empty code,
    // which fails on the first symbol read from it.
    bool Build(const quint8* lengths, int n)
    {
        m_count.fill(0);
        for (int i = 0; i < n; ++i) {
            if (lengths[i] > kMaxCodeBits) return false;
            ++m_count[lengths[i]];
        }
        m_count[0] = 0;
        int left = 1;
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            left <<= 1;
            left -= m_count[len];
            if (left < 0) return false;
        }
        std::array<int, kMaxCodeBits + 2> offsets{};
        for (int len = 1; len <= kMaxCodeBits; ++len) offsets[len + 1] = offsets[len] + m_count[len];
        for (int i = 0; i < n; ++i)
            if (lengths[i] != 0) m_symbol[offsets[lengths[i]]++] = static_cast<quint16>(i);
        return true;
    }
    int Decode(BitReader& bits) const
    {
        bits.Ensure(kMaxCodeBits);
        const quint32 window = bits.Peek(kMaxCodeBits);
        int code = 0;
        int first = 0;
        int index = 0;
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            code |= static_cast<int>((window >> (kMaxCodeBits - len)) & 1);
            const int count = m_count[len];
            if (code - first < count) {
                bits.Remove(len);
                return m_symbol[index + (code - first)];
            }
            index += count;
            first += count;
            first <<= 1;
            code <<= 1;
        }
        return -1;
    }

private:
    std::array<int, kMaxCodeBits + 1> m_count{};
    std::array<quint16, kMaxMainSymbols> m_symbol{};
};

class LzxDecoder {
public:
    explicit LzxDecoder(int windowBits)
        : m_windowSize(1u << windowBits),
          m_window(m_windowSize, 0),
          m_mainElements(kMainChars + SlotsFor(windowBits) * 8)
    {
        Reset();
    }

    void Reset()
    {
        m_r0 = m_r1 = m_r2 = 1;
        m_headerRead = false;
        m_framesRead = 0;
        m_blockRemaining = 0;
        m_blockLength = 0;
        m_blockType = kInvalid;
        m_intelStarted = false;
        m_intelFileSize = 0;
        m_windowPosn = 0;
        m_mainLengths.fill(0);
        m_lengthLengths.fill(0);
    }

    // Decodes one frame from its input bits and hands out its first outLen (1..32768) bytes. Every
    // frame but the last is 32768 bytes long; the last may stop early, or run on to the full
    // frame length as some compressors write it, as long as it yields the bytes asked for.
    bool DecodeFrame(const uchar* in, quint64 inSize, uchar* out, quint32 outLen)
    {
        if (outLen == 0 || outLen > kFrameSize) return false;
        BitReader bits(in, inSize);
        if (!m_headerRead) {
            if (bits.Read(1)) {
                const quint32 hi = bits.Read(16);
                const quint32 lo = bits.Read(16);
                m_intelFileSize = static_cast<qint32>(hi << 16 | lo);
            } else {
                m_intelFileSize = 0;
            }
            m_headerRead = true;
        }
        m_windowPosn &= m_windowSize - 1;
        const quint32 frameStart = m_windowPosn;
        const bool complete = DecodeUntil(bits, frameStart + kFrameSize);
        if (m_windowPosn - frameStart < outLen) return false;
        if (complete && bits.Overrun() > kOverrunSlack) return false;
        std::memcpy(out, &m_window[frameStart], outLen);
        UndoIntelTranslation(out, outLen);
        ++m_framesRead;
        return true;
    }

private:
    enum BlockType { kInvalid = 0, kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

    // Fills the window up to frameEnd (frames never straddle the window's end). False on damaged
    // input; the window then holds what was decoded before the damage.
    bool DecodeUntil(BitReader& bits, quint32 frameEnd)
    {
        if (frameEnd > m_windowSize) return false;
        int headers = 0;
        while (m_windowPosn < frameEnd) {
            if (m_blockRemaining == 0) {
                if (++headers > 4096) return false;
                if (!ReadBlockHeader(bits)) return false;
                if (m_blockRemaining == 0) continue;
            }
            const quint32 thisRun = std::min(m_blockRemaining, frameEnd - m_windowPosn);
            m_blockRemaining -= thisRun;
            if (m_blockType == kUncompressed) {
                if (!bits.ReadBytes(&m_window[m_windowPosn], thisRun)) return false;
                m_windowPosn += thisRun;
                continue;
            }
            qint64 left = thisRun;
            while (left > 0) {
                const int main = m_mainTree.Decode(bits);
                if (main < 0) return false;
                if (main < kMainChars) {
                    m_window[m_windowPosn++] = static_cast<uchar>(main);
                    --left;
                    continue;
                }
                const int element = main - kMainChars;
                quint32 matchLength = element & 7;
                if (matchLength == 7) {
                    const int footer = m_lengthTree.Decode(bits);
                    if (footer < 0) return false;
                    matchLength += footer;
                }
                matchLength += kMinMatch;
                quint32 matchOffset = 0;
                if (!MatchOffset(bits, element >> 3, &matchOffset)) return false;
                if (matchOffset == 0 || matchOffset > m_windowSize) return false;
                if (matchLength > frameEnd - m_windowPosn) return false;
                for (quint32 i = 0; i < matchLength; ++i) {
                    m_window[m_windowPosn] = m_window[(m_windowPosn - matchOffset) & (m_windowSize - 1)];
                    ++m_windowPosn;
                }
                left -= matchLength;
            }
            if (left < 0) {
                // A match ran past the end of its block: the next block is shorter by as much.
                const quint64 over = static_cast<quint64>(-left);
                if (over > m_blockRemaining) return false;
                m_blockRemaining -= static_cast<quint32>(over);
            }
        }
        return true;
    }

    static int SlotsFor(int windowBits)
    {
        switch (windowBits) {
        case 15: return 30;
        case 16: return 32;
        case 17: return 34;
        case 18: return 36;
        case 19: return 38;
        case 20: return 42;
        default: return 50;
        }
    }

    bool ReadBlockHeader(BitReader& bits)
    {
        if (m_blockType == kUncompressed) {
            if (m_blockLength & 1) bits.SkipByte();
            bits.Restart();
        }
        m_blockType = static_cast<int>(bits.Read(3));
        const quint32 hi = bits.Read(16);
        const quint32 lo = bits.Read(8);
        m_blockRemaining = m_blockLength = hi << 8 | lo;
        switch (m_blockType) {
        case kAligned: {
            std::array<quint8, kAlignedSymbols> aligned{};
            for (auto& len : aligned) len = static_cast<quint8>(bits.Read(3));
            if (!m_alignedTree.Build(aligned.data(), kAlignedSymbols)) return false;
            [[fallthrough]];
        }
        case kVerbatim:
            if (!ReadLengths(bits, m_mainLengths.data(), 0, kMainChars)) return false;
            if (!ReadLengths(bits, m_mainLengths.data(), kMainChars, m_mainElements)) return false;
            if (!m_mainTree.Build(m_mainLengths.data(), m_mainElements)) return false;
            if (m_mainLengths[0xE8] != 0) m_intelStarted = true;
            if (!ReadLengths(bits, m_lengthLengths.data(), 0, kLengthSymbols)) return false;
            if (!m_lengthTree.Build(m_lengthLengths.data(), kLengthSymbols)) return false;
            return true;
        case kUncompressed:
            m_intelStarted = true;
            bits.AlignToWord();
            return bits.ReadLe32(&m_r0) && bits.ReadLe32(&m_r1) && bits.ReadLe32(&m_r2);
        default:
            return false;
        }
    }

    // Code lengths are sent as differences to the previous block's lengths, coded with a small
    // pre-tree, with run codes for zeros and repeats.
    bool ReadLengths(BitReader& bits, quint8* lengths, int first, int last)
    {
        std::array<quint8, kPreTreeSymbols> pre{};
        for (auto& len : pre) len = static_cast<quint8>(bits.Read(4));
        Huffman preTree;
        if (!preTree.Build(pre.data(), kPreTreeSymbols)) return false;
        int x = first;
        while (x < last) {
            int z = preTree.Decode(bits);
            if (z < 0) return false;
            if (z == 17) {
                int run = static_cast<int>(bits.Read(4)) + 4;
                while (run-- > 0 && x < last) lengths[x++] = 0;
            } else if (z == 18) {
                int run = static_cast<int>(bits.Read(5)) + 20;
                while (run-- > 0 && x < last) lengths[x++] = 0;
            } else if (z == 19) {
                int run = static_cast<int>(bits.Read(1)) + 4;
                z = preTree.Decode(bits);
                if (z < 0 || z > 16) return false;
                z = lengths[x] - z;
                if (z < 0) z += 17;
                while (run-- > 0 && x < last) lengths[x++] = static_cast<quint8>(z);
            } else {
                z = lengths[x] - z;
                if (z < 0) z += 17;
                lengths[x++] = static_cast<quint8>(z);
            }
        }
        return true;
    }

    bool MatchOffset(BitReader& bits, int slot, quint32* offset)
    {
        if (slot == 0) {
            *offset = m_r0;
            return true;
        }
        if (slot == 1) {
            *offset = m_r1;
            m_r1 = m_r0;
            m_r0 = *offset;
            return true;
        }
        if (slot == 2) {
            *offset = m_r2;
            m_r2 = m_r0;
            m_r0 = *offset;
            return true;
        }
        const Tables& t = LzxTables();
        if (slot >= static_cast<int>(t.extraBits.size())) return false;
        const int extra = t.extraBits[slot];
        quint32 value = t.positionBase[slot] - 2;
        if (m_blockType == kAligned) {
            if (extra > 3) {
                value += bits.Read(extra - 3) << 3;
                const int aligned = m_alignedTree.Decode(bits);
                if (aligned < 0) return false;
                value += static_cast<quint32>(aligned);
            } else if (extra == 3) {
                const int aligned = m_alignedTree.Decode(bits);
                if (aligned < 0) return false;
                value += static_cast<quint32>(aligned);
            } else if (extra > 0) {
                value += bits.Read(extra);
            }
        } else {
            value += bits.Read(extra);
        }
        m_r2 = m_r1;
        m_r1 = m_r0;
        m_r0 = value;
        *offset = value;
        return true;
    }

    // The compressor turned the targets of x86 CALL instructions (E8) into absolute offsets;
    // turn them back.
    void UndoIntelTranslation(uchar* data, quint32 length) const
    {
        if (!m_intelStarted || m_intelFileSize == 0 || m_framesRead >= 32768 || length <= 10) return;
        const qint64 fileSize = m_intelFileSize;
        qint64 curpos = static_cast<qint64>(m_framesRead) * kFrameSize;
        quint32 i = 0;
        while (i < length - 10) {
            if (data[i] != 0xE8) {
                ++i;
                ++curpos;
                continue;
            }
            uchar* p = data + i + 1;
            const qint32 absOff = static_cast<qint32>(quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 |
                                                      quint32(p[3]) << 24);
            if (absOff >= -curpos && absOff < fileSize) {
                const qint64 relOff = absOff >= 0 ? absOff - curpos : absOff + fileSize;
                const auto r = static_cast<quint32>(static_cast<qint32>(relOff));
                p[0] = static_cast<uchar>(r);
                p[1] = static_cast<uchar>(r >> 8);
                p[2] = static_cast<uchar>(r >> 16);
                p[3] = static_cast<uchar>(r >> 24);
            }
            i += 5;
            curpos += 5;
        }
    }

    quint32 m_windowSize;
    std::vector<uchar> m_window;
    int m_mainElements;
    quint32 m_windowPosn = 0;
    quint32 m_r0 = 1, m_r1 = 1, m_r2 = 1;
    bool m_headerRead = false;
    quint32 m_framesRead = 0;
    int m_blockType = kInvalid;
    quint32 m_blockRemaining = 0;
    quint32 m_blockLength = 0;
    bool m_intelStarted = false;
    qint32 m_intelFileSize = 0;
    std::array<quint8, kMaxMainSymbols> m_mainLengths{};
    std::array<quint8, kLengthSymbols> m_lengthLengths{};
    Huffman m_mainTree;
    Huffman m_lengthTree;
    Huffman m_alignedTree;
};

const QString kContentName = QStringLiteral("::DataSpace/Storage/MSCompressed/Content");
const QString kControlName = QStringLiteral("::DataSpace/Storage/MSCompressed/ControlData");
const QString kResetTableName = QStringLiteral(
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable");

}  // namespace

// ---------------------------------------------------------------------------------------------

QString ChmFile::NormalizePath(const QString& path)
{
    if (path.trimmed().isEmpty() || path.size() > 1024 || path.contains(QChar(0))) return QString();
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (p.startsWith(QLatin1String("::"))) return p;  // the container's own objects
    QStringList out;
    const QStringList parts = p.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part == QLatin1String(".")) continue;
        if (part == QLatin1String("..")) {
            if (out.isEmpty()) return QString();
            out.removeLast();
            continue;
        }
        out.append(part);
    }
    QString result = QLatin1Char('/') + out.join(QLatin1Char('/'));
    if (p.endsWith(QLatin1Char('/')) && !out.isEmpty()) result += QLatin1Char('/');
    return result;
}

bool ChmFile::Open(const QString& path)
{
    Close();
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileSize) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    // A buffer the size of the file, not of the limit; a file that grew past the limit since
    // its size was taken still shows as too large.
    QByteArray data = file.read(std::min<qint64>(file.size(), kMaxFileSize) + 1);
    if (data.size() > kMaxFileSize) return false;
    if (!OpenData(data)) return false;
    m_path = info.absoluteFilePath();
    return true;
}

bool ChmFile::OpenData(const QByteArray& data)
{
    Close();
    if (data.size() > kMaxFileSize) return false;
    m_file = data;
    if (!Parse()) {
        Close();
        return false;
    }
    m_open = true;
    return true;
}

void ChmFile::Close()
{
    m_open = false;
    m_path.clear();
    m_file.clear();
    m_contentOffset = 0;
    m_section1.clear();
    m_section1Ok = false;
    m_entries.clear();
    m_order.clear();
}

bool ChmFile::Parse()
{
    const quint64 size = static_cast<quint64>(m_file.size());
    if (size < 0x58 || !m_file.startsWith("ITSF")) return false;
    quint32 version = 0;
    quint32 headerLength = 0;
    quint64 dirOffset = 0;
    quint64 dirLength = 0;
    if (!ReadU32(m_file, 4, &version) || !ReadU32(m_file, 8, &headerLength)) return false;
    if (!ReadU64(m_file, 0x48, &dirOffset) || !ReadU64(m_file, 0x50, &dirLength)) return false;
    if (!Fits(size, dirOffset, dirLength)) return false;
    if (version == 3) {
        if (headerLength < 0x60 || !ReadU64(m_file, 0x58, &m_contentOffset)) return false;
    } else if (version == 2) {
        m_contentOffset = dirOffset + dirLength;
    } else {
        return false;
    }
    if (m_contentOffset > size) return false;
    if (!ParseDirectory(dirOffset, dirLength)) return false;

    // Only objects that can really be read stay listed.
    bool anyCompressed = false;
    for (const Entry& e : std::as_const(m_entries))
        if (e.section == 1 && e.length > 0) anyCompressed = true;
    if (anyCompressed && !DecompressSection()) return false;

    QStringList kept;
    for (const QString& name : std::as_const(m_order)) {
        const QString key = FoldKey(NormalizePath(name));
        const Entry e = m_entries.value(key);
        bool ok = false;
        if (e.section == 0)
            ok = Fits(size - m_contentOffset, e.offset, e.length);
        else if (e.section == 1)
            ok = e.length == 0 || (m_section1Ok && Fits(static_cast<quint64>(m_section1.size()), e.offset, e.length));
        if (ok)
            kept.append(name);
        else
            m_entries.remove(key);
    }
    m_order = kept;
    return !m_order.isEmpty();
}

bool ChmFile::ParseDirectory(quint64 dirOffset, quint64 dirLength)
{
    QByteArray dir = m_file.mid(static_cast<qsizetype>(dirOffset), static_cast<qsizetype>(dirLength));
    const quint64 size = static_cast<quint64>(dir.size());
    if (size < 0x54 || !dir.startsWith("ITSP")) return false;
    quint32 headerLength = 0;
    quint32 chunkSize = 0;
    quint32 chunkCount = 0;
    if (!ReadU32(dir, 8, &headerLength) || !ReadU32(dir, 0x10, &chunkSize) || !ReadU32(dir, 0x2c, &chunkCount))
        return false;
    if (headerLength < 0x54 || headerLength > size) return false;
    if (chunkSize < 32 || chunkSize > 0x100000) return false;
    if (chunkCount > (size - headerLength) / chunkSize) return false;

    const auto* bytes = reinterpret_cast<const uchar*>(dir.constData());
    for (quint32 c = 0; c < chunkCount; ++c) {
        const quint64 chunk = headerLength + quint64(c) * chunkSize;
        if (std::memcmp(bytes + chunk, "PMGL", 4) != 0) continue;  // index chunks are not needed
        quint32 freeSpace = 0;
        if (!ReadU32(dir, chunk + 4, &freeSpace) || freeSpace > chunkSize - 20) return false;
        const quint64 end = chunk + chunkSize - freeSpace;
        quint64 pos = chunk + 20;
        while (pos < end) {
            quint64 nameLength = 0;
            if (!ReadEncInt(bytes, end, &pos, &nameLength)) return false;
            if (nameLength == 0 || nameLength > 4096 || !Fits(end, pos, nameLength)) return false;
            const QString name = QString::fromUtf8(reinterpret_cast<const char*>(bytes + pos),
                                                   static_cast<qsizetype>(nameLength));
            pos += nameLength;
            Entry e;
            e.name = name;
            if (!ReadEncInt(bytes, end, &pos, &e.section) || !ReadEncInt(bytes, end, &pos, &e.offset) ||
                !ReadEncInt(bytes, end, &pos, &e.length))
                return false;
            // Objects are found by their normalised name; a name that cannot be normalised
            // cannot be asked for, and a second object of the same name is unreachable.
            const QString normal = NormalizePath(name);
            const QString key = FoldKey(normal);
            if (!normal.isEmpty() && !m_entries.contains(key)) {
                if (m_entries.size() >= kMaxObjects) return false;
                e.name = normal;
                m_entries.insert(key, e);
                m_order.append(normal);
            }
        }
    }
    return true;
}

bool ChmFile::DecompressSection()
{
    const Entry* content = Find(kContentName);
    const Entry* control = Find(kControlName);
    const Entry* reset = Find(kResetTableName);
    if (!content || !control || !reset) return false;
    if (content->section != 0 || control->section != 0 || reset->section != 0) return false;
    const QByteArray compressed = ReadEntry(*content);
    const QByteArray ctl = ReadEntry(*control);
    const QByteArray table = ReadEntry(*reset);

    // Control data: "LZXC", version, reset interval, window size, windows per reset.
    quint32 version = 0;
    quint32 resetInterval = 0;
    quint32 windowSizeField = 0;
    quint32 windowsPerReset = 0;
    if (ctl.size() < 24 || ctl.mid(4, 4) != "LZXC") return false;
    if (!ReadU32(ctl, 8, &version) || !ReadU32(ctl, 12, &resetInterval) || !ReadU32(ctl, 16, &windowSizeField) ||
        !ReadU32(ctl, 20, &windowsPerReset))
        return false;
    quint64 resetBytes = resetInterval;
    quint64 windowBytes = windowSizeField;
    if (version == 2) {
        resetBytes *= 0x8000;
        windowBytes *= 0x8000;
    } else if (version != 1) {
        return false;
    }
    int windowBits = 0;
    for (int b = 15; b <= 21; ++b)
        if (windowBytes == (quint64(1) << b)) windowBits = b;
    if (windowBits == 0) return false;
    const quint64 windowsPerInterval = resetBytes / (windowBytes / 2);
    if (windowsPerInterval == 0 || windowsPerReset == 0) return false;
    const quint64 resetFrames =
        windowsPerInterval > UINT64_MAX / windowsPerReset ? UINT64_MAX : windowsPerInterval * windowsPerReset;

    // Reset table: where each frame's bits start in the compressed stream.
    quint32 entryCount = 0;
    quint32 entrySize = 0;
    quint32 tableOffset = 0;
    quint64 uncompressedLength = 0;
    quint64 compressedLength = 0;
    quint64 frameLength = 0;
    if (!ReadU32(table, 4, &entryCount) || !ReadU32(table, 8, &entrySize) || !ReadU32(table, 12, &tableOffset) ||
        !ReadU64(table, 16, &uncompressedLength) || !ReadU64(table, 24, &compressedLength) ||
        !ReadU64(table, 32, &frameLength))
        return false;
    if (entrySize != 8 || frameLength != kFrameSize) return false;
    if (uncompressedLength > static_cast<quint64>(kMaxContentSize)) return false;
    if (compressedLength > static_cast<quint64>(compressed.size())) return false;
    if (!Fits(static_cast<quint64>(table.size()), tableOffset, quint64(entryCount) * 8)) return false;
    const quint64 frames = (uncompressedLength + kFrameSize - 1) / kFrameSize;
    if (entryCount < frames) return false;

    std::vector<quint64> starts(frames + 1, compressedLength);
    for (quint64 i = 0; i < frames; ++i) {
        if (!ReadU64(table, tableOffset + i * 8, &starts[i])) return false;
        if (starts[i] > compressedLength || (i > 0 && starts[i] < starts[i - 1])) return false;
    }
    if (frames < entryCount) {
        quint64 next = 0;
        if (!ReadU64(table, tableOffset + frames * 8, &next)) return false;
        if (next < (frames ? starts[frames - 1] : 0) || next > compressedLength) return false;
        starts[frames] = next;
    }

    QByteArray out(static_cast<qsizetype>(uncompressedLength), Qt::Uninitialized);
    LzxDecoder decoder(windowBits);
    const auto* in = reinterpret_cast<const uchar*>(compressed.constData());
    auto* dst = reinterpret_cast<uchar*>(out.data());
    for (quint64 f = 0; f < frames; ++f) {
        if (f % resetFrames == 0) decoder.Reset();
        const quint64 begin = starts[f];
        const quint64 end = std::max(begin, starts[f + 1]);
        const quint64 produced = f * kFrameSize;
        const auto length = static_cast<quint32>(std::min<quint64>(kFrameSize, uncompressedLength - produced));
        if (!decoder.DecodeFrame(in + begin, end - begin, dst + produced, length)) return false;
    }
    m_section1 = out;
    m_section1Ok = true;
    return true;
}

const ChmFile::Entry* ChmFile::Find(const QString& path) const
{
    const QString normal = NormalizePath(path);
    if (normal.isEmpty()) return nullptr;
    auto it = m_entries.constFind(FoldKey(normal));
    return it == m_entries.constEnd() ? nullptr : &it.value();
}

QByteArray ChmFile::ReadEntry(const Entry& e) const
{
    if (e.length == 0) return QByteArray();
    if (e.section == 0) {
        const quint64 size = static_cast<quint64>(m_file.size());
        if (m_contentOffset > size || !Fits(size - m_contentOffset, e.offset, e.length)) return QByteArray();
        return m_file.mid(static_cast<qsizetype>(m_contentOffset + e.offset), static_cast<qsizetype>(e.length));
    }
    if (e.section == 1 && m_section1Ok && Fits(static_cast<quint64>(m_section1.size()), e.offset, e.length))
        return m_section1.mid(static_cast<qsizetype>(e.offset), static_cast<qsizetype>(e.length));
    return QByteArray();
}

bool ChmFile::Contains(const QString& path) const
{
    return m_open && Find(path) != nullptr;
}

QByteArray ChmFile::Read(const QString& path) const
{
    if (!m_open) return QByteArray();
    const Entry* e = Find(path);
    return e ? ReadEntry(*e) : QByteArray();
}

QString ChmFile::CanonicalPath(const QString& path) const
{
    if (!m_open) return QString();
    const Entry* e = Find(path);
    return e ? e->name : QString();
}

// The system information: a version word, then records of a 16-bit code, a 16-bit length and
// that many bytes. Code 0 names the contents file, 2 the default topic, 3 the title.
QString ChmFile::SystemString(int code) const
{
    const QByteArray system = Read(QStringLiteral("/#SYSTEM"));
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

QString ChmFile::ContentsPath() const
{
    if (!m_open) return QString();
    const QString named = CanonicalPath(SystemString(0));
    if (!named.isEmpty()) return named;
    for (const QString& name : m_order)
        if (name.startsWith(QLatin1Char('/')) && name.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) return name;
    return QString();
}

QString ChmFile::DefaultTopic() const
{
    if (!m_open) return QString();
    return CanonicalPath(SystemString(2));
}

QString ChmFile::Title() const
{
    return m_open ? SystemString(3) : QString();
}

// #IVB holds a byte count, then pairs of (context number, offset into #STRINGS). The string is the
// page's path as the compiler saw it, often an absolute path of the machine the file was built
// on: its trailing parts are tried, longest first, until one names an object of the file.
QString ChmFile::ResolveContext(int32_t context) const
{
    if (!m_open) return QString();
    const QByteArray ivb = Read(QStringLiteral("/#IVB"));
    const QByteArray strings = Read(QStringLiteral("/#STRINGS"));
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
            const QString found = CanonicalPath(parts.mid(first).join(QLatin1Char('/')));
            if (!found.isEmpty()) return found;
        }
    }
    return QString();
}
