#pragma once

// What the command line of brindle asks for: --help and --version, answered
// before anything else starts, and the profile to open.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace brindle::app {

// argv as strings, in the file name encoding.
QStringList argumentList(int argc, char **argv);

// The help or the version text when the arguments (item 0 the program) ask
// for one; the program prints it and ends without touching the display.
std::optional<QString> earlyAnswer(const QStringList &args);

// The arguments with every relative path of an existing file made absolute
// against workingDir. A later copy hands its command line to the running
// copy, whose working folder may be another. Options and the values of the
// toolkit's own options (-style NAME) are left as they are.
QStringList withAbsoluteFiles(const QStringList &args, const QString &workingDir);

// The profile a command line (item 0 the program) asks to open: the first
// argument that names an existing file, options aside; empty when none does.
QString profileArgument(const QStringList &arguments);

// Replaces argv's entries by withAbsoluteFiles() of them, before the
// application object reads argv. The new strings live as long as this object,
// which must outlive the application object.
class AbsoluteFileArguments
{
public:
    AbsoluteFileArguments(int argc, char **argv);

private:
    std::vector<QByteArray> m_storage;
};

} // namespace brindle::app
