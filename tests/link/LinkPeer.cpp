// A second running copy for the tests: a session on the port named on the command line, with
// the program's own broadcast and notifier. It prints "applied <open>" once and every
// WM_COMSTATE as "state <wParam> <lParam>", and runs until it is ended.
#include "link/SerialSession.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: link_peer COMn\n");
        return 2;
    }
    TCOM com;
    QObject::connect(&com, &TCOM::comState, [](int w, int l) {
        std::printf("state %d %d\n", w, l);
        std::fflush(stdout);
    });
    com.Settings.StandardSerialOptions();
    com.Settings.PortNumber.Text = QString::fromLocal8Bit(argv[1]);
    com.ApplySettings();
    std::printf("applied %d\n", com.IsOpen() ? 1 : 0);
    std::fflush(stdout);
    return app.exec();
}
