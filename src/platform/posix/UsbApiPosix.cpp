#include "platform/posix/UsbApiPosix.h"

#include "platform/PrinterClassDevices.h"
#include "platform/Trace.h"
#include "platform/virtual/RuntimeDir.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <libusb.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zopra::platform {

namespace {

constexpr int kCutterInterface = 0;
// A multiple of every bulk packet size, so that a device never overflows a read, and far
// more than any reply of the cutter.
constexpr std::size_t kReceiveCapacity = 4096;
// The receive thread asks every 20 ms whether input is there; looking must not block it.
constexpr unsigned kQueryWaitMs = 10;
constexpr int kWriteTimeoutMs = 2000;

// For a libusb call whose failure the library goes on from: traces it under ZOPRA_DEBUG
// (libusb's codes are its own, not errno) and hands the result on.
int TracedLibusb(std::string_view call, int result) noexcept {
    if (result < 0)
        TraceNote(call, libusb_error_name(result));
    return result;
}

// One open device: a byte pipe that delivers messages (one reply per receive), with the
// message being handed out kept between a query and the reads that take it.
class Device {
public:
    virtual ~Device() = default;

    std::int32_t Query() {
        std::lock_guard lock(FMutex);
        Fill();
        return Pending() > 0 ? static_cast<std::int32_t>(Pending()) : -1;
    }

    std::int32_t Read(std::uint8_t* buffer, std::int32_t capacity, std::int32_t* count) {
        std::lock_guard lock(FMutex);
        Fill();
        if (Pending() == 0)
            return -1;
        // A message longer than the caller's buffer is handed out over several reads.
        const auto n = std::min(Pending(), static_cast<std::size_t>(capacity));
        std::memcpy(buffer, FMessage.data() + FTaken, n);
        FTaken += n;
        if (count != nullptr)
            *count = static_cast<std::int32_t>(n);
        return static_cast<std::int32_t>(n);
    }

    // Returns the bytes written, or -1.
    virtual std::int32_t Send(const std::uint8_t* bytes, std::size_t count) = 0;

    bool Gone() const { return FGone.load(std::memory_order_acquire); }

protected:
    void MarkGone() { FGone.store(true, std::memory_order_release); }

    // One message into `buffer`: its length, 0 when none is there within a short wait,
    // -1 when the device failed or went away.
    virtual int Receive(std::uint8_t* buffer, std::size_t capacity) = 0;

private:
    std::size_t Pending() const { return FMessage.size() - FTaken; }

    void Fill() {
        if (Pending() > 0)
            return;
        FMessage.resize(kReceiveCapacity);
        const int got = Receive(FMessage.data(), FMessage.size());
        FMessage.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        FTaken = 0;
    }

    std::mutex FMutex;
    std::vector<std::uint8_t> FMessage;
    std::size_t FTaken = 0;
    std::atomic<bool> FGone{false};
};

// --- the cutter on the USB bus ----------------------------------------------------------

struct DeviceListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*, DeviceListDeleter>;

struct ConfigDeleter {
    void operator()(libusb_config_descriptor* config) const {
        libusb_free_config_descriptor(config);
    }
};
using Config = std::unique_ptr<libusb_config_descriptor, ConfigDeleter>;

struct Endpoints {
    unsigned char In = 0;
    unsigned char Out = 0;
};

// The first bulk IN and bulk OUT endpoints of interface 0, setting 0.
bool FindEndpoints(libusb_device* device, Endpoints& endpoints) {
    libusb_config_descriptor* raw = nullptr;
    if (TracedLibusb("libusb_get_active_config_descriptor",
                     libusb_get_active_config_descriptor(device, &raw)) != 0)
        return false;
    Config config(raw);
    for (int i = 0; i < config->bNumInterfaces; ++i) {
        const libusb_interface& itf = config->interface[i];
        if (itf.num_altsetting < 1 || itf.altsetting[0].bInterfaceNumber != kCutterInterface)
            continue;
        const libusb_interface_descriptor& setting = itf.altsetting[0];
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& ep = setting.endpoint[e];
            if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK)
                continue;
            unsigned char& slot =
                (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) != 0 ? endpoints.In : endpoints.Out;
            if (slot == 0)
                slot = ep.bEndpointAddress;
        }
    }
    return endpoints.In != 0 && endpoints.Out != 0;
}

class LibusbDevice final : public Device {
public:
    // `error` gets the errno-style cause when the device is there but cannot be had.
    static std::unique_ptr<LibusbDevice> Open(libusb_device* device, int& error) {
        Endpoints endpoints;
        if (!FindEndpoints(device, endpoints))
            return nullptr;
        libusb_device_handle* handle = nullptr;
        if (const int result = TracedLibusb("libusb_open", libusb_open(device, &handle));
            result != 0) {
            error = ErrnoOf(result);
            return nullptr;
        }
        // usblp may hold the interface; libusb gives it back when we release it. Where it
        // cannot, the interface is taken from usblp here; a failure shows in the claim.
        if (libusb_set_auto_detach_kernel_driver(handle, 1) != LIBUSB_SUCCESS &&
            libusb_kernel_driver_active(handle, kCutterInterface) == 1)
            TracedLibusb("libusb_detach_kernel_driver",
                         libusb_detach_kernel_driver(handle, kCutterInterface));
        if (const int result = TracedLibusb("libusb_claim_interface",
                                            libusb_claim_interface(handle, kCutterInterface));
            result != 0) {
            error = ErrnoOf(result);
            libusb_close(handle);
            return nullptr;
        }
        return std::unique_ptr<LibusbDevice>(new LibusbDevice(handle, endpoints));
    }

