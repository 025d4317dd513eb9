// From process start to the first painted main window: `torvane --screenshot` with the
// example description and /N, against a bare QMainWindow program started the same way (both
// show their window, take its picture and end). Reports the medians and their ratio, which
// should stay below 1.5. Run offscreen from the build folder:
//   QT_QPA_PLATFORM=offscreen bin/startup_bench [runs]
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

// Median wall time in ms of runs starts of program with args; -1 when one of them failed.
double medianMs(const QString &program, const QStringList &args, int runs, const QProcessEnvironment &env)
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer t;
        t.start();
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return -1;
        times << t.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 9;
    const QString bin = QCoreApplication::applicationDirPath();
    const QString description = QStringLiteral(TORVANE_SOURCE_DIR "/data/examples/vantor.tcf");
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
    const QString png = dir.filePath(QStringLiteral("window.png"));

    QTextStream out(stdout);
    if (!QFile::exists(description)) {
        out << "no example description at " << description << Qt::endl;
        return 1;
    }
    const double bare = medianMs(bin + QStringLiteral("/bare_window"), {png}, runs, env);
    const double torvane = medianMs(bin + QStringLiteral("/torvane"),
                                    {QStringLiteral("--screenshot"), png, QStringLiteral("/N"), QStringLiteral("/P"),
                                     QStringLiteral("offline"), QStringLiteral("/W"), description},
                                    runs, env);
    if (bare < 0 || torvane < 0) {
        out << "a run failed" << Qt::endl;
        return 1;
    }
    out << QStringLiteral("start to painted window, median of %1: torvane %2 ms, bare QMainWindow %3 ms, ratio %4 (aim: below 1.5)")
               .arg(runs)
               .arg(torvane, 0, 'f', 1)
               .arg(bare, 0, 'f', 1)
               .arg(torvane / bare, 0, 'f', 2)
        << Qt::endl;
    return 0;
}
