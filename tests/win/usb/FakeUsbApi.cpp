// A stand-in for the vendor USB library, built as a DLL with the five operations at
// ordinals 2, 3, 4, 8 and 9. It fakes cutters at device numbers 0 and 2 that answer the
// identity query "ESC.R4:" with one reply, and remembers which ordinal was called last so
// that a test can tell that the loader mapped each operation to the right entry.
//
// Like a library may, its read takes the count it is given as the number of bytes to read:
// it only works when the caller hands UsbRead the count that UsbQueryInput left.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr std::int32_t kHandleBase = 0x5a00;
const std::string kIdentity = "R4,Cutter,Vantor II 24 PZ,V2.10,1,0;";

struct FakeDevice {
    bool Open = false;
    std::string Reply;
};

FakeDevice gDevices[4];
std::int32_t gLastOrdinal = 0;

FakeDevice* Find(std::int32_t handle) {
    const std::int32_t index = handle - kHandleBase;
    if (index < 0 || index >= 4 || !gDevices[index].Open)
        return nullptr;
    return &gDevices[index];
}

} // namespace

extern "C" {

std::int32_t __stdcall FakeUsbWrite(std::int32_t handle, const void* bytes, std::int32_t count) {
    gLastOrdinal = 2;
    FakeDevice* device = Find(handle);
    if (device == nullptr || bytes == nullptr || count < 0)
        return -1;
    const std::string command(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
    if (command.rfind("\x1b.R4:", 0) == 0)
        device->Reply = kIdentity;
    return count;
}

std::int32_t __stdcall FakeUsbRead(std::int32_t handle, void* buffer, std::int32_t capacity,
                                   std::int32_t* count) {
    gLastOrdinal = 3;
    FakeDevice* device = Find(handle);
    if (device == nullptr || device->Reply.empty() || buffer == nullptr || capacity <= 0 ||
        count == nullptr || *count <= 0)
        return -1;
    const auto wanted = static_cast<std::size_t>(std::min(*count, capacity));
    const auto n = std::min(device->Reply.size(), wanted);
    std::memcpy(buffer, device->Reply.data(), n);
    device->Reply.erase(0, n);
    *count = static_cast<std::int32_t>(n);
    return 0; // the count, not the result, tells how many bytes came
}

std::int32_t __stdcall FakeUsbCloseDevice(std::int32_t handle) {
    gLastOrdinal = 4;
    FakeDevice* device = Find(handle);
    if (device == nullptr)
        return -1;
    *device = FakeDevice{};
    return 0;
}

std::int32_t __stdcall FakeUsbQueryInput(std::int32_t handle, std::int32_t* count) {
    gLastOrdinal = 8;
    FakeDevice* device = Find(handle);
    if (device == nullptr || device->Reply.empty())
        return -1;
    *count = static_cast<std::int32_t>(device->Reply.size());
    return 0;
}

std::int32_t __stdcall FakeUsbOpenDevice(std::int32_t index) {
    gLastOrdinal = 9;
    if (index != 0 && index != 2)
        return -1;
    gDevices[index].Open = true;
    return kHandleBase + index;
}

std::int32_t __stdcall FakeUsbApiLastOrdinal() {
    return gLastOrdinal;
}

// Exported as data by the stand-in that is not the library.
std::int32_t FakeUsbData[4] = {8, 8, 8, 8};

} // extern "C"
