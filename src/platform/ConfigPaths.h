#pragma once

#include <QString>

namespace ConfigPaths {

// The program's folder in the user's configuration: <config>/Kellerbrand/Torvane, where the
// settings file and the port links live. <config> is the generic configuration location
// ($XDG_CONFIG_HOME); an empty or relative one means ~/.config, since a relative one would
// move with the working folder. Evaluated on every call (tests move it).
QString programConfigDir();

}
