#pragma once

// Shared pieces of the command-line tool's subcommands.

#include "base/error.h"
#include "base/filename.h"
#include "tags/metataggenerator.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <array>
#include <stdexcept>

namespace brindle::cli {

// Bad command line: a one-line message, exit status 2.
struct UsageError : std::runtime_error
{
    explicit UsageError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// The tag options shared by every subcommand that generates tags:
// --xhtml, --TAG VALUE for the thirteen tags, --og-title VALUE and the other
// social card fields, --use LIST.
class TagOptions
{
public:
    // withLanguage: --lang too, for the command that writes the <html> tag.
    void addTo(QCommandLineParser &parser, bool withLanguage = false);
    // Values and ticks as the window would hold them. Starts from `base`
    // (a new profile, or one read from a file) and lets the command line
    // override single values; --use overrides the ticks.
    void apply(const QCommandLineParser &parser, tags::TagValues &values, tags::RowTicks &ticks,
               bool baseHasTicks) const;
    static QString mode(const QCommandLineParser &parser);

    // Option name of a tag: its row text in lower case ("revisit-after").
    static QString optionName(int tagIndex);
    // Option name of a social card field: its key ("og-title").
    static QString socialOptionName(int field);
    // Option name of a head field: its key ("theme-color").
    static QString headOptionName(int field);
    // Parses a --use list: "all", "basic", "social", "head", tag names or head
    // field keys, separated by commas. *social tells whether the social group
    // is in it, *head which head fields are ("head": all with a tick);
    // without social or head, their names are a usage error.
    static tags::RowTicks parseUse(const QString &list, bool *social = nullptr,
                                   std::array<bool, tags::kHeadFieldCount> *head = nullptr);

private:
    bool m_withLanguage = false;
};

// --profile FILE and --save-profile FILE of the tags command: start from a
// profile as the window shows it after opening the file, and write the
// profile that the window's Save would write for the final values.
class ProfileOptions
{
public:
    void addTo(QCommandLineParser &parser);
    // Replaces values and ticks by those of the --profile file; false when no
    // file was given. Throws brindle::Error for a rejected or unreadable file.
    bool load(const QCommandLineParser &parser, tags::TagValues &values, tags::RowTicks &ticks);
    // Writes the --save-profile file; false when none was given. A choice
    // given on the command line is stored as the index of the item with
    // exactly that text (-1 for none), the charset by its code.
    bool save(const QCommandLineParser &parser, const tags::TagValues &values, const tags::RowTicks &ticks);
    // Values and ticks of a profile file as the window shows them after
    // opening it. Throws brindle::Error for a rejected or unreadable file.
    static void loadFile(const QString &path, tags::TagValues &values, tags::RowTicks &ticks,
                         std::array<int, tags::kTagCount> *items = nullptr);

private:
    std::array<int, tags::kTagCount> m_items = defaultItems(); // the choice inputs' selected items
    static std::array<int, tags::kTagCount> defaultItems();
};

// Standard output's reader has gone (EPIPE): the command ends with status 1
// and no message, as a program in a pipeline is expected to.
struct BrokenPipe
{};

// Throws brindle::Error with `what`, a space and the system's reason, or
// BrokenPipe for EPIPE.
[[noreturn]] void throwOutputError(int errnoValue, const QString &what);

// Writes and flushes; throws as throwOutputError does when standard output
// does not take every byte.
void writeStdout(QByteArrayView bytes);
// The final flush and close of standard output, checked the same way.
void finishStdout();
void writeStderrLine(const QString &text);

// The argument that names standard output (or input) instead of a file.
inline bool isStandardStream(const QString &path)
{
    return path == QStringLiteral("-");
}

// Runs write(), which writes the file at path; its error names the file:
// "Cannot write FILE: reason".
template<typename Write>
void writeNamingTheFile(const QString &path, Write &&write)
{
    try {
        write();
    } catch (const Error &e) {
        throw Error(QStringLiteral("Cannot write %1: %2").arg(displayFileName(path), e.message()));
    }
}

// Parses the arguments of one subcommand; throws UsageError for unknown
// options and prints the help text for --help.
bool parseOrHelp(QCommandLineParser &parser, const QStringList &arguments, const QString &command);

int runTags(const QStringList &arguments);
int runPage(const QStringList &arguments);
int runColorize(const QStringList &arguments);
int runImport(const QStringList &arguments);
int runApply(const QStringList &arguments);
int runCheck(const QStringList &arguments);

} // namespace brindle::cli
