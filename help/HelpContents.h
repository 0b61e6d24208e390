#pragma once
// What a compiled help file says about itself: its table of contents (a sitemap page), its
// default topic and title (the #SYSTEM records) and the pages it maps to help context numbers
// (#IVB and #STRINGS). Every function works on any file, however damaged: what cannot be read
// gives an empty answer.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

class ChmFile;

// One entry of a sitemap table of contents (.hhc).
struct ContentsEntry {
    QString name;
    QString local;  // page inside the help file, possibly with a #fragment; empty for a heading
    int level = 0;  // 0 for the outermost list
};

// The entries of a sitemap table of contents, in order. Broken markup is tolerated: unknown tags
// are skipped, unbalanced lists are evened out, and no more than kMaxContentsEntries entries and
// kMaxContentsLevel levels are kept.
constexpr int kMaxContentsEntries = 20000;
constexpr int kMaxContentsLevel = 16;
QList<ContentsEntry> ParseSitemap(const QByteArray& html);

// The table of contents (.hhc) named by the file's system information, else the first .hhc in
// the file; empty when there is none.
QString ContentsPath(const ChmFile& file);
// The default topic and the title named by the file's system information (empty if none).
QString DefaultTopic(const ChmFile& file);
QString HelpTitle(const ChmFile& file);
// The topic that the file maps to the help context number, as an object path of the file;
// empty when the number is not mapped or its page is not in the file.
QString ResolveContext(const ChmFile& file, int32_t context);
