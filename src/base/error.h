#pragma once

// brindle::Error, the exception that carries the text of the general error report.

#include <QString>

#include <stdexcept>

namespace brindle {

// An error that ends the running user action. Its message is the exact text
// the user sees in the general error report.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};

// The text the general error report shows for a message: a full stop is added
// when the last character sorts after "." in the collation (blanks, controls
// and most punctuation, in any script, come at or before it).
QString errorReportText(const QString &message);

// The message of any exception, for the general error report.
QString messageOf(const std::exception &e);

} // namespace brindle
