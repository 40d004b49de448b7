// The judgement of a file that should be USBAPI.DLL, on any bytes: it reads no byte outside
// them (ASan), and what it says holds together.
#include "settings/VendorLibraryFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using State = zopra::settings::VendorLibraryCheck::State;
    const auto check = zopra::settings::CheckVendorLibraryBytes(
        std::string(reinterpret_cast<const char*>(data), size));
    const bool fromFile = check.state == State::Missing || check.state == State::Unreadable;
    const bool listsMissing = check.state == State::MissingEntries;
    if (fromFile || listsMissing == check.missing.empty() || check.missing.size() > 5)
        std::abort();
    return 0;
}
