#include "device/taqonotifier.h"

#include "device/pnpkit.h"

#include <algorithm>
#include <cstdio>

namespace {

void interestThunk(void* refcon, io_service_t service, natural_t messageType, void* messageArgument)
{
    PnpNotifier::DeviceChangedCallback(static_cast<PnpNotifier*>(refcon), service, messageType, messageArgument);
}

} // namespace

TaqoNotifier::TaqoNotifier(PnpNotifierCallback callback, void* refcon)
    : PnpNotifier(callback, refcon)
    , m_deviceInterface(nullptr)
    , m_deviceName()
    , m_locationId(0)
{ }

TaqoNotifier::~TaqoNotifier()
{
    pnpkit::deviceRelease(m_deviceInterface);
    m_deviceInterface = nullptr;
}

CFMutableDictionaryRef TaqoNotifier::CreateMatchingDictionary()
{
    return pnpkit::serviceMatching(kIOUSBDeviceClassName);
}

void TaqoNotifier::DeviceAdded(io_iterator_t iterator)
{
    while (io_service_t service = pnpkit::iteratorNext(iterator)) {
        std::string name;
        if (pnpkit::registryEntryName(service, &name) != KERN_SUCCESS)
            name.clear();
        m_deviceName = name;

        IOCFPlugInInterface* plugIn = nullptr;
        const IOReturn plugInResult = pnpkit::createPlugInInterface(service, &plugIn);
        if (plugInResult != kIOReturnSuccess || !plugIn) {
            std::printf("IOCreatePlugInInterfaceForService returned 0x%08x.\n", static_cast<unsigned>(plugInResult));
            pnpkit::objectRelease(service);
            continue;
        }

        // Only the latest device's interface is kept.
        pnpkit::deviceRelease(m_deviceInterface);
        m_deviceInterface = nullptr;
        const IOReturn queryResult = pnpkit::queryDeviceInterface(plugIn, &m_deviceInterface);
        pnpkit::plugInRelease(plugIn);
        if (queryResult != kIOReturnSuccess || !m_deviceInterface) {
            std::printf("QueryInterface returned %d.\n", static_cast<int>(queryResult));
            pnpkit::objectRelease(service);
            continue;
        }

        UInt32 locationId = 0;
        if (pnpkit::deviceGetLocationId(m_deviceInterface, &locationId) != kIOReturnSuccess) {
            pnpkit::objectRelease(service);
            continue;
        }
        m_locationId = locationId;

        io_object_t notification = nullptr;
        const kern_return_t interestResult = pnpkit::addInterestNotification(
            m_notifyPort, service, kIOGeneralInterest, interestThunk, this, &notification);
        if (interestResult != KERN_SUCCESS)
            std::printf("IOServiceAddInterestNotification returned 0x%08x.\n", static_cast<unsigned>(interestResult));
        else
            m_deviceMatchList.push_back(notification);

        if (m_callback)
            m_callback(kIOMessageServiceIsAttemptingOpen, m_refcon);

        pnpkit::objectRelease(service);
    }
}

void TaqoNotifier::DeviceChanged(io_service_t service, natural_t messageType, void*)
{
    if (messageType != kIOMessageServiceIsAttemptingOpen && m_callback)
        m_callback(messageType, m_refcon);

    // A removed device's watch is spent: let it go now rather than at
    // Uninstall, so that plugging in and out does not pile them up.
    if (messageType == kIOMessageServiceIsTerminated) {
        const auto spent = std::find_if(m_deviceMatchList.begin(), m_deviceMatchList.end(),
            [service](io_object_t object) { return pnpkit::notificationWatches(object, service); });
        if (spent != m_deviceMatchList.end()) {
            io_object_t notification = *spent;
            m_deviceMatchList.erase(spent);
            pnpkit::objectRelease(notification);
        }
    }
}
