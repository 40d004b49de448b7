// The serial ports Windows lists under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: the data of each
// value (COM1, ...), in the registry's order.
#include "platform/SerialPortList.h"
#include "platform/win32/SerialRegistry.h"

#include <vector>
#include <windows.h>

namespace zopra::platform {

namespace {

// Closes the key with its owner.
class RegistryKey {
public:
    explicit RegistryKey(HKEY key) : key_(key) {}
    ~RegistryKey() { RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY Get() const { return key_; }

private:
    HKEY key_;
};

} // namespace

std::vector<std::string> ReadPortValues(HKEY root, const char* subKey) {
    std::vector<std::string> ports;
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return ports;
    RegistryKey key(opened);
    DWORD count = 0;
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
        return ports;
    // Sized from the key's own maxima (the name length without its terminator, the data
    // length in bytes), so that no name or port is cut short.
    std::vector<char> name(longestName + 1);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD index = 0; index < count; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size() - 1);
        DWORD type = 0;
        if (RegEnumValueA(key.Get(), index, name.data(), &nameLength, nullptr, &type, data.data(),
                          &dataLength) != ERROR_SUCCESS)
            continue;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            continue;
        std::string port(reinterpret_cast<const char*>(data.data()), dataLength);
        // The stored length may or may not count the terminator.
        while (!port.empty() && port.back() == '\0')
            port.pop_back();
        ports.push_back(port);
    }
    return ports;
}

std::vector<std::string> ListSerialPorts() {
    return ReadPortValues(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

std::string SerialDeviceName(const std::string& listText) {
    return "\\\\.\\" + listText;
}

} // namespace zopra::platform
