// Measures "For HTML" with all thirteen tags at their maximum lengths: the
// time from the request to the first painted frame of the coloured viewer.
//
//   bench_create_tags [ROUNDS]      (run on a real display, e.g. under xvfb-run)

#include "tags/tagcatalogue.h"
#include "ui/mainwindow.h"
#include "ui/qtdialogs.h"
#include "ui/tagsviewer.h"
#include "widgets/tagchecklist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class PaintWatch final : public QObject
{
public:
    QElapsedTimer clock;
    double ms = -1;
    QWidget *toClose = nullptr;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && ms < 0) {
            QTimer::singleShot(0, this, [this] {
                ms = double(clock.nsecsElapsed()) / 1e6;
                toClose->close();
            });
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    brindle::ui::QtDialogs qtDialogs;
    brindle::setDefaultDialogs(&qtDialogs);
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;

    brindle::ui::Tovalinform main;
    brindle::ui::Tfview viewer(&main);
    main.setViewer(&viewer);
    main.show();
    if (!QTest::qWaitForWindowExposed(&main))
        return 1;
    for (int t = 0; t < brindle::tags::kTextTagCount; ++t) {
        auto *edit = static_cast<QLineEdit *>(main.input(t));
        edit->setText(QString(edit->maxLength(), QLatin1Char('x')));
    }
    main.SelectAll1Click();

    std::vector<double> samples;
    PaintWatch watch;
    watch.toClose = &viewer;
    viewer.textArea()->viewport()->installEventFilter(&watch);
    for (int r = 0; r < rounds; ++r) {
        watch.ms = -1;
        watch.clock.start();
        main.CreateTags(brindle::tags::TagMode::Html);
        if (watch.ms < 0)
            return 1;
        samples.push_back(watch.ms);
    }
    std::sort(samples.begin(), samples.end());
    std::printf("For HTML, 13 tags at maximum length, to the coloured viewer's first frame:\n"
                "median %.2f ms, min %.2f ms, max %.2f ms over %d requests\n",
                samples[samples.size() / 2], samples.front(), samples.back(), rounds);
    return 0;
}
