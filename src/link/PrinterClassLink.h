#pragma once
// CUsbIF: the table of USB printer-class device interfaces and the opening of their
// device paths. Slot i holds interface index i of the last walk, whatever its vendor; the
// product id and port number are kept only for interfaces of the cutter's vendor (the
// device path carries "vid_7a3c", in any case), and only those are ever opened: a probe
// written to an office printer would print a junk page or land inside another job.
#include "platform/PrinterClassDevices.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace zopra {

class CUsbIF {
public:
    static constexpr int kSlots = 32;
    static constexpr std::size_t kPathSize = 256;
    static constexpr std::size_t kProductIdSize = 20;

    // Lists the devices of this computer.
    CUsbIF();
    // Lists the devices of `devices` (tests pass a made-up system).
    explicit CUsbIF(std::shared_ptr<platform::PrinterClassDevices> devices);
    virtual ~CUsbIF();

    CUsbIF(const CUsbIF&) = delete;
    CUsbIF& operator=(const CUsbIF&) = delete;

    // Walks the present interfaces into the table; returns the new count (at most 32).
    int EnumerateDevices();

    // True when the interface of `slot` carries the cutter's vendor id.
    bool IsCutter(int slot) const;

    // Opens the device of `slot` for reading and writing, by its path followed by "\" and
    // the suffix when a suffix is given, by the bare path otherwise. Every call is a new,
    // separate open; a connection's two handles come from OpenDevicePair.
    // The handle is invalid when the open fails or the slot holds no cutter.
    platform::PrinterHandle OpenDevicePath(int slot, std::optional<std::string_view> suffix) const;
    // The read and the write handle of a connection to the device of `slot`: one open that
    // both handles share (see PrinterClassDevices::OpenPair). Both invalid for a slot that
    // holds no cutter.
    platform::PrinterHandlePair OpenDevicePair(int slot,
                                               std::optional<std::string_view> suffix) const;

    // The name OpenDevicePath opens for these arguments ("" for a slot outside the table).
    std::string DeviceName(int slot, std::optional<std::string_view> suffix) const;

    int Count() const { return FCount; }
    std::string_view DevicePath(int slot) const;
    std::string_view ProductId(int slot) const;
    std::uint8_t PortNumber(int slot) const;
    const platform::InterfaceClassGuid& InterfaceClass() const { return FInterfaceClass; }

private:
    using PathSlot = std::array<char, kPathSize>;
    using ProductIdSlot = std::array<char, kProductIdSize>;

    static bool InTable(int slot) { return slot >= 0 && slot < kSlots; }
    void StoreInterface(int slot, std::string_view path, platform::PrinterInterfaceList& list);

    std::shared_ptr<platform::PrinterClassDevices> FDevices;
    // Each slot is zero-terminated; a longer path is cut at 255 characters.
    std::array<PathSlot, kSlots> FDevicePaths{};
    std::array<ProductIdSlot, kSlots> FProductIds{};
    std::array<std::uint8_t, kSlots> FPortNumbers{};
    std::array<bool, kSlots> FCutters{};
    std::int32_t FCount = 0;
    platform::InterfaceClassGuid FInterfaceClass = platform::kUsbPrinterInterfaceClass;
};

} // namespace zopra
