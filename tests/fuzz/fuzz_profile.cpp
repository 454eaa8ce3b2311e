// libFuzzer harness for the profile reader. Besides crashes and sanitizer
// reports it checks the reader's promises: the caller's arrays change only
// when a whole file was accepted, nothing is stored beyond thirteen entries
// (an out-of-range index would throw std::out_of_range and end the run), the
// choice texts and social entries change with them, an
// error message carries no raw control character, and whatever was accepted
// survives being written and read back unchanged.

#include "base/error.h"
#include "profile/profilefile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace brindle::profile;
using namespace Qt::StringLiterals;

namespace {

TOvStringArray marked(char prefix)
{
    TOvStringArray a;
    for (int i = 0; i < TOvStringArray::kCount; ++i)
        a[i] = QString(QChar::fromLatin1(prefix)) + QString::number(i);
    return a;
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz_profile: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const TOvStringArray valuesBefore = marked('v');
    const TOvStringArray usedBefore = marked('u');
    TOvStringArray values = valuesBefore;
    TOvStringArray used = usedBefore;
    ProfileExtras extrasBefore;
    extrasBefore.choiceTexts = marked('t');
    extrasBefore.social.values.fill(u"s"_s);
    extrasBefore.social.used = u"s"_s;
    ProfileExtras extras = extrasBefore;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    ReadOutcome outcome{};
    try {
        outcome = readProfileBytes(bytes, values, used, &extras);
    } catch (const brindle::Error &e) {
        if (values != valuesBefore || used != usedBefore || extras != extrasBefore)
            fail("a failed read changed the caller's arrays");
        if (e.message() != QString::fromUtf16(kMissingAttributeError) && !e.message().contains(u"\r\nLine: "))
            fail("an error message in neither known format");
        // Besides the two line breaks of the format, the file's control
        // characters are shown as pictures.
        QString shown = e.message();
        shown.replace(u"\r\n"_s, QString());
        for (const QChar c : shown) {
            if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
                fail("a raw control character in an error message");
        }
        return 0;
    }
    if (outcome == ReadOutcome::NotAProfile) {
        if (values != valuesBefore || used != usedBefore || extras != extrasBefore)
            fail("a rejected file changed the caller's arrays");
        return 0;
    }

    // The writer must escape everything the reader could have delivered.
    TOvStringArray valuesAgain = marked('x');
    TOvStringArray usedAgain = marked('y');
    ProfileExtras extrasAgain = extrasBefore;
    if (readProfileBytes(profileBytes(values, used, extras), valuesAgain, usedAgain, &extrasAgain) !=
        ReadOutcome::Accepted)
        fail("a written profile was rejected");
    if (valuesAgain != values || usedAgain != used || extrasAgain != extras)
        fail("a written profile read back differently");
    return 0;
}
