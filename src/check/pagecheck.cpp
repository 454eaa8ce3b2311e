#include "check/pagecheck.h"

#include "base/error.h"
#include "pagehead/headreader.h"
#include "tags/metataggenerator.h"

using namespace Qt::StringLiterals;

namespace brindle::check {

namespace {

bool unreadable(const pagehead::PageHead &head)
{
    // A head that decodes badly is still read (as the browser would guess);
    // the charset rules say what is wrong with it.
    return head.problem == pagehead::HeadProblem::Binary ||
           head.problem == pagehead::HeadProblem::HeadTooLong ||
           head.problem == pagehead::HeadProblem::TooComplex;
}

PageReport unreadableReport(const QString &file, const QString &reason)
{
    PageReport report;
    report.file = file;
    report.findings.push_back(unreadablePage(reason));
    return report;
}

PageReport checkBytes(QByteArrayView bytes, const TextMeasure &measure, const QString &file, bool wholePage)
{
    const std::optional<pagehead::PageHead> head = pagehead::parseHead(bytes, true);
    if (!head || unreadable(*head))
        return unreadableReport(file, head ? head->problemText : u"cannot be read"_s);
    PageFacts facts = factsOfHead(*head);
    facts.wholePage = wholePage;
    scanBytes(facts, bytes);
    return checkPage(facts, measure, file);
}

} // namespace

PageReport checkPageFile(const QString &path, const TextMeasure &measure)
{
    try {
        pagehead::PageFile file(path);
        const pagehead::PageHead head = pagehead::readHead(file);
        if (unreadable(head))
            return unreadableReport(path, head.problemText);
        // The charset rules judge the bytes the head was read from, as
        // import and apply read them: never the whole of a long page.
        PageFacts facts = factsOfHead(head);
        scanBytes(facts, file.bytes(), file.atEnd());
        return checkPage(facts, measure, path);
    } catch (const Error &e) {
        return unreadableReport(path, e.message());
    }
}

PageReport checkPageBytes(QByteArrayView bytes, const TextMeasure &measure, const QString &file)
{
    return checkBytes(bytes, measure, file, true);
}

PageReport checkTagLines(const QStringList &lines, const TextMeasure &measure)
{
    // UTF-8, as every page Brindle writes. The page builder puts the <html>
    // tag and the document type around them; only the lines are judged.
    return checkBytes(tags::joinLines(lines).toUtf8(), measure, QString(), false);
}

} // namespace brindle::check
