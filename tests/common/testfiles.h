#pragma once

// Files the tests read back, and the example profile they compare against.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace brindle::test {

// Writes the bytes as the whole file; false when that fails.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Title "Home & garden" and description "Tips for small gardens", both
// ticked, the charset ticked, everything else as in a new profile.
inline const QByteArray kExampleProfile = "<OvalinBrindleProfile Author=\"OvalinBrindle\">"
                                          "<tagname content=\"Home &amp; garden\" isused=\"Y\"/>"
                                          "<tagname content=\"Tips for small gardens\" isused=\"Y\"/>"
                                          "<tagname content=\"\" isused=\"N\"/>"
                                          "<tagname content=\"\" isused=\"N\"/>"
                                          "<tagname content=\"\" isused=\"N\"/>"
                                          "<tagname content=\"\" isused=\"N\"/>"
                                          "<tagname content=\"0\" isused=\"N\"/>"
                                          "<tagname content=\"0\" isused=\"N\"/>"
                                          "<tagname content=\"1\" isused=\"N\"/>"
                                          "<tagname content=\"0\" isused=\"N\"/>"
                                          "<tagname content=\"0\" isused=\"N\"/>"
                                          "<tagname content=\"28\" isused=\"Y\"/>"
                                          "<tagname content=\"28\" isused=\"N\"/>"
                                          "</OvalinBrindleProfile>";

} // namespace brindle::test
