#pragma once

// Writes a profile's ticked tags into existing pages: each replaces the
// page's tag of its kind where it stands, later ones of that kind go, and a
// tag the page lacks comes after the last tag Brindle knows, or before
// </head>, on a line of its own indented like its neighbours. The
// alternates replace the page's in order, more of them go after its last
// one. The language is the lang of the page's <html> start tag (and its
// xml:lang). Every other byte of the page stays as it was.

#include "base/filewriter.h"
#include "pagehead/headreader.h"
#include "pagehead/unifieddiff.h"
#include "tags/metataggenerator.h"

#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace brindle::pagehead {

// Pages larger than this are left alone rather than held in memory twice.
inline constexpr qint64 kRewriteLimit = qint64(64) << 20;

// The lines a profile writes, by TagIndex, from the generator; empty for a
// tag it does not write (unticked, or an empty text). The social card lines
// likewise by field.
struct ProfileLines
{
    std::array<QString, tags::kTagCount> html;
    std::array<QString, tags::kTagCount> xhtml;
    std::array<QString, tags::kSocialFieldCount> socialHtml;
    std::array<QString, tags::kSocialFieldCount> socialXhtml;
    // The head fields' lines by field: one each, an alternate's one per
    // entry, none for Language (the <html>'s lang is no line).
    std::array<QStringList, tags::kHeadFieldCount> headHtml;
    std::array<QStringList, tags::kHeadFieldCount> headXhtml;
    QString language;           // the lang the page's <html> gets; empty to leave it
    QString structuredDataType; // the @type of the script the structured data line replaces
    QString charsetCode;        // the code the charset line names; empty when it is not written
    // Ticked choice tags without text: they write nothing, and a page that
    // has such a tag is left alone rather than have its value emptied.
    std::array<bool, tags::kTagCount> withoutText{};

    // Throws brindle::Error when a social or head value is refused
    // (tags::socialLines, tags::headLines) and when the charset is
    // (tags::charsetChoice), but for an empty one.
    static ProfileLines of(const tags::TagValues &values, const tags::RowTicks &ticks);
    // No line, and no tag without text that would leave a page alone.
    bool writesNothing() const;
};

// The edits that put the lines into a page whose head was read from
// `page` (its first bytes at least), with the lines in the charset
// `encoding`. Edits that would write what is there already are left out.
// Throws brindle::Error with the reason when the page is to be left alone.
std::vector<PageEdit> planEdits(const PageHead &head, QByteArrayView page, const ProfileLines &lines,
                                const QString &encoding);

// Whether the profile's charset tag names another charset than the page is in.
bool changesCharset(const PageHead &head, const ProfileLines &lines);
// The charset the lines go into the page in: the page's own, or the one its
// new charset tag names. A page may change its charset tag only when its
// bytes mean the same in the new charset (plain ASCII, or valid UTF-8 for
// UTF-8); otherwise throws brindle::Error, since the tag would misstate them.
// wholePage must be all of the page when changesCharset().
QString linesCharset(const PageHead &head, QByteArrayView wholePage, const ProfileLines &lines);

enum class PageOutcome
{
    Changed,
    Unchanged,
    Failed
};

struct ApplyOptions
{
    bool dryRun = false;  // make the diff, write nothing
    QString backupSuffix; // keep the old page as PAGE + suffix, a new file
    bool replaceBackup =
        false; // a backup that exists (a regular file) is replaced; else the page is left alone
    // Called with the page's path between reading it and replacing it; a
    // seam for tests that change the page meanwhile.
    std::function<void(const QString &)> beforeReplace;
};

struct PageResult
{
    PageOutcome outcome = PageOutcome::Failed;
    QString message; // why the page failed: "<path>: <reason>"
    QByteArray diff; // dry run: the unified diff of the change
};

// Reads, changes and replaces one page. A page with more than one name (hard
// links), a backup that exists (unless replaceBackup) or a value that would
// break the page leave it alone. Thread-safe; never throws.
PageResult applyToPage(const QString &path, const ProfileLines &lines, const ApplyOptions &options);

// A page read and changed whose new bytes (and backup) wait in a batch.
struct PreparedPage
{
    PageResult result;    // final unless pending
    bool pending = false; // finishPage() puts the page in place
    QString path;
    FileStamp stamp;          // of the page as read
    bool readWhole = true;    // its bytes were as many as its size said
    int backup = -1;          // in the batch
    QString backupError;      // why the backup could not be written
    int page = -1;            // in the batch
    QString pageError;        // why the new bytes could not be written
    bool pageChanged = false; // not the file read any more when its new bytes were to be written
};

// applyToPage in two halves, for many pages that share one sync: prepare
// each page (in parallel if wanted), sync the batch, then finish each, and
// sync the batch's folders. The results are applyToPage's. `found`, for a
// page found in a folder, is its stamp then: a page that is another file
// now is left alone. Thread-safe; never throw.
PreparedPage preparePage(const QString &path, const ProfileLines &lines, const ApplyOptions &options,
                         FileBatch &batch, const FileStamp *found = nullptr);
PageResult finishPage(const PreparedPage &prepared, const ApplyOptions &options, FileBatch &batch);

} // namespace brindle::pagehead
