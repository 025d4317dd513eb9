#include "platform/UsbNotifier.h"

#ifdef TORVANE_HAVE_UDEV
#include "platform/UdevUsbNotifier.h"

#include <QFileInfo>
#endif

UsbDeviceEvent classifyDeviceEvent(const QString &action, const QString &subsystem, const QString &devType,
                                   const QString &devNode, const QString &sysPath)
{
    UsbDeviceEvent event;
    const bool relevant = subsystem == QLatin1String("tty")
                          || (subsystem == QLatin1String("usb") && devType == QLatin1String("usb_device"));
    if (!relevant)
        return event;
    if (action == QLatin1String("add"))
        event.kind = UsbDeviceEvent::Arrived;
    else if (action == QLatin1String("remove"))
        event.kind = UsbDeviceEvent::Removed;
    else
        return event;
    event.name = devNode.isEmpty() ? sysPath : devNode;
    return event;
}

std::unique_ptr<TUsbNotifier> createUsbNotifier(QObject *parent)
{
#ifdef TORVANE_HAVE_UDEV
    // Without the udev service the monitor can be created but stays silent for ever; say so
    // instead of pretending to watch.
    if (!QFileInfo::exists(QStringLiteral("/run/udev/control")))
        return std::make_unique<UnavailableUsbNotifier>(QStringLiteral("the udev service is not running"), parent);
    auto notifier = std::make_unique<UdevUsbNotifier>(parent);
    if (notifier->isAvailable())
        return notifier;
    return std::make_unique<UnavailableUsbNotifier>(notifier->unavailableReason(), parent);
#else
    return std::make_unique<UnavailableUsbNotifier>(QStringLiteral("built without udev"), parent);
#endif
}
