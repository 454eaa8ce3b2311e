#pragma once

// Scripted stand-in for the program's dialogs: tests queue the answers they
// expect to be asked for, and every dialog that shows up is logged. A dialog
// without a queued answer is recorded as unexpected and answered with
// "cancel", so no test ever hangs on a modal box.

#include "ui/dialogs.h"

#include <QStringList>

#include <deque>
#include <optional>

namespace brindle::test {

class FakeDialogs final : public ui::Dialogs
{
public:
    struct Shown
    {
        QString kind; // "information", "confirm", "open", "save", "error"
        QString caption;
        QString text; // message text, or the file dialog's initial file
        ui::FileDialogOptions options;
    };

    FakeDialogs() { ui::setDialogs(this); }
    ~FakeDialogs() override { ui::setDialogs(nullptr); }
    FakeDialogs(const FakeDialogs &) = delete;
    FakeDialogs &operator=(const FakeDialogs &) = delete;

    // Answers, consumed in order by the dialog kinds that ask for them.
    void answerYes() { m_confirm.push_back(true); }
    void answerNo() { m_confirm.push_back(false); }
    void chooseFile(const QString &path) { m_files.push_back(path); }
    void cancelFile() { m_files.push_back(std::nullopt); }

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
    std::optional<QString> openFileName(QWidget *, const ui::FileDialogOptions &options,
                                        const QString &initialFile) override
    {
        return file(QStringLiteral("open"), options, initialFile);
    }
    std::optional<QString> saveFileName(QWidget *, const ui::FileDialogOptions &options,
                                        const QString &initialFile) override
    {
        return file(QStringLiteral("save"), options, initialFile);
    }
    void errorReport(QWidget *, const QString &text) override
    {
        m_shown.push_back({QStringLiteral("error"), QString::fromUtf16(ui::kApplicationTitle), text, {}});
    }

private:
    std::optional<QString> file(const QString &kind, const ui::FileDialogOptions &options, const QString &initial)
    {
        m_shown.push_back({kind, options.title, initial, options});
        if (m_files.empty()) {
            m_unexpected << QStringLiteral("unexpected %1 dialog: ").arg(kind) + options.title;
            return std::nullopt;
        }
        auto answer = m_files.front();
        m_files.pop_front();
        return answer;
    }

    std::deque<bool> m_confirm;
    std::deque<std::optional<QString>> m_files;
    std::vector<Shown> m_shown;
    QStringList m_unexpected;
};

} // namespace brindle::test
