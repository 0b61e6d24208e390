#include "help/ChmFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <mspack.h>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// libmspack reads and writes through an mspack_system. This one works in memory only: the help
// file is a byte array, and each object is unpacked into a byte array that refuses to grow past
// the object's declared length. Allocations are counted, so that no header of a damaged file can
// make the library take more than kMaxLibraryMemory.

constexpr size_t kMaxLibraryMemory = 64 * 1024 * 1024;

// The names handed to the library; open() knows them by address.
const char kInputName[] = "help file";
const char kOutputName[] = "object";

struct MemorySystem {
    mspack_system base;
    const QByteArray* input = nullptr;
    QByteArray* output = nullptr;
    qint64 outputLimit = 0;
    size_t allocated = 0;
};

struct MemoryFile {
    MemorySystem* system = nullptr;
    bool writing = false;
    qint64 pos = 0;
};

// The library calls alloc() and open() through copies of the mspack_system as well as through
// the original, so the system at work is found here, not through the pointer it passes.
thread_local MemorySystem* t_system = nullptr;

mspack_file* OpenMemory(mspack_system*, const char* name, int mode)
{
    MemorySystem* system = t_system;
    if (!system) return nullptr;
    const bool reading = name == kInputName && mode == MSPACK_SYS_OPEN_READ;
    const bool writing = name == kOutputName && mode == MSPACK_SYS_OPEN_WRITE && system->output;
    if (!reading && !writing) return nullptr;
    auto* file = new MemoryFile;
    file->system = system;
    file->writing = writing;
    return reinterpret_cast<mspack_file*>(file);
}

void CloseMemory(mspack_file* file)
{
    delete reinterpret_cast<MemoryFile*>(file);
}

int ReadMemory(mspack_file* handle, void* buffer, int bytes)
{
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    const QByteArray* input = file->system->input;
    if (file->writing || bytes < 0) return -1;
    const qint64 available = std::max<qint64>(0, input->size() - file->pos);
    const int n = static_cast<int>(std::min<qint64>(bytes, available));
    if (n > 0) std::memcpy(buffer, input->constData() + file->pos, static_cast<size_t>(n));
    file->pos += n;
    return n;
}

int WriteMemory(mspack_file* handle, void* buffer, int bytes)
{
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    QByteArray* output = file->system->output;
    if (!file->writing || bytes < 0 || output->size() + qint64(bytes) > file->system->outputLimit) return -1;
    output->append(static_cast<const char*>(buffer), bytes);
    file->pos += bytes;
    return bytes;
}

int SeekMemory(mspack_file* handle, off_t offset, int mode)
{
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    const qint64 size = file->writing ? file->system->output->size() : file->system->input->size();
    qint64 base = 0;
    if (mode == MSPACK_SYS_SEEK_CUR) base = file->pos;
    else if (mode == MSPACK_SYS_SEEK_END) base = size;
    else if (mode != MSPACK_SYS_SEEK_START) return -1;
    // Offsets come from the file's headers: anything outside the data is an error, not a wrap.
    if (offset < -base || offset > size - base) return -1;
    file->pos = base + offset;
    return 0;
}

off_t TellMemory(mspack_file* handle)
{
    return static_cast<off_t>(reinterpret_cast<MemoryFile*>(handle)->pos);
}

void IgnoreMessage(mspack_file*, const char*, ...)
{}

// Each block carries its size in front, so that free() can count it back.
constexpr size_t kBlockHeader = alignof(std::max_align_t);

void* AllocMemory(mspack_system*, size_t bytes)
{
    MemorySystem* system = t_system;
    if (!system || bytes > kMaxLibraryMemory - system->allocated) return nullptr;
    auto* block = static_cast<char*>(std::malloc(bytes + kBlockHeader));
    if (!block) return nullptr;
    std::memcpy(block, &bytes, sizeof bytes);
    std::memcpy(block + sizeof bytes, &system, sizeof system);
    system->allocated += bytes;
    return block + kBlockHeader;
}

void FreeMemory(void* pointer)
{
    if (!pointer) return;
    char* block = static_cast<char*>(pointer) - kBlockHeader;
    size_t bytes = 0;
    MemorySystem* system = nullptr;
    std::memcpy(&bytes, block, sizeof bytes);
    std::memcpy(&system, block + sizeof bytes, sizeof system);
    system->allocated -= bytes;
    std::free(block);
}

void CopyMemory(void* source, void* destination, size_t bytes)
{
    std::memcpy(destination, source, bytes);
}

static_assert(sizeof(size_t) + sizeof(MemorySystem*) <= kBlockHeader);

// Owns libmspack's CHM reader and the opened file's headers.
class MspackChm {
public:
    explicit MspackChm(const QByteArray& data)
    {
        m_system.base = {OpenMemory,    CloseMemory, ReadMemory, WriteMemory, SeekMemory, TellMemory,
                         IgnoreMessage, AllocMemory, FreeMemory, CopyMemory,  nullptr};
        m_system.input = &data;
        m_previous = std::exchange(t_system, &m_system);
        m_chm = mspack_create_chm_decompressor(&m_system.base);
        if (m_chm) m_header = m_chm->open(m_chm, kInputName);
    }
    ~MspackChm()
    {
        if (m_header) m_chm->close(m_chm, m_header);
        if (m_chm) mspack_destroy_chm_decompressor(m_chm);
        t_system = m_previous;
    }
    MspackChm(const MspackChm&) = delete;
    MspackChm& operator=(const MspackChm&) = delete;

