#include "core/error.h"

using namespace Qt::StringLiterals;

namespace brindle {

QString errorReportText(const QString &message)
{
    if (message.isEmpty())
        return message;
    const QChar last = message.back();
    static const QString kAtOrBeforeFullStop = u"_-,;:!?."_s;
    if (last.isSpace() || last.category() == QChar::Other_Control || kAtOrBeforeFullStop.contains(last))
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
