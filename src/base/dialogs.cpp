#include "base/dialogs.h"

#include "base/error.h"

#include <QFileInfo>
#include <QtGlobal>

using namespace Qt::StringLiterals;

namespace brindle {

namespace {

Dialogs *g_replacement = nullptr;
Dialogs *g_default = nullptr;

} // namespace

Dialogs &dialogs()
{
    if (g_replacement)
        return *g_replacement;
    if (!g_default)
        qFatal("no dialogs installed: a modal box was asked for before start-up installed the real ones");
    return *g_default;
}

void setDialogs(Dialogs *replacement)
{
    g_replacement = replacement;
}

void setDefaultDialogs(Dialogs *real)
{
    g_default = real;
}
QString withDefaultSuffix(const QString &fileName, const QString &suffix)
{
    if (suffix.isEmpty() || !QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + u'.' + suffix;
}

std::optional<QString> FileDialog::remember(std::optional<QString> chosen)
{
    if (!chosen)
        return std::nullopt;
    m_lastFile = withDefaultSuffix(*chosen, m_options.defaultSuffix);
    return m_lastFile;
}

std::optional<QString> FileDialog::askOpen(QWidget *parent)
{
    return remember(dialogs().openFileName(parent, m_options, m_lastFile));
}

std::optional<QString> FileDialog::askSave(QWidget *parent)
{
    return remember(dialogs().saveFileName(parent, m_options, m_lastFile));
}

void reportError(QWidget *parent, const std::exception &e)
{
    dialogs().errorReport(parent, errorReportText(messageOf(e)));
}

namespace {
// User actions run on the user-interface thread only.
int g_userActions = 0;
} // namespace

bool userActionRunning()
{
    return g_userActions > 0;
}

detail::UserActionScope::UserActionScope()
{
    ++g_userActions;
}

detail::UserActionScope::~UserActionScope()
{
    --g_userActions;
}

} // namespace brindle
