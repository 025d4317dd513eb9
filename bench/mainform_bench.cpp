// refreshGrid of the main window with a generated description of 1 000 parameters, against
// one 60 Hz frame (16.7 ms). Run offscreen: QT_QPA_PLATFORM=offscreen bin/mainform_bench
#include "shell/GWMainForm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTableView>
#include <QTextStream>

#include <algorithm>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const int count = 1000;
    QByteArray d = "[Names]\n0x1F=Bench\n[Devices]\n0x1F=0x10\n[Bench:0x10]\n";
    for (int i = 0; i < count; ++i) // bytes and words, shown and editable
        d += "Parameter number " + QByteArray::number(i) + '=' + QByteArray::number(5 + (i % 4000) * 2) + (i % 2 ? ";1;1\n" : ";2;1\n");
    QFile tcf(dir.filePath("bench.tcf"));
    tcf.open(QIODevice::WriteOnly);
    tcf.write(d);
    tcf.close();
    QByteArray image(8192, '\0');
    image[0] = 0x10;
    image[1] = 0x1F;
    QFile gwc(dir.filePath("bench.gwc"));
    gwc.open(QIODevice::WriteOnly);
    gwc.write(image);
    gwc.close();

    TGWMainForm w(TGWMainForm::Session::Isolated);
    w.resize(600, 800);
    w.show();
    QString error;
    if (!w.openDescription(tcf.fileName(), &error)) {
        QTextStream(stderr) << error << Qt::endl;
        return 1;
    }
    w.EEROM().openfile(gwc.fileName());
    QTextStream out(stdout);
    out << "parameters: " << w.EEROM().ItemList.Count() << Qt::endl;

    const int runs = 50;
    double best = 1e18, total = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        w.refreshGrid();
        w.grid()->viewport()->repaint(); // the rows on screen drawn as well
        const double ms = t.nsecsElapsed() / 1e6;
        best = std::min(best, ms);
        total += ms;
    }
    out << QStringLiteral("refreshGrid + repaint, 1000 parameters: best %1 ms, mean %2 ms; %3 of a 60 Hz frame (16.7 ms)")
               .arg(best, 0, 'f', 2)
               .arg(total / runs, 0, 'f', 2)
               .arg(total / runs / 16.7, 0, 'f', 2)
        << Qt::endl;
    return 0;
}
