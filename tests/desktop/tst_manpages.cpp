// The manual pages describe exactly the options that the programs' --help
// lists, command by command, so that neither can drift from the other.

#include "buildinfo.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Options = QSet<QString>;

// A page's sections (.SH) and subsections (.SS) with their lines.
struct ManPage
{
    QMap<QString, QStringList> sections;    // by .SH title
    QMap<QString, QStringList> subsections; // by .SS title
};

QString unescape(QString line)
{
    line.replace(u"\\-"_s, u"-"_s);
    line.remove(QRegularExpression(u"\\\\f[BIRP]"_s));
    line.remove(u"\\c"_s);
    line.remove(u'"');
    return line;
}

ManPage readManPage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    ManPage page;
    QStringList *section = nullptr;
    QStringList *subsection = nullptr;
    for (const QString &raw : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString line = unescape(raw);
        if (line.startsWith(u".SH "_s)) {
            section = &page.sections[line.mid(4).trimmed()];
            subsection = nullptr;
            continue;
        }
        if (line.startsWith(u".SS "_s)) {
            subsection = &page.subsections[line.mid(4).trimmed()];
            continue;
        }
        if (section)
            section->append(line);
        if (subsection)
            subsection->append(line);
    }
    return page;
}

Options optionsIn(const QString &text)
{
    static const QRegularExpression option(u"(?:^|[\\s,(\\[])(--?[a-z][a-z0-9-]*)"_s);
    Options found;
    for (auto it = option.globalMatch(text); it.hasNext();)
        found.insert(it.next().captured(1));
    return found;
}

// The options a stretch of a page defines: the tag lines of its .TP and .TQ
// paragraphs.
Options definedOptions(const QStringList &lines)
{
    Options found;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines.at(i - 1).startsWith(u".TP"_s) || lines.at(i - 1).startsWith(u".TQ"_s))
            found.unite(optionsIn(lines.at(i).section(u' ', 1)));
    }
    return found;
}

QByteArray helpOf(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

// The options of a --help text: the lines of its "Options:" block.
Options helpOptions(const QByteArray &help)
{
    Options found;
    bool inOptions = false;
    static const QRegularExpression optionLine(u"^  (-\\S.*?)(\\s{2,}|$)"_s);
    for (const QString &line : QString::fromUtf8(help).split(u'\n')) {
        if (!line.startsWith(u' '))
            inOptions = line == u"Options:"_s;
        const QRegularExpressionMatch m = optionLine.match(line);
        if (inOptions && m.hasMatch())
            found.unite(optionsIn(QString(m.captured(1)).remove(QRegularExpression(u"<[^>]*>"_s))));
    }
    return found;
}

// Each option of a --help text with its description, continuation lines joined.
QMap<QString, QString> helpDescriptions(const QByteArray &help)
{
    QMap<QString, QString> found;
    static const QRegularExpression optionLine(u"^  (-\\S.*?)(?:\\s{2,}(.*)|$)"_s);
    QStringList current;
    bool inOptions = false;
    for (const QString &line : QString::fromUtf8(help).split(u'\n')) {
        if (!line.startsWith(u' '))
            inOptions = line == u"Options:"_s;
        if (!inOptions)
            continue;
        const QRegularExpressionMatch m = optionLine.match(line);
        if (m.hasMatch()) {
            current = optionsIn(QString(m.captured(1)).remove(QRegularExpression(u"<[^>]*>"_s))).values();
            for (const QString &option : current)
                found[option] = m.captured(2);
        } else {
            for (const QString &option : current)
                found[option] += u' ' + line.trimmed();
        }
    }
    return found;
}

// The paragraph of each option a stretch of a page defines.
QMap<QString, QString> definitions(const QStringList &lines)
{
    QMap<QString, QString> found;
    QStringList current;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.startsWith(u".TP"_s) || line.startsWith(u".TQ"_s)) {
            if (line.startsWith(u".TP"_s))
                current.clear();
            if (i + 1 < lines.size())
                current << optionsIn(lines.at(++i).section(u' ', 1)).values();
            continue;
        }
        if (line.startsWith(u".S"_s))
            current.clear();
        for (const QString &option : current)
            found[option] += line + u' ';
    }
    return found;
}

QStringList helpCommands(const QByteArray &help)
{
    QStringList found;
    bool inCommands = false;
    static const QRegularExpression commandLine(u"^  ([a-z][a-z-]*)\\s"_s);
    for (const QString &line : QString::fromUtf8(help).split(u'\n')) {
        if (!line.startsWith(u' '))
            inCommands = line == u"Commands:"_s;
        const QRegularExpressionMatch m = commandLine.match(line);
        if (inCommands && m.hasMatch())
            found << m.captured(1);
    }
    return found;
}

QString manDir()
{
    return QStringLiteral(BRINDLE_MAN_DIR);
}

} // namespace

class TestManPages : public QObject
{
    Q_OBJECT

private slots:
    void cliCommandsHaveTheirSections()
    {
        const ManPage page = readManPage(manDir() + u"/brindle-cli.1"_s);
        const QStringList commands = helpCommands(helpOf(QStringLiteral(BRINDLE_CLI), {u"--help"_s}));
        QVERIFY(commands.size() >= 3);
        QCOMPARE(QSet<QString>(commands.begin(), commands.end()),
                 QSet<QString>(page.subsections.keyBegin(), page.subsections.keyEnd()));
        // Every command is shown at work.
        const QString examples = page.sections.value(u"EXAMPLES"_s).join(u'\n');
        for (const QString &command : commands)
            QVERIFY2(examples.contains(u"brindle-cli "_s + command + u' '), qPrintable(command));
    }

