#pragma once

// A reader of the older profile format, to prove that what this version adds
// to a profile leaves an older version reading what it always read.

#include <QByteArray>
#include <QStringList>
#include <QXmlStreamReader>

namespace brindle::test {

// A reader of the older format as the profile format describes it: the
// document's first node must be the root; the nodes below it are walked
// depth first, pre-order, and the first thirteen each give a value and a
// tick from "content" and "isused"; nodes after the thirteenth are ignored.
// Written apart from the program's reader, so that neither can follow the
// other's mistakes.
struct OlderRead
{
    QStringList values;
    QStringList used;
    QString error; // "not a profile", "missing attribute", or the parser's
};

inline OlderRead readAsOlderVersion(const QByteArray &file)
{
    OlderRead read;
    QXmlStreamReader xml(file);
    xml.setNamespaceProcessing(false);
    int depth = 0;
    int node = 0;
    bool first = true;
    const auto take = [&](const QXmlStreamAttributes *attributes) {
        if (node++ >= 13)
            return;
        if (!attributes || !attributes->hasAttribute(QStringLiteral("content")) ||
            !attributes->hasAttribute(QStringLiteral("isused"))) {
            if (read.error.isEmpty())
                read.error = QStringLiteral("missing attribute");
            return;
        }
        read.values << attributes->value(QStringLiteral("content")).toString();
        read.used << attributes->value(QStringLiteral("isused")).toString();
    };
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartDocument || token == QXmlStreamReader::EndDocument ||
            token == QXmlStreamReader::Invalid)
            continue;
        if (token == QXmlStreamReader::Characters && xml.isWhitespace())
            continue;
        if (first &&
            (token != QXmlStreamReader::StartElement || xml.name() != QStringLiteral("OvalinBrindleProfile")))
            return {{}, {}, QStringLiteral("not a profile")};
        first = false;
        if (token == QXmlStreamReader::StartElement) {
            if (depth++ > 0) {
                const QXmlStreamAttributes attributes = xml.attributes();
                take(&attributes);
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (depth > 0) {
            take(nullptr);
        }
    }
    if (xml.hasError())
        return {{}, {}, xml.errorString()};
    return read;
}

} // namespace brindle::test
