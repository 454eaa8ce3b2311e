#pragma once

// Tfcreaht, the web page builder window: picks a document type and writes the
// viewer's tag lines into a blank ".html" page.

#include "base/dialogs.h"
#include "render/webpage.h"

#include <QDialog>
#include <QString>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;

namespace brindle::widgets {
class GradientPanel;
}

namespace brindle::ui {

class SecondaryWindow;

class Tfcreaht : public QDialog
{
    Q_OBJECT

public:
    // Created once, hidden; centred over mainWindow the first time it shows.
    explicit Tfcreaht(QWidget *mainWindow = nullptr);

    // The viewer's Create HTML Page: offers the HTML types for page mode 1 and
    // the XHTML types for any other, then runs modally over `over` (the
    // viewer) until the page is written or the user gives up. tagsText is the
    // viewer's whole text, every line followed by CR LF; language, when not
    // empty, goes into the page's html start tag.
    int showFor(int pageMode, const QString &tagsText, QWidget *over = nullptr, const QString &language = {});

    // Shows the save dialog and writes the page; false when the user cancels
    // it. A failed write throws brindle::Error.
    bool GaeHTM(const QString &declaration, const QString &tagsText);

    const QString &selectedDeclaration() const { return m_selectedDeclaration; }
    QComboBox *xhtmlList() const { return cbXHT; }
    QComboBox *htmlList() const { return cbHTM; }

public slots:
    void cbXHTChange();
    void cbHTMChange();
    void btokeClick();
    void Button1Click();

protected:
    void done(int result) override;

private:
    void FormCreate();
    void FormClose();

    std::array<QString, render::kDocumentTypes.size()> m_declarations;
    QString m_selectedDeclaration;
    QString m_tagsText;
    QString m_language;
    FileDialog m_sadi;
    SecondaryWindow *m_place = nullptr;

    widgets::GradientPanel *m_panel = nullptr;
    QLabel *m_lbIntro = nullptr;
    QLabel *m_lbSelect = nullptr;
    QComboBox *cbXHT = nullptr;
    QComboBox *cbHTM = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *btoke = nullptr;
};

} // namespace brindle::ui
