#pragma once

// Watches every USB device. Devices present at Install and each later
// arrival are reported as kIOMessageServiceIsAttemptingOpen (0xE0000101);
// the removal of a reported device as kIOMessageServiceIsTerminated
// (0xE0000010). A device whose USB address cannot be read is neither
// reported nor watched.
//
// Install returns false even when it succeeds: the per-device watches are
// kept with the matching notifications, not as general-interest ones.

#include "device/pnpnotifier.h"

class TaqoNotifier : public PnpNotifier
{
public:
    TaqoNotifier(PnpNotifierCallback callback, void* refcon);
    ~TaqoNotifier() override;

    using PnpNotifier::CreateMatchingDictionary;

    // Matches every USB device.
    CFMutableDictionaryRef CreateMatchingDictionary() override;

    void DeviceAdded(io_iterator_t iterator) override;

    // Forwards every message but 0xE0000101 to the callback.
    void DeviceChanged(io_service_t service, natural_t messageType, void* messageArgument) override;

protected:
    // Of the most recently added device.
    IOUSBDeviceInterface* m_deviceInterface;
    CFStringRef m_deviceName;
    UInt32 m_locationId;
};
