#include "link/PrintEEROM.h"

#include "localisation/LanguageSelect.h"
#include "model/PrintSink.h"
#include "base/TextHelpers.h"

#include <QLocale>

bool TPrintEEROM::IsPrinted(TVisualRule rule)
{
    switch (rule) {
    case vrAlwaysEdit:
    case vrAlwaysShow:
    case vrEdit:
    case vrShow:
    case vrAlwaysDependendEdit:
    case vrMasterItem:
        return true;
    case vrInvisible:
    case vrDependendEdit:
        break;
    }
    return false;
}

bool TPrintEEROM::print(PrintSink &RichEdit, const QString &ProgramVersion, const QString &ConfigFileVersion,
                        const QDate &Today)
{
    if (empty)
        return false;
    auto tr = [this](const QString &key) { return language ? language->translate(key) : key; };
    auto heading = [&RichEdit](const QString &label, const QString &value) {
        RichEdit.setStyle(PrintSink::Bold);
        RichEdit.addText(label + u'\t');
        RichEdit.setStyle(PrintSink::Normal);
        RichEdit.addText(value + u'\n');
    };

    RichEdit.setFirstTabStop(kPrintTabStop);
    heading(tr(QStringLiteral("mainTorvaneVersionText")),
            FormatText(QStringLiteral("V %s [TCF %s]"), {ProgramVersion, ConfigFileVersion}));
    heading(tr(QStringLiteral("mainConfigVersionText")), ConfigFileVersion);
    heading(tr(QStringLiteral("selAttributesFileName")),
            FFileName.isEmpty() ? tr(QStringLiteral("selAttributesNoName")) : FFileName);
    heading(tr(QStringLiteral("selAttributesDate")), QLocale::system().toString(Today, QLocale::ShortFormat));
    heading(tr(QStringLiteral("selAttributesSize")), FormatText(tr(QStringLiteral("selAttributesBytes")), {FUseSize}) + u'\n');

    RichEdit.setStyle(PrintSink::Bold | PrintSink::Underline);
    RichEdit.addText(tr(QStringLiteral("mainParameterText")) + u'\t' + tr(QStringLiteral("mainValueText")) + u'\n');
    RichEdit.setStyle(PrintSink::Normal);

    for (const auto &item : ItemList)
        if (IsPrinted(item->GetVisualRule()))
            item->DoPrint(RichEdit);
    RichEdit.setStyle(PrintSink::Normal);
    return true;
}
