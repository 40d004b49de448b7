#pragma once
// The kernel's usbfs side of a vendor-library cutter: the ioctls that libusb issues on
// /dev/bus/usb/BBB/DDD, answered as the kernel answers them, with the cutter behind the
// bulk endpoints played by a virtual cutter (its SOCK_SEQPACKET presentation, one message
// per reply). A bulk OUT transfer goes to the cutter as one message; a bulk IN transfer
// completes with the cutter's next reply. Once the cutter is gone (its socket closed, as a
// pulled cable) the transfers in flight end with ESHUTDOWN and every later ioctl fails with
// ENODEV, as usbfs does for a disconnected device.
#include "KernelTestbed.h"

#include "virtual-cutter/CutterEnd.h"

#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace zopra::test {

class UsbfsBridge {
public:
    explicit UsbfsBridge(std::filesystem::path cutterSocket);
    ~UsbfsBridge();
    UsbfsBridge(const UsbfsBridge&) = delete;
    UsbfsBridge& operator=(const UsbfsBridge&) = delete;

    UMockdevIoctlBase* Handler() const { return FHandler.get(); }

    // A fresh cutter behind the same node (plugged in again): its socket, nothing gone.
    void SwitchedOn(std::filesystem::path cutterSocket);

    // Another program has claimed the interface: claiming it fails with EBUSY.
    void RefuseClaim(bool refuse);
    // The bytes of each bulk OUT transfer, in order.
    std::vector<std::string> BulkWrites() const;

private:
    using Data = std::unique_ptr<UMockdevIoctlData, GObjectUnref>;
    struct Urb {
        Data urb;    // the usbdevfs_urb, resolved
        Data buffer; // its buffer, resolved
    };

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static void OnOpened(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer self);
    void Answer(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client);
    void Reap(UMockdevIoctlClient* client);
    void Discard(UMockdevIoctlClient* client);
    void TakeReplies();
    void Unplugged();
    bool Connected();

    std::unique_ptr<UMockdevIoctlBase, GObjectUnref> FHandler;
    std::filesystem::path FSocketPath;

    // The handler runs on the testbed's own thread; the test reads the history.
    mutable std::mutex FMutex;
    vc::UniqueFd FSocket;
    bool FGone = false;
    bool FRefuseClaim = false;
    std::deque<Urb> FWaiting; // bulk IN transfers waiting for a reply
    std::deque<Urb> FDone;    // transfers to reap
    std::vector<std::string> FWrites;
};

} // namespace zopra::test