    void cliOptionsMatchTheManPage_data()
    {
        QTest::addColumn<QString>("command"); // empty: the program's own options
        QTest::addRow("brindle-cli") << QString();
        for (const QString &command : helpCommands(helpOf(QStringLiteral(BRINDLE_CLI), {u"--help"_s})))
            QTest::addRow("%s", qPrintable(command)) << command;
    }
    void cliOptionsMatchTheManPage()
    {
        QFETCH(QString, command);
        const ManPage page = readManPage(manDir() + u"/brindle-cli.1"_s);
        QStringList args{u"--help"_s};
        Options documented;
        if (command.isEmpty()) {
            documented = definedOptions(page.sections.value(u"OPTIONS"_s));
        } else {
            args.prepend(command);
            const QStringList lines = page.subsections.value(command);
            documented = definedOptions(lines);
            // A command that takes the tag options says so and refers to them.
            if (lines.join(u' ').contains(u"tag options"_s))
                documented.unite(definedOptions(page.sections.value(u"TAG OPTIONS"_s)));
        }
        const Options listed = helpOptions(helpOf(QStringLiteral(BRINDLE_CLI), args));
        QVERIFY(listed.contains(u"--help"_s));
        const Options undocumented = Options(listed).subtract(documented);
        const Options unknown = Options(documented).subtract(listed);
        QVERIFY2(undocumented.isEmpty(),
                 qPrintable(u"not in the man page: "_s + undocumented.values().join(u' ')));
        QVERIFY2(unknown.isEmpty(), qPrintable(u"not in --help: "_s + unknown.values().join(u' ')));
    }

    // An option that takes "-" for standard output says so in the page too.
    void standardOutputIsDocumented_data()
    {
        QTest::addColumn<QString>("command");
        for (const QString &command : helpCommands(helpOf(QStringLiteral(BRINDLE_CLI), {u"--help"_s})))
            QTest::addRow("%s", qPrintable(command)) << command;
    }
    void standardOutputIsDocumented()
    {
        QFETCH(QString, command);
        const ManPage page = readManPage(manDir() + u"/brindle-cli.1"_s);
        QStringList lines = page.subsections.value(command);
        if (lines.join(u' ').contains(u"tag options"_s))
            lines << page.sections.value(u"TAG OPTIONS"_s);
        const QMap<QString, QString> documented = definitions(lines);
        const QMap<QString, QString> help =
            helpDescriptions(helpOf(QStringLiteral(BRINDLE_CLI), {command, u"--help"_s}));
        for (auto it = help.cbegin(); it != help.cend(); ++it) {
            if (!it.value().contains(u"\"-\" is standard output"_s))
                continue;
            const QString text = documented.value(it.key()).simplified();
            QVERIFY2(text.contains(u"- is standard output"_s) ||
                         text.contains(u"- writes it to standard output"_s),
                     qPrintable(it.key() + u": "_s + text));
        }
    }

    // What the program reads from its environment and the files it keeps.
    void guiPageNamesItsEnvironmentAndFiles_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("term");
        for (const char16_t *variable : {u"XDG_CONFIG_HOME", u"XDG_RUNTIME_DIR", u"TMPDIR"})
            QTest::addRow("%s", qPrintable(QString::fromUtf16(variable)))
                << u"ENVIRONMENT"_s << QString::fromUtf16(variable);
        for (const char16_t *file : {u"Ovalin/Brindle.conf", u"BRINDLE.lock", u"BRINDLE-UID.socket"})
            QTest::addRow("%s", qPrintable(QString::fromUtf16(file)))
                << u"FILES"_s << QString::fromUtf16(file);
    }
    void guiPageNamesItsEnvironmentAndFiles()
    {
        QFETCH(QString, section);
        QFETCH(QString, term);
        const QStringList lines = readManPage(manDir() + u"/brindle.1"_s).sections.value(section);
        // Each is the tag of a paragraph of its section.
        bool defined = false;
        for (qsizetype i = 1; i < lines.size(); ++i)
            defined = defined || (lines.at(i - 1).startsWith(u".TP"_s) && lines.at(i).contains(term));
        QVERIFY2(defined, qPrintable(term + u" is not in "_s + section));
    }

    void guiOptionsMatchTheManPage()
    {
        const ManPage page = readManPage(manDir() + u"/brindle.1"_s);
        const Options documented = definedOptions(page.sections.value(u"OPTIONS"_s));
        const Options listed = helpOptions(helpOf(QStringLiteral(BRINDLE_EXE), {u"--help"_s}));
        QCOMPARE(listed, (Options{u"-h"_s, u"--help"_s, u"--version"_s}));
        QCOMPARE(documented, listed);
    }

    void pagesCarryTheVersion()
    {
        for (const QString &name : {u"brindle.1"_s, u"brindle-cli.1"_s}) {
            QFile file(manDir() + u'/' + name);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.readLine().contains("\"Brindle " BRINDLE_VERSION "\""));
        }
    }
};

QTEST_GUILESS_MAIN(TestManPages)
#include "tst_manpages.moc"
