#pragma once

// The ".wmp" profile file: thirteen values and thirteen ticks as a small XML
// document. The byte-level functions work on buffers so that tests and the
// fuzzer can feed them anything; the path-level ones open the files.

#include "profile/socialentries.h"
#include "profile/tagstringarray.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace brindle::profile {

inline constexpr char16_t kNotAProfileMessage[] = u"The file is not a valid meta tags profile data.";
inline constexpr char16_t kMissingAttributeError[] =
    u"Could not convert variant of type (Null) into type (String)";

// The whole file for a pair of arrays: the root, one "tagname" element per
// entry with "content" then "isused", on one line, UTF-8 without BOM and
// without a declaration. Control characters are written as character
// references so that they read back.
//
// Social values follow the thirteenth "tagname" as one "social" element,
// one attribute per field (named by its key, "og-title") and "isused" last.
// Older readers take the thirteen nodes and ignore what comes after them;
// a profile without social values is written without the element, byte for
// byte as before there was one.
QByteArray profileBytes(const TOvStringArray &values, const TOvStringArray &used,
                        const SocialEntries &social = {});

// Writes profileBytes through writeFileSafely: a failed write leaves any
// previous file as it was. Throws brindle::Error with ioErrorText's reason.
void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const QString &path);
void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const SocialEntries &social,
                  const QString &path);

enum class ReadOutcome
{
    Accepted,
    // The first node is not the root element "OvalinBrindleProfile", or the
    // "social" element is not one this version writes: a second one, or one
    // with an attribute that is no field's key nor "isused".
    NotAProfile,
};

// Reads the bytes of a profile file. Accepted: the entries the file has nodes
// for are replaced, the others keep their values. NotAProfile or an exception
// (brindle::Error: a parse error in the "%s%s%s: %d%s%s" format, or the
// conversion error of a node without both attributes): values and used are
// left exactly as they were, because the walk fills copies and only a
// complete read takes them over. Nodes beyond the thirteenth are ignored,
// but for a "social" element among the root's children after them: its
// attributes are the social entries, and a field or "isused" it lacks is the
// conversion error. A file without one has no social values. social may be
// null when the caller has no use for them; the element is checked anyway.
ReadOutcome readProfileBytes(QByteArrayView data, TOvStringArray &values, TOvStringArray &used,
                             SocialEntries *social = nullptr);

// Reads the file at path as readProfileBytes does. Nothing is shown: for
// NotAProfile the caller tells the user kNotAProfileMessage. Throws
// brindle::Error for a file that is missing, unreadable or not well-formed,
// in the parse error format, and for a file over 16 MiB unread.
ReadOutcome ReadProfile(const QString &path, TOvStringArray &values, TOvStringArray &used,
                        SocialEntries *social = nullptr);

// reason, CR LF, "Line", ": ", line, CR LF, source.
QString parseErrorMessage(const QString &reason, int line, const QString &source);

} // namespace brindle::profile
