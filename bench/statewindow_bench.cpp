// Cost of one trace line in the state window at its limit: each append adds a block and drops
// the oldest one. Run by hand: bin/statewindow_bench [lines]
#include "platform/StatusTrace.h"
#include "shell/StatusFenster.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextStream>

#include <cstdio>

namespace {

double appendsPerLine(int count, const QString &prefix)
{
    StatusTrace &trace = statusTrace();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        trace.logStringOnly(prefix + QString::number(i) + QStringLiteral(" Upload: received 0x15, waiting for the checksum"));
    QApplication::processEvents(); // include the repaint the appends asked for
    return double(timer.nsecsElapsed()) / 1000.0 / count;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int limit = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;

    StatusTrace &trace = statusTrace();
    trace.setMaxLines(limit);
    TStatusFenster &window = TStatusFenster::instance();

    QTextStream out(stdout);
    const double filling = appendsPerLine(limit, QStringLiteral("fill "));
    out << "limit " << limit << " lines\n";
    out << "filling up to the limit (hidden):        " << filling << " us per append\n";
    const double hidden = appendsPerLine(limit, QStringLiteral("hidden "));
    out << "at the limit, window hidden:             " << hidden << " us per append (oldest line dropped each time)\n";
    window.showWindow();
    QApplication::processEvents();
    const double shown = appendsPerLine(limit, QStringLiteral("shown "));
    out << "at the limit, window shown:              " << shown << " us per append\n";
    out << "lines in the memo: " << window.memo()->document()->blockCount() << ", in the trace: " << trace.lineCount() << '\n';

    // For comparison: what one append would cost if the window rebuilt its whole text.
    QElapsedTimer timer;
    timer.start();
    const int rebuilds = 20;
    for (int i = 0; i < rebuilds; ++i)
        window.memo()->setPlainText(trace.lines().join(u'\n'));
    QApplication::processEvents();
    out << "full-text rebuild of " << limit << " lines:       " << double(timer.nsecsElapsed()) / 1000.0 / rebuilds
        << " us (what a per-line rebuild would cost)\n";
    return 0;
}
