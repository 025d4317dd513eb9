#include "platform/UsbNotifier.h"

#ifdef TORVANE_HAVE_UDEV
#include "platform/UdevUsbNotifier.h"
#endif

#include <QFileInfo>
#include <QSignalSpy>
#include <QtTest>

class TestUsbNotifier : public QObject
{
    Q_OBJECT
private slots:
    void classifiesDeviceEvents_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("subsystem");
        QTest::addColumn<QString>("devType");
        QTest::addColumn<QString>("devNode");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        const QString sys = QStringLiteral("/sys/devices/pci0000:00/usb1/1-2");
        const int ignored = UsbDeviceEvent::Ignored, arrived = UsbDeviceEvent::Arrived, removed = UsbDeviceEvent::Removed;
        QTest::newRow("serial adapter plugged") << "add" << "tty" << "" << "/dev/ttyUSB0" << arrived << "/dev/ttyUSB0";
        QTest::newRow("serial adapter pulled") << "remove" << "tty" << "" << "/dev/ttyUSB0" << removed << "/dev/ttyUSB0";
        QTest::newRow("usb device plugged") << "add" << "usb" << "usb_device" << "/dev/bus/usb/001/004" << arrived
                                            << "/dev/bus/usb/001/004";
        QTest::newRow("usb device without node") << "remove" << "usb" << "usb_device" << "" << removed << sys;
        QTest::newRow("interface of a usb device") << "add" << "usb" << "usb_interface" << "" << ignored << "";
        QTest::newRow("driver bound") << "bind" << "usb" << "usb_device" << "/dev/bus/usb/001/004" << ignored << "";
        QTest::newRow("tty changed") << "change" << "tty" << "" << "/dev/ttyS0" << ignored << "";
        QTest::newRow("disk") << "add" << "block" << "disk" << "/dev/sdb" << ignored << "";
    }
    void classifiesDeviceEvents()
    {
        QFETCH(QString, action);
        QFETCH(QString, subsystem);
        QFETCH(QString, devType);
        QFETCH(QString, devNode);
        QFETCH(int, kind);
        QFETCH(QString, name);
        const UsbDeviceEvent event = classifyDeviceEvent(action, subsystem, devType, devNode,
                                                         QStringLiteral("/sys/devices/pci0000:00/usb1/1-2"));
        QCOMPARE(int(event.kind), kind);
        QCOMPARE(event.name, name);
    }

    void factoryDegradesWithoutTheUdevService()
    {
        // No udev service on this machine: no notifications, with a reason for the trace,
        // rather than a monitor that stays silent for ever.
        const std::unique_ptr<TUsbNotifier> notifier = createUsbNotifier();
        QVERIFY(notifier);
#ifdef TORVANE_HAVE_UDEV
        const bool serviceRuns = QFileInfo::exists(QStringLiteral("/run/udev/control"));
#else
        const bool serviceRuns = false;
#endif
        QCOMPARE(notifier->isAvailable(), serviceRuns);
        QCOMPARE(notifier->unavailableReason().isEmpty(), serviceRuns);
    }

#ifdef TORVANE_HAVE_UDEV
    void udevMonitorOpensAndCloses()
    {
        UdevUsbNotifier notifier;
        QVERIFY2(notifier.isAvailable(), qPrintable(notifier.unavailableReason()));
        QSignalSpy arrived(&notifier, &TUsbNotifier::deviceArrived);
        QCoreApplication::processEvents(); // a readable monitor with nothing queued must not hang
        QCOMPARE(arrived.size(), 0);
    }
#endif
};

QTEST_GUILESS_MAIN(TestUsbNotifier)
#include "TestUsbNotifier.moc"
