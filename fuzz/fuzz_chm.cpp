// Damaged help files: the input is written to a file and opened the way the help viewer opens
// the program's help file (libmspack unpacks it under the reader); then the table of contents,
// every help context the program uses and a few pages are looked up and read. A file that opens
// must answer consistently.
#include <QStringList>

#include "fuzz/FuzzSupport.h"
#include "help/ChmFile.h"
#include "help/HelpContents.h"

namespace {

// A path the file names is found under that same name.
void CheckFound(const ChmFile& chm, const QString& path)
{
    FUZZ_CHECK(path.isEmpty() || (chm.Contains(path) && chm.CanonicalPath(path) == path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(ChmFile::kMaxFileSize)) return 0;
    const QString path = fuzzing::WriteScratch(QStringLiteral("Glimora_Help.chm"), fuzzing::Bytes(data, size));
    ChmFile chm;
    if (path.isEmpty() || !chm.Open(path)) {
        FUZZ_CHECK(!chm.IsOpen() && chm.Paths().isEmpty() && chm.Read(QStringLiteral("/welcome.htm")).isEmpty());
        FUZZ_CHECK(ContentsPath(chm).isEmpty() && ResolveContext(chm, 4).isEmpty());
        return 0;
    }
    const QStringList paths = chm.Paths();
    FUZZ_CHECK(chm.IsOpen() && !paths.isEmpty() && paths.size() <= ChmFile::kMaxObjects);

    const QString contents = ContentsPath(chm);
    CheckFound(chm, contents);
    ParseSitemap(chm.Read(contents));
    for (int32_t context = 0; context <= 10; ++context) {
        const QString topic = ResolveContext(chm, context);
        CheckFound(chm, topic);
        chm.Read(topic);
    }
    CheckFound(chm, DefaultTopic(chm));
    CheckFound(chm, chm.CanonicalPath(QStringLiteral("KALDEX\\Contact_KALDEX.htm")));
    HelpTitle(chm);

    // Objects are found under their listed names, in any letter case and spelling of the path.
    qint64 total = 0;
    for (const QString& name : paths) total += chm.Read(name).size();
    FUZZ_CHECK(total <= ChmFile::kMaxContentSize);
    for (const QString& name : paths.mid(0, 8)) {
        CheckFound(chm, name);
        const QByteArray bytes = chm.Read(name);
        FUZZ_CHECK(chm.Read(name.toUpper()) == bytes || chm.CanonicalPath(name.toUpper()) != name);
        if (name.startsWith(QLatin1Char('/')) && !name.mid(1).trimmed().isEmpty())
            FUZZ_CHECK(chm.Read(QString(name).replace(QLatin1Char('/'), QLatin1Char('\\')).mid(1)) == bytes);
    }
    chm.Close();
    FUZZ_CHECK(!chm.IsOpen() && chm.Paths().isEmpty());
    return 0;
}
