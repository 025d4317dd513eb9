#pragma once

#include "link/DownloadEEROM.h"

#include <QDate>
#include <QString>

class PrintSink;

// Printing of the parameter list.
class TPrintEEROM : public TDownloadEEROM
{
public:
    // First tab stop of the printout (in the units of the sink's tab stops).
    static constexpr int kPrintTabStop = 100;

    TPrintEEROM() = default;

    // Appends the printout to RichEdit: the heading lines (program and description-file
    // version, file name, date, size), the column heading and every printed parameter, each
    // through its DoPrint. An empty image prints nothing and gives false.
    bool print(PrintSink &RichEdit, const QString &ProgramVersion, const QString &ConfigFileVersion,
               const QDate &Today = QDate::currentDate());

    // Whether parameters of the rule appear in the printout (independent of the grid's toggles).
    static bool IsPrinted(TVisualRule rule);
};
