// Binding cost against description size: INI load, laden, and GetText of every parameter
// looked up by name (as the grid does), for 100, 1 000 and 10 000 parameter lines.
#include "model/BaseEEROM.h"
#include "base/IniFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

QByteArray makeDescription(int lines)
{
    QByteArray d = "[Names]\n0x1F=Bench\n[Devices]\n0x1F=0x10\n[Bench:0x10]\n";
    for (int i = 0; i < lines; ++i) {
        const int pos = 5 + (i % 4000) * 2;
        // alternate bytes and words, with a visibility condition on every fourth line
        d += "Param" + QByteArray::number(i) + '=' + QByteArray::number(pos) + (i % 2 ? ";1;1" : ";2;1")
             + (i % 4 == 0 ? ";;;;1\n" : "\n");
    }
    d += "[VisualRule]\n0001=0;05;00\n";
    return d;
}

template <class F>
double bestOf(int runs, F &&f)
{
    double best = 1e18;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    out << "lines\tini_load_ms\tladen_ms\tgettext_by_name_ms\tladen/ini\n";
    for (int lines : {100, 1000, 10000}) {
        const QByteArray desc = makeDescription(lines);
        IniFile ini;
        const double iniMs = bestOf(5, [&] { ini.parse(desc); });
        TBaseEEROM img;
        img.Clear(); // a new image's buffer is zeroed by the first Clear, as at start-up
        img.SetSourceDatei(&ini);
        img.SetByteIDX(0, 0x10);
        img.SetByteIDX(1, 0x1F);
        img.FUseSize = 8192;
        const double ladenMs = bestOf(5, [&] { img.laden(); });
        QStringList names;
        for (int i = 0; i < lines; ++i)
            names << QStringLiteral("PARAM%1").arg(i); // other letter case than written
        qsizetype total = 0;
        const double textMs = bestOf(5, [&] {
            for (const QString &n : names)
                total += img.GetEintrag(n)->GetText().size();
        });
        out << lines << '\t' << QString::number(iniMs, 'f', 3) << '\t' << QString::number(ladenMs, 'f', 3) << '\t'
            << QString::number(textMs, 'f', 3) << '\t' << QString::number(ladenMs / iniMs, 'f', 2) << '\n';
        out.flush();
        if (total == 0)
            return 1;
    }
    return 0;
}
