#pragma once

// The ".wmp" profile file: thirteen values and thirteen ticks as a small XML
// document. The byte-level functions work on buffers so that tests and the
// fuzzer can feed them anything; the path-level ones open the files.

#include "profile/socialentries.h"
#include "profile/tagstringarray.h"
#include "tags/headtags.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace brindle::profile {

inline constexpr char16_t kNotAProfileMessage[] = u"The file is not a valid meta tags profile data.";
inline constexpr char16_t kMissingAttributeError[] =
    u"Could not convert variant of type (Null) into type (String)";

// What a profile holds besides the values and ticks of the thirteen tags.
struct ProfileExtras
{
    // By TagIndex: the text a choice input shows when its value, the item
    // index, does not say it (typed text that is no item, or one that only
    // begins an item); empty when the item's own text is shown, and for the
    // text tags.
    TOvStringArray choiceTexts;
    SocialEntries social;
    // Initialised here so that braces giving only the members above stay
    // free of missing-initializer warnings.
    tags::HeadValues head = {};

    bool operator==(const ProfileExtras &) const = default;
};

// The whole file for a pair of arrays: the root, one "tagname" element per
// entry with "content" then "isused", on one line, UTF-8 without BOM and
// without a declaration. Control characters are written as character
// references so that they read back.
//
// What the extras hold is added so that older readers, which take "content"
// and "isused" of the first thirteen nodes, read what they always read: a
// choice text as a third attribute "text" of its "tagname", the social
// values as one "social" element after the thirteenth "tagname", one
// attribute per field (named by its key, "og-title") and "isused" last, and
// the head values as one "head" element after that (or after the thirteenth
// "tagname"), one attribute per field ("theme-color") and "used" last, the
// keys of the ticked fields one blank apart. A profile without them is
// written byte for byte as before there were any.
QByteArray profileBytes(const TOvStringArray &values, const TOvStringArray &used,
                        const ProfileExtras &extras = {});

// Writes profileBytes through writeFileSafely: a failed write leaves any
// previous file as it was. Throws brindle::Error with ioErrorText's reason.
void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const QString &path);
void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const ProfileExtras &extras,
                  const QString &path);

enum class ReadOutcome
{
    Accepted,
    // The first node is not the root element "OvalinBrindleProfile", or the
    // "social" or "head" element is not one this version writes: a second
    // one, or one with an attribute that is no field's key nor "isused"
    // ("used" for head, naming only fields that have a tick).
    NotAProfile,
};

// Reads the bytes of a profile file. Accepted: the entries the file has nodes
// for are replaced, the others keep their values. NotAProfile or an exception
// (brindle::Error: a parse error in the "%s%s%s: %d%s%s" format, or the
// conversion error of a node without both attributes): values and used are
// left exactly as they were, because the walk fills copies and only a
// complete read takes them over. A node's "text" attribute is its choice
// text (empty without one), kept like its value. Nodes beyond the thirteenth
// are ignored, but for a "social" element among the root's children after
// them: its attributes are the social entries, and a field or "isused" it
// lacks is the conversion error. A file without one has no social values.
// A "head" element there is read the same way. extras may be null when the
// caller has no use for them; both elements are checked anyway.
ReadOutcome readProfileBytes(QByteArrayView data, TOvStringArray &values, TOvStringArray &used,
                             ProfileExtras *extras = nullptr);

// Reads the file at path as readProfileBytes does. Nothing is shown: for
// NotAProfile the caller tells the user kNotAProfileMessage. Throws
// brindle::Error for a file that is missing, unreadable or not well-formed,
// in the parse error format, and for a file over 16 MiB unread.
ReadOutcome ReadProfile(const QString &path, TOvStringArray &values, TOvStringArray &used,
                        ProfileExtras *extras = nullptr);

// reason, CR LF, "Line", ": ", line, CR LF, source.
QString parseErrorMessage(const QString &reason, int line, const QString &source);

} // namespace brindle::profile
