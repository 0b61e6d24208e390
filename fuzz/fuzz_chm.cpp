// Damaged help files: the input is written to a file and opened the way the help viewer opens
// the program's help file (libmspack unpacks it under the reader); then the table of contents,
// every help context the program uses and a few pages are looked up and read. A file that opens
// must answer consistently.
#include <QStringList>

#include "help/ChmFile.h"
#include "help/HelpContents.h"
#include "fuzz/FuzzSupport.h"

namespace {

void CheckFound(const ChmFile& chm, const QString& path)
{
    if (path.isEmpty()) return;
    FUZZ_CHECK(chm.Contains(path));
    FUZZ_CHECK(chm.CanonicalPath(path) == path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > static_cast<size_t>(ChmFile::kMaxFileSize)) return 0;
    const QString path = fuzzing::ScratchDir() + QStringLiteral("/Glimora_Help.chm");
    if (!fuzzing::WriteFile(path, data, size)) return 0;

    ChmFile chm;
    if (!chm.Open(path)) {
        FUZZ_CHECK(!chm.IsOpen());
        FUZZ_CHECK(chm.Paths().isEmpty() && chm.Read(QStringLiteral("/welcome.htm")).isEmpty());
        FUZZ_CHECK(ContentsPath(chm).isEmpty() && ResolveContext(chm, 4).isEmpty());
        return 0;
    }
    FUZZ_CHECK(chm.IsOpen());
    const QStringList paths = chm.Paths();
    FUZZ_CHECK(!paths.isEmpty() && paths.size() <= ChmFile::kMaxObjects);

    const QString contents = ContentsPath(chm);
    CheckFound(chm, contents);
    const QByteArray toc = chm.Read(contents);
    FUZZ_CHECK(toc.size() <= ChmFile::kMaxContentSize);
    ParseSitemap(toc);

    for (int32_t context = 0; context <= 10; ++context) {
        const QString topic = ResolveContext(chm, context);
        CheckFound(chm, topic);
        chm.Read(topic);
    }
    CheckFound(chm, DefaultTopic(chm));
    HelpTitle(chm);

    // Objects are found under their listed names, in any letter case and spelling of the path.
    qint64 total = 0;
    for (const QString& name : paths) total += chm.Read(name).size();
    FUZZ_CHECK(total <= ChmFile::kMaxContentSize);
    for (qsizetype i = 0; i < paths.size() && i < 8; ++i) {
        const QString& name = paths.at(i);
        CheckFound(chm, name);
        const QByteArray bytes = chm.Read(name);
        FUZZ_CHECK(chm.Read(name.toUpper()) == bytes || chm.CanonicalPath(name.toUpper()) != name);
        if (name.startsWith(QLatin1Char('/')) && !name.mid(1).trimmed().isEmpty())
            FUZZ_CHECK(chm.Read(QString(name).replace(QLatin1Char('/'), QLatin1Char('\\')).mid(1)) == bytes);
    }
    const QString contact = chm.CanonicalPath(QStringLiteral("KALDEX\\Contact_KALDEX.htm"));
    CheckFound(chm, contact);
    chm.Read(QStringLiteral("/../welcome.htm"));
    chm.Read(QStringLiteral("images/./glimora.png"));

    chm.Close();
    FUZZ_CHECK(!chm.IsOpen() && chm.Paths().isEmpty());
    return 0;
}
