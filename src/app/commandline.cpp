#include "app/commandline.h"

#include "buildinfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace brindle::app {

namespace {

// The toolkit's options that take their value as the next argument.
constexpr std::array<QStringView, 18> kToolkitOptionsWithValue = {
    u"platform",
    u"platformpluginpath",
    u"platformtheme",
    u"plugin",
    u"qwindowgeometry",
    u"qwindowtitle",
    u"qwindowicon",
    u"geometry",
    u"title",
    u"display",
    u"name",
    u"session",
    u"style",
    u"stylesheet",
    u"visual",
    u"fn",
    u"font",
    u"im",
};

bool takesValue(const QString &arg)
{
    // The toolkit accepts its options with one dash or two.
    QStringView name(arg);
    name = name.sliced(name.startsWith(u"--") ? 2 : 1);
    return std::find(kToolkitOptionsWithValue.begin(), kToolkitOptionsWithValue.end(), name) !=
           kToolkitOptionsWithValue.end();
}

bool isOption(const QString &arg)
{
    return arg.size() > 1 && arg.startsWith(u'-');
}

bool namesFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString helpText()
{
    return u"Usage: brindle [FILE.wmp]\n"
           "Composes the title and meta tags of a web page.\n"
           "\n"
           "Arguments:\n"
           "  FILE.wmp       Open this profile. With Brindle already running, the\n"
           "                 running window opens it.\n"
           "\n"
           "Options:\n"
           "  -h, --help     Show this help and exit.\n"
           "  --version      Show the version and exit.\n"
           "\n"
           "The toolkit's options, such as -style NAME, are accepted as well.\n"_s;
}

} // namespace

QStringList argumentList(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QFile::decodeName(argv[i]);
    return args;
}

std::optional<QString> earlyAnswer(const QStringList &args)
{
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == u"--"_s)
            break;
        if (arg == u"-h"_s || arg == u"--help"_s)
            return helpText();
        if (arg == u"--version"_s)
            return u"brindle %1\n"_s.arg(QStringLiteral(BRINDLE_VERSION));
        if (isOption(arg) && !arg.contains(u'=') && takesValue(arg))
            ++i;
    }
    return std::nullopt;
}

namespace {

enum class OptionValues
{
    Skipped,
    Visited
};

// Calls visit(index) for each argument after the program's name that is not
// an option ("--" ends the options) until visit returns true.
template<typename Visit>
void visitArguments(const QStringList &args, OptionValues values, Visit visit)
{
    bool options = true;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (options && arg == u"--"_s) {
            options = false;
            continue;
        }
        if (options && isOption(arg)) {
            if (values == OptionValues::Skipped && !arg.contains(u'=') && takesValue(arg))
                ++i;
            continue;
        }
        if (visit(i))
            return;
    }
}

} // namespace

QStringList withAbsoluteFiles(const QStringList &args, const QString &workingDir)
{
    QStringList out = args;
    const QDir dir(workingDir);
    visitArguments(args, OptionValues::Skipped, [&](qsizetype i) {
        const QString &arg = args.at(i);
        if (QDir::isRelativePath(arg) && namesFile(dir.filePath(arg)))
            out[i] = QDir::cleanPath(dir.absoluteFilePath(arg));
        return false;
    });
    return out;
}

QString profileArgument(const QStringList &arguments)
{
    // An option's value counts as well: the first argument that names a file is the profile.
    QString profile;
    visitArguments(arguments, OptionValues::Visited, [&](qsizetype i) {
        if (!namesFile(arguments.at(i)))
            return false;
        profile = arguments.at(i);
        return true;
    });
    return profile;
}

AbsoluteFileArguments::AbsoluteFileArguments(int argc, char **argv)
{
    const QStringList args = argumentList(argc, argv);
    const QStringList absolute = withAbsoluteFiles(args, QDir::currentPath());
    m_storage.reserve(std::size_t(argc));
    for (int i = 0; i < argc; ++i) {
        if (absolute.at(i) == args.at(i))
            continue;
        m_storage.push_back(QFile::encodeName(absolute.at(i)));
        argv[i] = m_storage.back().data();
    }
}

} // namespace brindle::app
