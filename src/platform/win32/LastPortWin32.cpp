// The last port as the value LastPort under HKCU\Software\zopra.
#include "platform/LastPort.h"
#include "platform/Trace.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace zopra::platform {

namespace {

constexpr wchar_t kKey[] = L"Software\\zopra";
constexpr wchar_t kValue[] = L"LastPort";

class RegistryLastPort final : public LastPortStore {
public:
    std::string Read() override {
        wchar_t text[600] = {};
        DWORD size = sizeof text;
        const LSTATUS status =
            RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_SZ, nullptr, text, &size);
        if (status != ERROR_SUCCESS) {
            if (status != ERROR_FILE_NOT_FOUND)
                TraceFailure("RegGetValueW (the last port)", static_cast<int>(status));
            return {};
        }
        std::string port = Narrow(text);
        if (!PlausiblePortText(port)) {
            TraceNote("the registry's last port holds no port");
            return {};
        }
        return port;
    }

    void Write(const std::string& port) override {
        if (!PlausiblePortText(port))
            return;
        const std::wstring text = Widen(port);
        const LSTATUS status =
            RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_SZ, text.c_str(),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS)
            TraceFailure("RegSetKeyValueW (the last port)", static_cast<int>(status));
    }
};

} // namespace

std::unique_ptr<LastPortStore> UserLastPortStore() {
    return std::make_unique<RegistryLastPort>();
}

} // namespace zopra::platform
