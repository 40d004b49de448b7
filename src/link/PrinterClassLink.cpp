#include "link/PrinterClassLink.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>

namespace zopra {

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The four characters that start four places after `key` ("vid", "pid", in any case):
// after the key and its separator, as in "vid_7a3c". Empty when the key is missing; shorter
// when the path ends sooner.
std::string_view FieldAfter(std::string_view path, std::string_view key) {
    for (std::size_t at = 0; at + key.size() <= path.size(); ++at) {
        if (!SameLetters(path.substr(at, key.size()), key))
            continue;
        if (at + 4 > path.size())
            return {};
        return path.substr(at + 4, 4);
    }
    return {};
}

template <std::size_t N> std::string_view SlotText(const std::array<char, N>& slot) {
    return std::string_view(slot.data(), std::find(slot.begin(), slot.end(), '\0') - slot.begin());
}

template <std::size_t N> void StoreText(std::array<char, N>& slot, std::string_view text) {
    slot.fill('\0');
    std::copy_n(text.begin(), std::min(text.size(), N - 1), slot.begin());
}

} // namespace

CUsbIF::CUsbIF() : CUsbIF(platform::SystemPrinterClassDevices()) {}

CUsbIF::CUsbIF(std::shared_ptr<platform::PrinterClassDevices> devices)
    : FDevices(std::move(devices)) {}

CUsbIF::~CUsbIF() = default;

int CUsbIF::EnumerateDevices() {
    auto list = FDevices ? FDevices->PresentInterfaces(FInterfaceClass) : nullptr;
    if (!list) {
        FCount = 0;
        return FCount;
    }
    // The system may list more interfaces than the table holds: the walk stops at the
    // 32nd, so no slot past the table is written and the count never exceeds 32.
    int index = 0;
    for (; index < kSlots; ++index) {
        std::string path;
        const auto found = list->DevicePath(index, path);
        if (found == platform::InterfaceQuery::NoMoreItems)
            break;
        if (found == platform::InterfaceQuery::Failed)
            continue; // the slot keeps what an earlier walk left there
        StoreInterface(index, path, *list);
    }
    FCount = index;
    return FCount;
}

void CUsbIF::StoreInterface(int slot, std::string_view path, platform::PrinterInterfaceList& list) {
    auto& storedPath = FDevicePaths[static_cast<std::size_t>(slot)];
    StoreText(storedPath, path);
    // The vendor test reads the path as stored, which is also the name the open will use.
    const std::string_view stored = SlotText(storedPath);
    FCutters[static_cast<std::size_t>(slot)] =
        SameLetters(FieldAfter(stored, "vid"), platform::kCutterVendorIdText);
    if (!FCutters[static_cast<std::size_t>(slot)])
        return;
    StoreText(FProductIds[static_cast<std::size_t>(slot)], FieldAfter(stored, "pid"));
    // An interface whose "Port Number" cannot be read gets port 0, not a number that an
    // earlier walk left for another device in this slot.
    const auto port = list.PortNumber(slot);
    FPortNumbers[static_cast<std::size_t>(slot)] =
        static_cast<std::uint8_t>(port.value_or(0) & 0xffu);
}

std::string CUsbIF::DeviceName(int slot, std::optional<std::string_view> suffix) const {
    if (!InTable(slot))
        return {};
    std::string name(DevicePath(slot));
    if (suffix) {
        name += '\\';
        name += *suffix;
    }
    return name;
}

bool CUsbIF::IsCutter(int slot) const {
    return InTable(slot) && slot < FCount && FCutters[static_cast<std::size_t>(slot)];
}

platform::PrinterHandle CUsbIF::OpenDevicePath(int slot,
                                               std::optional<std::string_view> suffix) const {
    if (!IsCutter(slot) || !FDevices)
        return platform::PrinterHandle();
    return FDevices->Open(DeviceName(slot, suffix));
}

platform::PrinterHandlePair CUsbIF::OpenDevicePair(int slot,
                                                   std::optional<std::string_view> suffix) const {
    if (!IsCutter(slot) || !FDevices)
        return {};
    return FDevices->OpenPair(DeviceName(slot, suffix));
}

std::string_view CUsbIF::DevicePath(int slot) const {
    return InTable(slot) ? SlotText(FDevicePaths[static_cast<std::size_t>(slot)])
                         : std::string_view();
}

std::string_view CUsbIF::ProductId(int slot) const {
    return InTable(slot) ? SlotText(FProductIds[static_cast<std::size_t>(slot)])
                         : std::string_view();
}

std::uint8_t CUsbIF::PortNumber(int slot) const {
    return InTable(slot) ? FPortNumbers[static_cast<std::size_t>(slot)] : 0;
}

} // namespace zopra
