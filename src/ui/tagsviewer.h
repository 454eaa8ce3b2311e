#pragma once

// Tfview, the tags viewer: shows the generated lines coloured as HTML, and
// from there copies them, saves them as text or hands them to the page
// builder.

#include "base/dialogs.h"

#include <QByteArray>
#include <QDialog>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QTextEdit;

namespace brindle::widgets {
class GradientPanel;
class ImageButton;
} // namespace brindle::widgets

namespace brindle::ui {

class SecondaryWindow;

class Tfview : public QDialog
{
    Q_OBJECT

public:
    explicit Tfview(QWidget *parent = nullptr);

    // What the generator fills in before it shows the window.
    void clearLines();
    void appendLine(const QString &line);
    // The lines, each followed by CR LF, the last one included.
    QString text() const;
    // 1 for HTML documents; anything else means XHTML.
    void setPageMode(int mode) { m_pageMode = mode; }
    int pageMode() const { return m_pageMode; }
    // The language the page's <html> start tag names; empty for none.
    void setPageLanguage(const QString &language) { m_pageLanguage = language; }
    const QString &pageLanguage() const { return m_pageLanguage; }
    void ColorizeTags();
    // Modal showing: centred over the main window the first time, then where it was.
    int showModalOver(QWidget *mainWindow);

    void CopyAll1Click();
    void Copy1Click();
    void btTxtClick();
    void btHtmlClick();
    void btCloseClick();

    // Opens the web page builder over the viewer for a page mode.
    void setPageBuilder(std::function<void(int pageMode, QWidget *over)> open)
    {
        m_openBuilder = std::move(open);
    }

    // Adds an item at the end of the text area's popup menu, after a
    // separator for the first one. The action runs inside the error report.
    QAction *addMenuItem(const QString &text, const QString &objectName, std::function<void()> action);

    QTextEdit *textArea() const { return htsyn; }
    FileDialog &saveDialog() { return sadi; }

private:
    widgets::GradientPanel *pntulbar = nullptr;
    widgets::ImageButton *btCopy = nullptr;
    widgets::ImageButton *btTxt = nullptr;
    widgets::ImageButton *btHtml = nullptr;
    widgets::ImageButton *btClose = nullptr;
    QTextEdit *htsyn = nullptr;
    QMenu *popht = nullptr;

    QStringList m_lines;
    int m_pageMode = 1;
    QString m_pageLanguage;
    FileDialog sadi;
    SecondaryWindow *m_place = nullptr;
    std::function<void(int, QWidget *)> m_openBuilder;
    bool m_menuExtended = false;
};

} // namespace brindle::ui
