#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TBaseEEROM;
class LanguageSelect;

// The EDS generation command: finds the template that belongs to the loaded device, fills it
// in, tells the user which parameters went into it and lets the user save the file. The
// message box and the save dialog go through the user prompts.
namespace EdsGeneration {

// "0x1A" gives "001A", "0x01A2" gives "01A2": the text after the first "x" (all of it without
// an "x"), with "00" in front when it is shorter than four characters.
QString TemplateKey(const QString &deviceId);

// The template for a key: a file in dir whose name begins with the key (letter case
// ignored). The names are sorted (letter case ignored, then exact) so that "the last one
// listed", which wins when several match, does not depend on the file system. Returns the
// name without directory, or an empty text.
QString FindTemplate(const QString &key, const QString &dir);

// From the last "." on, dot included; empty without a dot.
QString TemplateExtension(const QString &templateName);

// Removes / \ : * ? " < > | from a name.
QString CleanFileName(const QString &name);

// The first four characters of "Serial Number", "_", "Device Type" and the extension, cleaned.
// A parameter the configuration does not have is left out together with its "_"; without
// either, the template's own name is proposed.
QString ProposedFileName(const TBaseEEROM &image, const QString &extension, const QString &templateName);

// A save-dialog filter in the "description|pattern|description|pattern" form, turned into
// the dialog's "description (pattern);;..." form with the pair whose pattern is "*"
// extension first, so that the dialog preselects it. A filter without that pair keeps its order.
QString SaveFilter(const QString &pairs, const QString &extension);

// The folder the save dialog starts in: USERPROFILE, else the home folder.
QString InitialDirectory();

enum class Outcome { NoTemplate, Cancelled, Saved };
struct Result {
    Outcome outcome = Outcome::Cancelled;
    QString path; // the file written
};

// The whole command over the loaded image with the templates in templateDir. Errors of the
// generation and of writing the file raise TorvaneError; nothing is written unless the user
// confirmed both the message box and the save dialog.
Result mainMenuGenerateEDS(TBaseEEROM &image, const QString &templateDir);

} // namespace EdsGeneration
