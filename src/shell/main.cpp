// The window program: the terminal's own options, then the application and the start order.
#include "shell/ProgramStart.h"

#include <QFileInfo>

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // Answered without a display: --help and --version must work on a server.
    const TTerminalOptions terminal = parseTerminalOptions(args);
    if (const std::optional<int> rc = handleTerminalOptions(terminal, QFileInfo(QString::fromLocal8Bit(argv[0])).fileName()))
        return *rc;
    TTorvaneApplication app(argc, argv);
    return runProgram(app, terminal);
}
