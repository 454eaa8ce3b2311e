#include "base/error.h"

#include <QCollator>
#include <QLocale>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace brindle {

namespace {

// The user's collation; the C locale has none (it compares code points), so
// it falls back to the common one, which orders punctuation the same way.
QCollator reportCollator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    // Comparing without case compares without width too: "？" is "?".
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(false);
    return collator;
}

} // namespace

QString errorReportText(const QString &message)
{
    if (message.isEmpty())
        return message;
    // The last character as the user sees it: a base letter with its
    // accents, a surrogate pair, CR LF.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, message);
    graphemes.toEnd();
    const qsizetype start = graphemes.toPreviousBoundary();
    const QString last = message.mid(start < 0 ? message.size() - 1 : start);
    // Bounded by U+FFFF, which sorts after everything: a character whose
    // collation begins with the stop itself (an ellipsis is three of them)
    // does not sort after it.
    static const QString kAfterFullStop = u".\uFFFF"_s;
    if (reportCollator().compare(last, kAfterFullStop) <= 0)
        return message;
    return message + u'.';
}

QString messageOf(const std::exception &e)
{
    if (const auto *err = dynamic_cast<const Error *>(&e))
        return err->message();
    return QString::fromUtf8(e.what());
}

} // namespace brindle
