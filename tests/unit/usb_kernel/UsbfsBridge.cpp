#include "UsbfsBridge.h"

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <linux/ioctl.h>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace zopra::test {

namespace {

// What libusb asks of usbfs when it opens the device and reads the capabilities.
constexpr std::uint32_t kCapabilities = USBDEVFS_CAP_BULK_CONTINUATION |
                                        USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                        USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

usbdevfs_urb& UrbOf(UMockdevIoctlData* data) {
    return *reinterpret_cast<usbdevfs_urb*>(data->data);
}

} // namespace

UsbfsBridge::UsbfsBridge(std::filesystem::path cutterSocket)
    : FHandler(umockdev_ioctl_base_new()), FSocketPath(std::move(cutterSocket)) {
    g_signal_connect(FHandler.get(), "handle-ioctl", G_CALLBACK(&UsbfsBridge::OnIoctl), this);
    g_signal_connect(FHandler.get(), "client-connected", G_CALLBACK(&UsbfsBridge::OnOpened), this);
}

UsbfsBridge::~UsbfsBridge() {
    g_signal_handlers_disconnect_by_data(FHandler.get(), this);
}

void UsbfsBridge::SwitchedOn(std::filesystem::path cutterSocket) {
    std::lock_guard lock(FMutex);
    FSocketPath = std::move(cutterSocket);
    FSocket.Reset();
    FGone = false;
    FWaiting.clear();
    FDone.clear();
}

void UsbfsBridge::RefuseClaim(bool refuse) {
    std::lock_guard lock(FMutex);
    FRefuseClaim = refuse;
}

std::vector<std::string> UsbfsBridge::BulkWrites() const {
    std::lock_guard lock(FMutex);
    return FWrites;
}

gboolean UsbfsBridge::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<UsbfsBridge*>(self)->Answer(client);
    return TRUE;
}

// Every open of the node is a new session with the cutter, as a new device handle is.
void UsbfsBridge::OnOpened(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer self) {
    auto& bridge = *static_cast<UsbfsBridge*>(self);
    std::lock_guard lock(bridge.FMutex);
    bridge.FSocket.Reset();
    bridge.FWaiting.clear();
    bridge.FDone.clear();
}

void UsbfsBridge::Answer(UMockdevIoctlClient* client) {
    std::lock_guard lock(FMutex);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    // A reaped transfer may still be handed out after the device went; nothing else.
    if (FGone && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        Data caps(umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                              sizeof(std::uint32_t), nullptr));
        std::memcpy(caps->data, &kCapabilities, sizeof kCapabilities);
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    case USBDEVFS_GETDRIVER: // no kernel driver is bound to the cutter's interface
    case USBDEVFS_IOCTL:     // so there is none to disconnect or connect again
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return;
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
        umockdev_ioctl_client_complete(client, FRefuseClaim ? -1 : 0, FRefuseClaim ? EBUSY : 0);
        return;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    case USBDEVFS_SUBMITURB:
        Submit(client);
        return;
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        Reap(client);
        return;
    case USBDEVFS_DISCARDURB:
        Discard(client);
        return;
    default: // what the cutter's driver does not know
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return;
    }
}

void UsbfsBridge::Submit(UMockdevIoctlClient* client) {
    Urb transfer;
    transfer.urb.reset(umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                                   sizeof(usbdevfs_urb), nullptr));
    usbdevfs_urb& urb = UrbOf(transfer.urb.get());
    if (urb.type != USBDEVFS_URB_TYPE_BULK || urb.buffer_length < 0) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    transfer.buffer.reset(umockdev_ioctl_data_resolve(
        transfer.urb.get(), offsetof(usbdevfs_urb, buffer), urb.buffer_length, nullptr));
    if ((urb.endpoint & USB_DIR_IN) != 0) {
        FWaiting.push_back(std::move(transfer));
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    const std::string bytes(reinterpret_cast<const char*>(transfer.buffer->data),
                            static_cast<std::size_t>(urb.buffer_length));
    FWrites.push_back(bytes);
    if (!Connected() ||
        ::send(FSocket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
        Unplugged();
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    urb.status = 0;
    urb.actual_length = urb.buffer_length;
    FDone.push_back(std::move(transfer));
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsBridge::Reap(UMockdevIoctlClient* client) {
    TakeReplies();
    if (FDone.empty()) {
        umockdev_ioctl_client_complete(client, -1, FGone ? ENODEV : EAGAIN);
        return;
    }
    Urb transfer = std::move(FDone.front());
    FDone.pop_front();
    // The caller gets back the address of its own URB, now filled in.
    Data pointer(umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0,
                                             sizeof(void*), nullptr));
    umockdev_ioctl_data_set_ptr(pointer.get(), 0, transfer.urb.get());
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsBridge::Discard(UMockdevIoctlClient* client) {
    // The argument is the URB's own address.
    const auto address = *reinterpret_cast<gulong*>(umockdev_ioctl_client_get_arg(client)->data);
    for (auto it = FWaiting.begin(); it != FWaiting.end(); ++it) {
        if (it->urb->client_addr != address)
            continue;
        UrbOf(it->urb.get()).status = -ENOENT;
        UrbOf(it->urb.get()).actual_length = 0;
        FDone.push_back(std::move(*it));
        FWaiting.erase(it);
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
}

// Each reply of the cutter completes the oldest bulk IN transfer.
void UsbfsBridge::TakeReplies() {
    while (!FWaiting.empty() && Connected()) {
        Urb& transfer = FWaiting.front();
        usbdevfs_urb& urb = UrbOf(transfer.urb.get());
        const ssize_t got = ::recv(FSocket.Get(), transfer.buffer->data,
                                   static_cast<std::size_t>(urb.buffer_length), MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (got <= 0) {
            Unplugged();
            return;
        }
        urb.status = 0;
        urb.actual_length = static_cast<int>(got);
        FDone.push_back(std::move(transfer));
        FWaiting.pop_front();
    }
}

// What usbfs does when the device is unplugged: the transfers in flight end with
// ESHUTDOWN and are still reaped; everything else fails with ENODEV from now on.
void UsbfsBridge::Unplugged() {
    FGone = true;
    FSocket.Reset();
    for (Urb& transfer : FWaiting) {
        UrbOf(transfer.urb.get()).status = -ESHUTDOWN;
        UrbOf(transfer.urb.get()).actual_length = 0;
        FDone.push_back(std::move(transfer));
    }
    FWaiting.clear();
}

// The cutter's socket, connected on the first transfer of a session.
bool UsbfsBridge::Connected() {
    if (FSocket.Valid())
        return true;
    if (FGone)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = FSocketPath.string();
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    vc::UniqueFd fd(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!fd.Valid() ||
        ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return false;
    FSocket = std::move(fd);
    return true;
}

} // namespace zopra::test
