// Times `brindle-cli apply` on a site of real pages against `cp -r` of the
// same tree, in the same run, at several site sizes.
//
//   bench_apply BRINDLE_CLI PAGES_DIR [-s SIZES] [-n ROUNDS] [-w WORK_DIR]
//
// PAGES_DIR holds the corpus pages (../shared/bench/make-corpus.sh writes
// them to ~/.cache/brindle-bench/corpus/pages); they are repeated into a tree
// of 100 pages per folder until each size (default 1000,10000) is reached.
// Each round copies the tree with cp -r (timed), copies it once more
// (untimed) and runs apply on that copy with a profile that changes every
// page (timed); rounds alternate so that both see the same machine. The
// median of ROUNDS (default 5) rounds is reported.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

int usage()
{
    std::fprintf(stderr, "usage: bench_apply BRINDLE_CLI PAGES_DIR [-s SIZES] [-n ROUNDS] [-w WORK_DIR]\n");
    return 2;
}

bool run(const QString &program, const QStringList &args, double *seconds = nullptr)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "bench_apply: %s failed\n%s", qPrintable(program + u' ' + args.join(u' ')),
                     p.readAllStandardError().constData());
        return false;
    }
    if (seconds)
        *seconds = double(clock.nsecsElapsed()) / 1e9;
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        return usage();
    const QString cli = QString::fromLocal8Bit(argv[1]);
    const QDir pagesDir(QString::fromLocal8Bit(argv[2]));
    QList<int> sizes = {1000, 10000};
    int rounds = 5;
    QString work = QDir::temp().filePath(u"brindle-bench-apply"_s);
    for (int i = 3; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (i + 1 >= argc)
            return usage();
        const QString value = QString::fromLocal8Bit(argv[++i]);
        if (arg == u"-s"_s) {
            sizes.clear();
            for (const QString &s : value.split(u','))
                sizes << s.toInt();
        } else if (arg == u"-n"_s) {
            rounds = std::max(1, value.toInt());
        } else if (arg == u"-w"_s) {
            work = value;
        } else {
            return usage();
        }
    }
    const QStringList pages = pagesDir.entryList({u"*.html"_s}, QDir::Files, QDir::Name);
    if (pages.isEmpty()) {
        std::fprintf(stderr, "bench_apply: no pages in %s\n", qPrintable(pagesDir.path()));
        return 1;
    }
    QDir(work).removeRecursively();
    QDir().mkpath(work);
    const QString profile = QDir(work).filePath(u"site.wmp"_s);
    if (!run(cli, {u"tags"_s, u"--title"_s, u"Our site"_s, u"--description"_s, u"Pages of our site"_s,
                   u"--keywords"_s, u"site, pages"_s, u"--use"_s,
                   u"title,description,keywords,robots,charset"_s, u"--save-profile"_s, profile}))
        return 1;

    std::printf("%d corpus pages, %d rounds, median seconds\n\n", int(pages.size()), rounds);
    std::printf("| pages | MB | cp -r | apply | apply / cp | apply pages/s | apply us/page |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int size : sizes) {
        const QString tree = QDir(work).filePath(u"site-%1"_s.arg(size));
        qint64 bytes = 0;
        for (int i = 0; i < size; ++i) {
            const QString folder = QDir(tree).filePath(u"d%1"_s.arg(i / 100, 3, 10, QChar(u'0')));
            if (i % 100 == 0)
                QDir().mkpath(folder);
            const QString name = pages.at(i % pages.size());
            const QString target = QDir(folder).filePath(u"%1-%2"_s.arg(i).arg(name));
            if (!QFile::copy(pagesDir.filePath(name), target))
                return 1;
            bytes += QFileInfo(target).size();
        }
        std::vector<double> copyTimes, applyTimes;
        for (int r = 0; r < rounds; ++r) {
            const QString copied = tree + u"-cp"_s;
            const QString applied = tree + u"-apply"_s;
            double seconds = 0;
            if (!run(u"cp"_s, {u"-r"_s, tree, copied}, &seconds))
                return 1;
            copyTimes.push_back(seconds);
            if (!run(u"cp"_s, {u"-r"_s, tree, applied}))
                return 1;
            if (!run(cli, {u"apply"_s, u"--profile"_s, profile, u"--recursive"_s, applied}, &seconds))
                return 1;
            applyTimes.push_back(seconds);
            QDir(copied).removeRecursively();
            QDir(applied).removeRecursively();
        }
        const double cp = median(copyTimes);
        const double apply = median(applyTimes);
        std::printf("| %d | %.1f | %.3f | %.3f | %.2f | %.0f | %.0f |\n", size, double(bytes) / 1e6, cp,
                    apply, apply / cp, size / apply, apply / size * 1e6);
        std::fflush(stdout);
        QDir(tree).removeRecursively();
    }
    QDir(work).removeRecursively();
    return 0;
}
