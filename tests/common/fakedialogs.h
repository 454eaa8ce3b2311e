#pragma once

// Scripted stand-in for the program's dialogs: tests queue the answers they
// expect to be asked for, and every dialog that shows up is logged. A dialog
// without a queued answer is recorded as unexpected and answered with
// "cancel", so no test ever hangs on a modal box.

#include "base/dialogs.h"

#include <QStringList>

#include <deque>
#include <optional>

namespace brindle::test {

class FakeDialogs final : public Dialogs
{
public:
    struct Shown
    {
        QString kind; // "information", "confirm", "open", "save", "error"
        QString caption;
        QString text; // message text, or the file dialog's initial file
        FileDialogOptions options;
    };

    FakeDialogs() { setDialogs(this); }
    ~FakeDialogs() override { setDialogs(nullptr); }
    FakeDialogs(const FakeDialogs &) = delete;
    FakeDialogs &operator=(const FakeDialogs &) = delete;

    // Answers, consumed in order by the dialog kinds that ask for them.
    void answerYes() { m_confirm.push_back(true); }
    void answerNo() { m_confirm.push_back(false); }
    void chooseFile(const QString &path) { m_files.push_back({false, path}); }
    void cancelFile() { m_files.push_back({true, {}}); }

    const std::vector<Shown> &shown() const { return m_shown; }
    QStringList kinds() const
    {
        QStringList k;
        for (const Shown &s : m_shown)
            k << s.kind;
        return k;
    }
    const Shown &last() const { return m_shown.back(); }
    void clear()
    {
        m_shown.clear();
        m_unexpected.clear();
    }
    // Empty when every dialog had an answer and every answer was used.
    QString problems() const
    {
        QStringList p = m_unexpected;
        if (!m_confirm.empty())
            p << QStringLiteral("%1 Yes/No answer(s) not used").arg(m_confirm.size());
        if (!m_files.empty())
            p << QStringLiteral("%1 file answer(s) not used").arg(m_files.size());
        return p.join(QStringLiteral("; "));
    }

    void information(QWidget *, const QString &caption, const QString &text) override
    {
        m_shown.push_back({QStringLiteral("information"), caption, text, {}});
    }
    bool confirm(QWidget *, const QString &caption, const QString &text) override
    {
        m_shown.push_back({QStringLiteral("confirm"), caption, text, {}});
        if (m_confirm.empty()) {
            m_unexpected << QStringLiteral("unexpected question: ") + text;
            return false;
        }
        const bool yes = m_confirm.front();
        m_confirm.pop_front();
        return yes;
    }
    std::optional<QString> openFileName(QWidget *, const FileDialogOptions &options,
                                        const QString &initialFile) override
    {
        return file(QStringLiteral("open"), options, initialFile);
    }
    std::optional<QString> saveFileName(QWidget *, const FileDialogOptions &options,
                                        const QString &initialFile) override
    {
        return file(QStringLiteral("save"), options, initialFile);
    }
    void errorReport(QWidget *, const QString &text) override
    {
        m_shown.push_back({QStringLiteral("error"), QString::fromUtf16(kApplicationTitle), text, {}});
    }

private:
    std::optional<QString> file(const QString &kind, const FileDialogOptions &options, const QString &initial)
    {
        m_shown.push_back({kind, options.title, initial, options});
        if (m_files.empty()) {
            m_unexpected << QStringLiteral("unexpected %1 dialog: ").arg(kind) + options.title;
            return std::nullopt;
        }
        const FileAnswer answer = m_files.front();
        m_files.pop_front();
        if (answer.cancel)
            return std::nullopt;
        return answer.path;
    }

    std::deque<bool> m_confirm;
    struct FileAnswer
    {
        bool cancel;
        QString path;
    };
    std::deque<FileAnswer> m_files;
    std::vector<Shown> m_shown;
    QStringList m_unexpected;
};

} // namespace brindle::test
