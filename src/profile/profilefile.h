#pragma once

// The ".wmp" profile file: thirteen values and thirteen ticks as a small XML
// document. The byte-level functions work on buffers so that tests and the
// fuzzer can feed them anything; the path-level ones open the files.

#include "profile/tagstringarray.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QWidget;

namespace brindle {
class Dialogs;
}

namespace brindle::profile {

inline constexpr char16_t kNotAProfileMessage[] = u"The file is not a valid meta tags profile data.";
inline constexpr char16_t kMissingAttributeError[] =
    u"Could not convert variant of type (Null) into type (String)";

// The whole file for a pair of arrays: the root, one "tagname" element per
// entry with "content" then "isused", on one line, UTF-8 without BOM and
// without a declaration. Control characters are written as character
// references so that they read back.
QByteArray profileBytes(const TOvStringArray &values, const TOvStringArray &used);

// Writes profileBytes through writeFileSafely: a failed write leaves any
// previous file as it was. Throws brindle::Error with ioErrorText's reason.
void WriteProfile(const TOvStringArray &values, const TOvStringArray &used, const QString &path);

enum class ReadOutcome
{
    Accepted,
    NotAProfile, // the first node is not the root element "OvalinBrindleProfile"
};

// Reads the bytes of a profile file. Accepted: the entries the file has nodes
// for are replaced, the others keep their values. NotAProfile or an exception
// (brindle::Error: a parse error in the "%s%s%s: %d%s%s" format, or the
// conversion error of a node without both attributes): values and used are
// left exactly as they were, because the walk fills copies and only a
// complete read takes them over. Nodes beyond the thirteenth are ignored.
ReadOutcome readProfileBytes(QByteArrayView data, TOvStringArray &values, TOvStringArray &used);

// Reads the file at path. Returns false after showing kNotAProfileMessage in
// an information box (caption "Brindle"); throws brindle::Error for a file
// that is missing, unreadable or not well-formed, in the parse error format.
bool ReadProfile(const QString &path, TOvStringArray &values, TOvStringArray &used, Dialogs &dialogs,
                 QWidget *parent);

// reason, CR LF, "Line", ": ", line, CR LF, source.
QString parseErrorMessage(const QString &reason, int line, const QString &source);

} // namespace brindle::profile
