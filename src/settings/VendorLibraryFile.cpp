#include "settings/VendorLibraryFile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

namespace zopra::settings {

namespace {

using State = VendorLibraryCheck::State;

// The maker's library is some tens of KiB; a file far larger is read no further than this.
constexpr std::size_t kReadLimit = std::size_t{8} << 20;
constexpr unsigned kOrdinals[] = {2, 3, 4, 8, 9};
constexpr std::uint16_t kMachineI386 = 0x14c;
constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kDllFlag = 0x2000;

// Little-endian fields of the image at an offset; nothing past its end.
class Image {
public:
    explicit Image(std::string bytes) : bytes_(std::move(bytes)) {}
    std::optional<std::uint32_t> U16(std::size_t at) const { return Field(at, 2); }
    std::optional<std::uint32_t> U32(std::size_t at) const { return Field(at, 4); }

private:
    std::optional<std::uint32_t> Field(std::size_t at, std::size_t size) const {
        if (at > bytes_.size() || bytes_.size() - at < size)
            return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t i = size; i-- > 0;)
            value = value << 8 | static_cast<unsigned char>(bytes_[at + i]);
        return value;
    }
    std::string bytes_;
};

constexpr std::uint32_t kExecutableSection = 0x20000000;

struct Place {
    std::size_t fileOffset;
    bool code; // in a section of code, as an operation's entry must be
};

// Where a relative virtual address lies in the file, through the section that holds it.
std::optional<Place> Locate(const Image& image, std::size_t sections, unsigned count,
                            std::uint32_t rva) {
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t header = sections + 40 * std::size_t{i};
        const auto virtualSize = image.U32(header + 8), address = image.U32(header + 12);
        const auto rawSize = image.U32(header + 16), raw = image.U32(header + 20);
        const auto characteristics = image.U32(header + 36);
        if (!virtualSize || !address || !rawSize || !raw || !characteristics)
            return std::nullopt;
        if (rva >= *address && rva - *address < std::max(*virtualSize, *rawSize))
            return Place{std::size_t{*raw} + (rva - *address),
                         (*characteristics & kExecutableSection) != 0};
    }
    return std::nullopt;
}

VendorLibraryCheck Judge(const Image& image) {
    VendorLibraryCheck check;
    check.state = State::NotALibrary;
    const auto dosMagic = image.U16(0), peOffset = image.U32(0x3c);
    if (!dosMagic || *dosMagic != 0x5a4d || !peOffset || image.U32(*peOffset) != 0x00004550u)
        return check;
    const std::size_t fileHeader = std::size_t{*peOffset} + 4;
    const auto machine = image.U16(fileHeader), sectionCount = image.U16(fileHeader + 2);
    const auto optionalSize = image.U16(fileHeader + 16), flags = image.U16(fileHeader + 18);
    if (!machine || !sectionCount || !optionalSize || !flags || (*flags & kDllFlag) == 0)
        return check;
    const std::size_t optionalHeader = fileHeader + 20;
    if (*machine != kMachineI386 || image.U16(optionalHeader) != kPe32Magic) {
        check.state = State::SixtyFourBit;
        return check;
    }
    // PE32: the data directories start at 96; the export table is the first.
    const std::size_t sections = optionalHeader + *optionalSize;
    const auto directories = image.U32(optionalHeader + 92);
    const auto exportRva = image.U32(optionalHeader + 96);
    std::optional<Place> exports;
    if (directories && *directories > 0 && exportRva && *exportRva != 0)
        exports = Locate(image, sections, *sectionCount, *exportRva);
    const auto at = [&](std::size_t offset) {
        return exports ? image.U32(exports->fileOffset + offset) : std::nullopt;
    };
    const auto base = at(16), functions = at(20), table = at(28);
    const auto tableAt = table ? Locate(image, sections, *sectionCount, *table) : std::nullopt;
    for (const unsigned ordinal : kOrdinals) {
        std::optional<std::uint32_t> address;
        if (base && functions && tableAt && ordinal >= *base && ordinal - *base < *functions)
            address = image.U32(tableAt->fileOffset + 4 * std::size_t{ordinal - *base});
        // No address, or one outside code (data exported at the ordinal, a forwarder).
        const auto entry = address && *address != 0
                               ? Locate(image, sections, *sectionCount, *address)
                               : std::nullopt;
        if (!entry || !entry->code)
            check.missing.push_back(ordinal);
    }
    check.state = check.missing.empty() ? State::Good : State::MissingEntries;
    return check;
}

} // namespace

VendorLibraryCheck CheckVendorLibraryFile(const std::filesystem::path& file) {
    VendorLibraryCheck check;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        check.state = error && error != std::errc::no_such_file_or_directory ? State::Unreadable
                                                                             : State::Missing;
        check.error = error.value();
        return check;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        check.state = State::Unreadable;
        check.error = static_cast<int>(std::errc::permission_denied);
        return check;
    }
    std::string bytes;
    bytes.resize(kReadLimit);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return CheckVendorLibraryBytes(std::move(bytes));
}

VendorLibraryCheck CheckVendorLibraryBytes(std::string bytes) {
    return Judge(Image(std::move(bytes)));
}

} // namespace zopra::settings
