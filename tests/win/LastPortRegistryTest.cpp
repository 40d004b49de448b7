// The last port on Windows: the value LastPort under HKCU\Software\zopra, in Wine's prefix.
#include "platform/LastPort.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace zopra::platform {
namespace {

constexpr wchar_t kKey[] = L"Software\\zopra";
constexpr wchar_t kValue[] = L"LastPort";

TEST(LastPortRegistry, StoredForTheUserAndReadBackOrNothing) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue);
    EXPECT_EQ(UserLastPortStore()->Read(), "") << "nothing stored yet";
    UserLastPortStore()->Write("COM7");
    EXPECT_EQ(UserLastPortStore()->Read(), "COM7");

    // A value changed by hand into something that is no port reads as none.
    const wchar_t twoLines[] = L"COM7\r\nCOM8";
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_SZ, twoLines, sizeof twoLines);
    EXPECT_EQ(UserLastPortStore()->Read(), "");
    const DWORD number = 7;
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &number, sizeof number);
    EXPECT_EQ(UserLastPortStore()->Read(), "");
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue);
}

} // namespace
} // namespace zopra::platform
