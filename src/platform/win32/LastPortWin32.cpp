// The last port and the last folder as the values LastPort and LastFolder under
// HKCU\Software\zopra.
#include "platform/LastPort.h"
#include "platform/Trace.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace zopra::platform {

namespace {

constexpr wchar_t kKey[] = L"Software\\zopra";

// One text value under the key, "" when there is none or it is no plausible text.
std::string ReadValue(const wchar_t* name) {
    wchar_t text[600] = {};
    DWORD size = sizeof text;
    const LSTATUS status =
        RegGetValueW(HKEY_CURRENT_USER, kKey, name, RRF_RT_REG_SZ, nullptr, text, &size);
    if (status != ERROR_SUCCESS) {
        if (status != ERROR_FILE_NOT_FOUND)
            TraceFailure("RegGetValueW (" + Narrow(name) + ")", static_cast<int>(status));
        return {};
    }
    std::string value = Narrow(text);
    if (!PlausiblePortText(value)) {
        TraceNote("the registry's " + Narrow(name) + " holds no usable text");
        return {};
    }
    return value;
}

void WriteValue(const wchar_t* name, const std::string& value) {
    if (!PlausiblePortText(value))
        return;
    const std::wstring text = Widen(value);
    const LSTATUS status = RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_SZ, text.c_str(),
                                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        TraceFailure("RegSetKeyValueW (" + Narrow(name) + ")", static_cast<int>(status));
}

class RegistryLastPort final : public LastPortStore {
public:
    std::string Read() override { return ReadValue(L"LastPort"); }
    void Write(const std::string& port) override { WriteValue(L"LastPort", port); }
    std::string ReadFolder() override { return ReadValue(L"LastFolder"); }
    void WriteFolder(const std::string& folder) override { WriteValue(L"LastFolder", folder); }
};

} // namespace

std::unique_ptr<LastPortStore> UserLastPortStore() {
    return std::make_unique<RegistryLastPort>();
}

} // namespace zopra::platform
