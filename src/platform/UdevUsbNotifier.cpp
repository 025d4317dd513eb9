#include "platform/UdevUsbNotifier.h"

#include <QSocketNotifier>

#include <libudev.h>

namespace {
QString text(const char *value)
{
    return value ? QString::fromUtf8(value) : QString();
}
} // namespace

UdevUsbNotifier::UdevUsbNotifier(QObject *parent) : TUsbNotifier(parent)
{
    m_udev = udev_new();
    if (!m_udev) {
        m_reason = QStringLiteral("udev cannot be opened");
        return;
    }
    udev_monitor *monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) < 0
        || udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device") < 0
        || udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
        if (monitor)
            udev_monitor_unref(monitor);
        m_reason = QStringLiteral("the udev monitor cannot be created");
        return;
    }
    m_monitor = monitor;
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdevUsbNotifier::receive);
}

UdevUsbNotifier::~UdevUsbNotifier()
{
    delete m_notifier;
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void UdevUsbNotifier::receive()
{
    // The monitor's socket does not block: take what is queued, then return to the loop.
    while (udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const UsbDeviceEvent event =
            classifyDeviceEvent(text(udev_device_get_action(device)), text(udev_device_get_subsystem(device)),
                                text(udev_device_get_devtype(device)), text(udev_device_get_devnode(device)),
                                text(udev_device_get_syspath(device)));
        udev_device_unref(device);
        if (event.kind == UsbDeviceEvent::Arrived)
            emit deviceArrived(event.name);
        else if (event.kind == UsbDeviceEvent::Removed)
            emit deviceRemoved(event.name);
    }
}
