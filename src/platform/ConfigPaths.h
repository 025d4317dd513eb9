#pragma once

#include <QString>

namespace ConfigPaths {

// The program's folder in the user's configuration: <config>/Kellerbrand/Torvane, where the
// settings file and the port links live. <config> is the generic configuration location
// ($XDG_CONFIG_HOME); an empty or relative one means ~/.config, since a relative one would
// move with the working folder. Evaluated on every call (tests move it).
QString programConfigDir();

// The folder of the running executable (the working folder before the application object
// exists).
QString programDir();

// A folder of the program's own data (sub = "lang", "ddtemplate", "help", "examples"):
// <program dir>/<sub> when it exists, which is how a build lays them out beside the
// executables; else <program dir>/../share/torvane/<sub> when that exists, the installed
// layout; else <program dir>/<sub>, so a message about a missing folder names the place a
// build would have used. An empty sub names the data folder itself: the installed one when
// there is one, else the program's folder.
QString programDataDir(const QString &sub);
QString programDataDir(const QString &sub, const QString &programDir);

}
