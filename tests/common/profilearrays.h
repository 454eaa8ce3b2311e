#pragma once

// Profile arrays built from lists, and the example profile's values and ticks.

#include "profile/tagstringarray.h"

#include <QStringList>

namespace brindle::test {

// The list's entries in order; entries it lacks stay empty.
inline profile::TOvStringArray arrayOf(const QStringList &entries)
{
    profile::TOvStringArray a;
    for (int i = 0; i < profile::TOvStringArray::kCount; ++i)
        a[i] = entries.value(i);
    return a;
}

// Entries prefix0 .. prefix12, so that an entry a reader did not touch shows.
inline profile::TOvStringArray marked(const QString &prefix)
{
    profile::TOvStringArray a;
    for (int i = 0; i < profile::TOvStringArray::kCount; ++i)
        a[i] = prefix + QString::number(i);
    return a;
}

// The values and ticks that kExampleProfile (common/testfiles.h) holds.
inline const QStringList kExampleValues = {QStringLiteral("Home & garden"),
                                           QStringLiteral("Tips for small gardens"),
                                           {},
                                           {},
                                           {},
                                           {},
                                           QStringLiteral("0"),
                                           QStringLiteral("0"),
                                           QStringLiteral("1"),
                                           QStringLiteral("0"),
                                           QStringLiteral("0"),
                                           QStringLiteral("28"),
                                           QStringLiteral("28")};
inline const QStringList kExampleUsed = {
    QStringLiteral("Y"), QStringLiteral("Y"), QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("N"),
    QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("N"), QStringLiteral("N"),
    QStringLiteral("N"), QStringLiteral("Y"), QStringLiteral("N")};

} // namespace brindle::test