    ~LibusbDevice() override {
        // A device that has gone away cannot be released; closing the handle still frees it.
        TracedLibusb("libusb_release_interface",
                     libusb_release_interface(FHandle, kCutterInterface));
        libusb_close(FHandle);
    }

    std::int32_t Send(const std::uint8_t* bytes, std::size_t count) override {
        int transferred = 0;
        const int result =
            libusb_bulk_transfer(FHandle, FEndpoints.Out, const_cast<std::uint8_t*>(bytes),
                                 static_cast<int>(count), &transferred, kWriteTimeoutMs);
        TracedLibusb("libusb_bulk_transfer (out)", result);
        if (result == LIBUSB_ERROR_NO_DEVICE)
            MarkGone();
        return transferred > 0 || result == 0 ? transferred : -1;
    }

protected:
    int Receive(std::uint8_t* buffer, std::size_t capacity) override {
        int transferred = 0;
        const int result = libusb_bulk_transfer(
            FHandle, FEndpoints.In, buffer, static_cast<int>(capacity), &transferred, kQueryWaitMs);
        if (transferred > 0)
            return transferred;
        if (result == 0 || result == LIBUSB_ERROR_TIMEOUT)
            return 0;
        TracedLibusb("libusb_bulk_transfer (in)", result);
        if (result == LIBUSB_ERROR_NO_DEVICE)
            MarkGone();
        return -1;
    }

private:
    static int ErrnoOf(int libusbError) {
        switch (libusbError) {
        case LIBUSB_ERROR_ACCESS:
            return EACCES;
        case LIBUSB_ERROR_BUSY:
            return EBUSY;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return ENODEV;
        default:
            return EIO;
        }
    }

    LibusbDevice(libusb_device_handle* handle, Endpoints endpoints)
        : FHandle(handle), FEndpoints(endpoints) {}

    libusb_device_handle* FHandle;
    Endpoints FEndpoints;
};

// --- the vendor-library devices of virtual-cutter ---------------------------------------

class SocketDevice final : public Device {
public:
    static std::unique_ptr<SocketDevice> Connect(const std::filesystem::path& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string name = path.string();
        if (name.size() >= sizeof address.sun_path)
            return nullptr;
        std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            TraceFailure("socket (a vendor-library device)", errno);
            return nullptr;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            TraceFailure("connect (a vendor-library device)", errno);
            ::close(fd);
            return nullptr;
        }
        return std::unique_ptr<SocketDevice>(new SocketDevice(fd));
    }

    ~SocketDevice() override { ::close(FFd); }

    std::int32_t Send(const std::uint8_t* bytes, std::size_t count) override {
        pollfd pfd{FFd, POLLOUT, 0};
        if (::poll(&pfd, 1, kWriteTimeoutMs) <= 0)
            return -1;
        // MSG_NOSIGNAL: a virtual cutter that has gone away must not end this program.
        const ssize_t sent = ::send(FFd, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            const int error = errno;
            TraceFailure("send (a vendor-library device)", error);
            if (error == EPIPE || error == ECONNRESET || error == ENOTCONN)
                MarkGone();
            return -1;
        }
        return static_cast<std::int32_t>(sent);
    }

protected:
    int Receive(std::uint8_t* buffer, std::size_t capacity) override {
        const ssize_t got = ::recv(FFd, buffer, capacity, MSG_DONTWAIT);
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0) {
            MarkGone(); // the peer closed the connection
            return -1;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return 0;
        TraceFailure("recv (a vendor-library device)", errno);
        return -1;
    }

private:
    explicit SocketDevice(int fd) : FFd(fd) {}

    int FFd;
};

// --- the library ------------------------------------------------------------------------

class PosixUsbApi final : public UsbApi {
public:
    explicit PosixUsbApi(bool withUsbBus) {
        // Without libusb the cutters on the bus are not listed; the announced ones still are.
        if (withUsbBus && TracedLibusb("libusb_init", libusb_init(&FContext)) != 0)
            FContext = nullptr;
    }

    ~PosixUsbApi() override {
        FOpen.clear();
        if (FContext != nullptr)
            libusb_exit(FContext);
    }

