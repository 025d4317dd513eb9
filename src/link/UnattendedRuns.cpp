#include "link/UnattendedRuns.h"

#include "link/DeviceCommands.h"
#include "link/LinkWait.h"
#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "model/NumericItems.h"
#include "base/TextHelpers.h"
#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"

#include <QFileInfo>

namespace {

constexpr int kSerialDigits = 8;
constexpr int kLargestSerial = 99999999;

QString translated(const LanguageSelect *language, const QString &key)
{
    return language ? language->translate(key) : key;
}

} // namespace

bool RunAutomaticDownload(TDeviceCommands &commands, LanguageSelect *language, const TUnattendedTimings &timings)
{
    commands.doDownLoad(true);
    statusTrace().logStringOnly(QStringLiteral("auto ok ") + BoolToText(commands.AutomaticDownloadOK));
    // The download has waited for the device's restart before doDownLoad returns; only a
    // handler that still runs can bring the confirmation later. A failed download has nothing
    // more to wait for.
    LinkWait::waitUntil([&] { return commands.AutomaticDownloadOK || !commands.Busy(); }, timings.confirmMs);
    if (commands.AutomaticDownloadOK) {
        ExactDelay(timings.exitDelayMs);
        return true;
    }
    UserPrompts::instance().showMessage(translated(language, QStringLiteral("messageAutomaticDownloadFailed")));
    return false;
}

QStringList generateSerialConfigurations(TBaseEEROM &image, const QString &path, int count,
                                         const std::function<void(const QString &)> &loadConfigurationFile)
{
    statusTrace().logStringOnly(QStringLiteral("GWC Generierung"));
    if (loadConfigurationFile)
        loadConfigurationFile(path);
    else
        image.openfile(path);

    TItem *serial = image.GetEintrag(QStringLiteral("Serial Number"));
    if (!serial)
        throw TorvaneError(FormatText(translated(image.language, QStringLiteral("exceptionSerialNumberMissing")), {path}));
    const bool eightDigits = dynamic_cast<TSerialNumberItem *>(serial) != nullptr;
    const QString first = serial->GetText();
    const int start = StrToInt(first);
    if (eightDigits && count > 0 && (start < 0 || qint64(start) + count > kLargestSerial))
        throw TorvaneError(FormatText(translated(image.language, QStringLiteral("exceptionSerialNumberRange")),
                                      {first, count, kSerialDigits}));

    const QString dir = QFileInfo(path).path() + QLatin1Char('/');
    QStringList written;
    for (int n = 0; n < count; ++n) {
        const int next = StrToInt(serial->GetText()) + 1;
        const QString text = eightDigits ? QString::number(next).rightJustified(kSerialDigits, u'0') : QString::number(next);
        serial->SetText(text);
        if (TItem *store = image.GetEintrag(QStringLiteral("Store Serial Number")))
            store->SetText(QStringLiteral("YES"));
        const QString number = serial->GetText();
        if (number.contains(u'/') || number.contains(u'\\') || number.contains(u':'))
            throw TorvaneError(FormatText(translated(image.language, QStringLiteral("exceptionSerialNumberFileName")), {number}));
        image.SetFileName(dir + QStringLiteral("AutoKonfig_") + number + QStringLiteral(".gwc"));
        image.SaveFile();
        written << image.FileName();
    }
    return written;
}
