// The value lists of the bash completion are written out in the script (it
// runs at every Tab); they must offer exactly what the programs take.

#include "base/textutil.h"
#include "render/webpage.h"
#include "tags/tagcatalogue.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The lines a function of the completion script prints.
QStringList listOf(const QString &function)
{
    QProcess bash;
    bash.start(u"bash"_s, {u"-c"_s, u"source \"$1\" && \"$2\""_s, u"bash"_s,
                           QStringLiteral(BRINDLE_COMPLETION), function});
    if (!bash.waitForFinished(10000) || bash.exitCode() != 0)
        return {u"(%1 failed: %2)"_s.arg(function, QString::fromUtf8(bash.readAllStandardError()))};
    return QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestCompletion : public QObject
{
    Q_OBJECT

private slots:
    void documentTypes()
    {
        QStringList names;
        for (const auto &type : brindle::render::kDocumentTypes)
            names << brindle::toQString(type.listText);
        QCOMPARE(listOf(u"_brindle_cli_doctypes"_s), names);
    }

    void charsetCodes()
    {
        QStringList codes;
        for (std::string_view code : brindle::tags::CharsetCodes)
            codes << brindle::toQString(code);
        QCOMPARE(listOf(u"_brindle_cli_charsets"_s), codes);
    }
};

QTEST_GUILESS_MAIN(TestCompletion)
#include "tst_completion.moc"