    std::int32_t UsbOpenDevice(std::int32_t index) override {
        FLastOpenError.store(0, std::memory_order_relaxed);
        if (index < 0)
            return kNoDevice;
        std::unique_ptr<Device> device;
        DeviceList busList;
        const auto busDevices = CutterDevicesInBusOrder(busList);
        const auto position = static_cast<std::size_t>(index);
        int error = 0;
        if (position < busDevices.size()) {
            device = LibusbDevice::Open(busDevices[position], error);
        } else {
            const auto announced = AnnouncedDevices("usbapi");
            if (position - busDevices.size() < announced.size())
                device = SocketDevice::Connect(announced[position - busDevices.size()]);
        }
        FLastOpenError.store(device ? 0 : error, std::memory_order_relaxed);
        if (!device)
            return kNoDevice;
        std::lock_guard lock(FTableMutex);
        const std::int32_t handle = NextFreeHandle();
        FOpen.emplace(handle, std::move(device));
        return handle;
    }

    std::int32_t UsbCloseDevice(std::int32_t handle) override {
        std::shared_ptr<Device> closing;
        {
            std::lock_guard lock(FTableMutex);
            auto it = FOpen.find(handle);
            if (it == FOpen.end())
                return -1;
            closing = std::move(it->second);
            FOpen.erase(it);
        }
        // A read still running on the other thread keeps the device until it returns.
        return 0;
    }

    std::int32_t UsbWrite(std::int32_t handle, const void* bytes, std::int32_t count) override {
        if (count < 0 || (bytes == nullptr && count > 0))
            return -1;
        auto device = Find(handle);
        if (!device)
            return -1;
        return device->Send(static_cast<const std::uint8_t*>(bytes),
                            static_cast<std::size_t>(count));
    }

    std::int32_t UsbQueryInput(std::int32_t handle, std::int32_t* count) override {
        auto device = Find(handle);
        if (!device)
            return -1;
        const std::int32_t pending = device->Query();
        if (pending >= 0 && count != nullptr)
            *count = pending;
        return pending;
    }

    std::int32_t UsbRead(std::int32_t handle, void* buffer, std::int32_t capacity,
                         std::int32_t* count) override {
        if (buffer == nullptr || capacity <= 0)
            return -1;
        auto device = Find(handle);
        if (!device)
            return -1;
        return device->Read(static_cast<std::uint8_t*>(buffer), capacity, count);
    }

    int LastOpenError() const override { return FLastOpenError.load(std::memory_order_relaxed); }

    bool DeviceGone(std::int32_t handle) override {
        const auto device = Find(handle);
        return device && device->Gone();
    }

private:
    std::shared_ptr<Device> Find(std::int32_t handle) {
        std::lock_guard lock(FTableMutex);
        auto it = FOpen.find(handle);
        return it == FOpen.end() ? nullptr : it->second;
    }

    // Handles count up from 1 and are not reused while open; -1 is never one.
    std::int32_t NextFreeHandle() {
        do {
            FLastHandle = FLastHandle == INT32_MAX ? 1 : FLastHandle + 1;
        } while (FOpen.count(FLastHandle) != 0);
        return FLastHandle;
    }

    // The cutter's devices by bus number, then by their place in the bus's tree, so that
    // a device keeps its number while nothing is plugged in or out.
    // The devices stay valid while `list` holds them.
    std::vector<libusb_device*> CutterDevicesInBusOrder(DeviceList& list) {
        if (FContext == nullptr)
            return {};
        libusb_device** raw = nullptr;
        const ssize_t total = libusb_get_device_list(FContext, &raw);
        if (total < 0) {
            TracedLibusb("libusb_get_device_list", static_cast<int>(total));
            return {};
        }
        list.reset(raw);
        struct Found {
            std::vector<std::uint8_t> Place;
            libusb_device* Device;
        };
        std::vector<Found> found;
        for (ssize_t i = 0; i < total; ++i) {
            libusb_device_descriptor descriptor{};
            if (TracedLibusb("libusb_get_device_descriptor",
                             libusb_get_device_descriptor(raw[i], &descriptor)) != 0 ||
                descriptor.idVendor != kCutterVendorId)
                continue;
            std::uint8_t ports[8] = {};
            const int depth = libusb_get_port_numbers(raw[i], ports, sizeof ports);
            std::vector<std::uint8_t> place{libusb_get_bus_number(raw[i])};
            place.insert(place.end(), ports, ports + std::max(depth, 0));
            place.push_back(libusb_get_device_address(raw[i]));
            found.push_back({std::move(place), raw[i]});
        }
        std::sort(found.begin(), found.end(),
                  [](const Found& a, const Found& b) { return a.Place < b.Place; });
        std::vector<libusb_device*> devices;
        for (const auto& entry : found)
            devices.push_back(entry.Device);
        return devices;
    }

    libusb_context* FContext = nullptr;
    std::mutex FTableMutex;
    std::map<std::int32_t, std::shared_ptr<Device>> FOpen;
    std::int32_t FLastHandle = 0;
    std::atomic<int> FLastOpenError{0};
};

} // namespace

std::unique_ptr<UsbApi> MakePosixUsbApi(bool withUsbBus) {
    return std::make_unique<PosixUsbApi>(withUsbBus);
}

std::unique_ptr<UsbApi> OpenUsbApi() {
    return MakePosixUsbApi(true);
}

} // namespace zopra::platform