    mschmd_header* Header() const { return m_header; }

    // The object's bytes, or false when it does not unpack to exactly its declared length.
    bool Extract(mschmd_file* file, QByteArray* out)
    {
        out->clear();
        if (file->length == 0) return true;
        m_system.output = out;
        m_system.outputLimit = file->length;
        const int result = m_chm->extract(m_chm, file, kOutputName);
        m_system.output = nullptr;
        return result == MSPACK_ERR_OK && out->size() == file->length;
    }

private:
    MemorySystem m_system;
    MemorySystem* m_previous = nullptr;
    mschm_decompressor* m_chm = nullptr;
    mschmd_header* m_header = nullptr;
};

// The two identifiers of the file header. The help compiler that builds our help file (chmcmd,
// fp-utils) writes the first one twice, and libmspack refuses such a file; the second is set
// right in the reader's own copy of the bytes, nothing else of the file is changed.
QByteArray WithStandardHeaderIds(QByteArray data)
{
    static const QByteArray first = QByteArray::fromHex("10fd017caa7bd0119e0c00a0c922e6ec");
    static const QByteArray second = QByteArray::fromHex("11fd017caa7bd0119e0c00a0c922e6ec");
    if (data.size() >= 0x38 && data.mid(0x18, 16) == first && data.mid(0x28, 16) == first)
        data.replace(0x28, 16, second);
    return data;
}

bool LibraryUsable()
{
    static const bool usable = [] {
        int result = MSPACK_ERR_OK;
        MSPACK_SYS_SELFTEST(result);
        return result == MSPACK_ERR_OK;
    }();
    return usable;
}

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
    // A file that grew past the limit since its size was taken still shows as too large.
    const QByteArray data = file.read(kMaxFileSize + 1);
    if (!OpenData(data)) return false;
    m_path = info.absoluteFilePath();
    return true;
}

bool ChmFile::OpenData(const QByteArray& data)
{
    Close();
    if (data.size() > kMaxFileSize || !data.startsWith("ITSF") || !LibraryUsable()) return false;
    const QByteArray input = WithStandardHeaderIds(data);
    MspackChm chm(input);
    mschmd_header* header = chm.Header();
    if (!header) return false;

    // The uncompressed objects first, then the compressed ones by their place in the stream, so
    // that the library unpacks the stream once from start to end. A compressed object that
    // starts inside the one before it would make the library go back and unpack again: a file
    // built that way is damaged.
    std::vector<mschmd_file*> files;
    for (mschmd_file* list : {header->files, header->sysfiles})
        for (mschmd_file* f = list; f; f = f->next) {
            if (files.size() == size_t(kMaxObjects) || !f->section) return false;
            files.push_back(f);
        }
    std::stable_sort(files.begin(), files.end(), [](const mschmd_file* a, const mschmd_file* b) {
        return a->section->id != b->section->id ? a->section->id < b->section->id : a->offset < b->offset;
    });

    qint64 budget = kMaxContentSize;
    off_t compressedEnd = 0;
    for (mschmd_file* f : files) {
        const bool compressed = f->section->id == 1;
        if (f->offset < 0 || f->length < 0 || f->length > budget || (compressed && f->offset > kMaxContentSize)
            || (compressed && f->length > 0 && f->offset < compressedEnd)) {
            Close();
            return false;
        }
        if (compressed && f->length > 0) compressedEnd = f->offset + f->length;
        // A name that cannot be normalised cannot be asked for; a second object of the same
        // name is unreachable.
        const QString name = NormalizePath(QString::fromUtf8(f->filename));
        const QString key = name.toCaseFolded();
        if (name.isEmpty() || m_objects.contains(key)) continue;
        Object object{name, {}};
        if (!chm.Extract(f, &object.data)) {
            Close();
            return false;
        }
        budget -= object.data.size();
        m_objects.insert(key, object);
    }
    // Listed in directory order, as the library found them.
    QSet<QString> listed;
    for (mschmd_file* list : {header->files, header->sysfiles})
        for (mschmd_file* f = list; f; f = f->next) {
            const QString key = NormalizePath(QString::fromUtf8(f->filename)).toCaseFolded();
            const auto it = m_objects.constFind(key);
            if (it != m_objects.constEnd() && !listed.contains(key)) {
                listed.insert(key);
                m_order.append(it->name);
            }
        }
    if (m_order.isEmpty()) Close();
    return IsOpen();
}

void ChmFile::Close()
{
    m_path.clear();
    m_objects.clear();
    m_order.clear();
}

const ChmFile::Object* ChmFile::Find(const QString& path) const
{
    const QString normal = NormalizePath(path);
    if (normal.isEmpty()) return nullptr;
    auto it = m_objects.constFind(normal.toCaseFolded());
    return it == m_objects.constEnd() ? nullptr : &it.value();
}

bool ChmFile::Contains(const QString& path) const
{
    return Find(path) != nullptr;
}

QByteArray ChmFile::Read(const QString& path) const
{
    const Object* object = Find(path);
    return object ? object->data : QByteArray();
}

QString ChmFile::CanonicalPath(const QString& path) const
{
    const Object* object = Find(path);
    return object ? object->name : QString();
}
