// The real file dialogs as the program sets them up (never shown: only
// their set-up is looked at).

#include "ui/qtdialogs.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>

#include <sys/inotify.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using brindle::FileDialogOptions;

namespace {

const FileDialogOptions kProfileOptions{u"Open Meta Tags Profile"_s, u"Meta Tags Profile"_s, u"*.wmp"_s,
                                        u"wmp"_s, false};

// Counts the times a file is opened, through the kernel's file events.
class OpenCounter
{
public:
    explicit OpenCounter(const QString &path) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN);
    }
    ~OpenCounter()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    OpenCounter(const OpenCounter &) = delete;
    OpenCounter &operator=(const OpenCounter &) = delete;

    bool isValid() const { return m_fd >= 0; }
    int opens() const
    {
        int count = 0;
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                count += (event->mask & IN_OPEN) ? 1 : 0;
                p += sizeof(inotify_event) + event->len;
            }
        }
        return count;
    }

private:
    int m_fd;
};

} // namespace

class TestFileDialogs : public QObject
{
    Q_OBJECT

private slots:
    void filterShownByItsName()
    {
        brindle::ui::NameOnlyIconProvider icons; // outlives the dialog
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        brindle::ui::setUpFileDialog(dialog, &icons, kProfileOptions, QString(), false);
        auto *combo = dialog.findChild<QComboBox *>(u"fileTypeCombo"_s);
        QVERIFY(combo);
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->itemText(0), u"Meta Tags Profile"_s);
        // Only the shown name is shortened: the dialog still lists *.wmp files.
        QCOMPARE(dialog.nameFilters(), QStringList{u"Meta Tags Profile (*.wmp)"_s});
        QCOMPARE(dialog.windowTitle(), u"Open Meta Tags Profile"_s);
    }

    void iconsNeverOpenAFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addRow("no extension") << u"report"_s << u"File"_s;
        QTest::addRow("an extension") << u"shop.wmp"_s << u"WMP File"_s;
    }
    void iconsNeverOpenAFile()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        {
            // Content that a type guess would take for a PDF document.
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n");
        }
        brindle::ui::NameOnlyIconProvider provider;
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        brindle::ui::setUpFileDialog(dialog, &provider, kProfileOptions, QString(), false);
        QAbstractFileIconProvider *icons = dialog.iconProvider();
        QCOMPARE(icons, &provider);
        const OpenCounter counter(path);
        QVERIFY(counter.isValid());
        const QFileInfo info(path);
        QVERIFY(!icons->icon(info).isNull());
        QTEST(icons->type(info), "type");
        QCOMPARE(counter.opens(), 0);
        QCOMPARE(icons->type(QFileInfo(dir.path())), u"Folder"_s);
    }
};

QTEST_MAIN(TestFileDialogs)
#include "tst_filedialogs.moc"
