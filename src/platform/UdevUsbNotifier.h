#pragma once

#include "platform/UsbNotifier.h"

struct udev;
struct udev_monitor;
class QSocketNotifier;

// Device events from the udev monitor (subsystems "tty" and "usb"), read on the event loop
// through a socket notifier.
class UdevUsbNotifier final : public TUsbNotifier
{
    Q_OBJECT
public:
    explicit UdevUsbNotifier(QObject *parent = nullptr);
    ~UdevUsbNotifier() override;

    bool isAvailable() const override { return m_monitor != nullptr; }
    QString unavailableReason() const override { return m_reason; }

private:
    void receive();

    struct udev *m_udev = nullptr;
    struct udev_monitor *m_monitor = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QString m_reason;
};
