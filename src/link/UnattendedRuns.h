#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class LanguageSelect;
class TBaseEEROM;
class TDeviceCommands;

// The runs that end the program by themselves: the unattended download (/G) and the
// serial-number generation (/Q). The start-up code and the command line use them alike.

struct TUnattendedTimings {
    int confirmMs = 5000;   // how long the download's confirmation may take
    int exitDelayMs = 1000; // handled events before the program ends after a confirmation
};

// The unattended download of the loaded image: true when the device confirmed it (the
// program then ends with exit code 1). Otherwise "messageAutomaticDownloadFailed" is shown
// and false returned (the caller clears its AutomaticDownload and stays open).
bool RunAutomaticDownload(TDeviceCommands &commands, LanguageSelect *language, const TUnattendedTimings &timings = {});

// Loads the configuration at path (through loadConfigurationFile; the image's openfile when
// none is given), then count times: the next serial number into "Serial Number", "YES" into
// "Store Serial Number" when there is one, and the image saved beside path as
// "AutoKonfig_" + serial number + ".gwc". Returns the files written, in order.
//
// A serial number of the serial-number format keeps its eight digits ("00012346", not
// "12346", which would be stored as other bytes). Raises TorvaneError, before any file is
// written, when the configuration has no "Serial Number", when its text is no decimal number
// or when the numbers would not fit into eight digits.
QStringList generateSerialConfigurations(TBaseEEROM &image, const QString &path, int count,
                                         const std::function<void(const QString &)> &loadConfigurationFile = {});
