#pragma once
// Whether the file that should be the vendor USB library can be it, read from the file
// itself without loading it: a Windows DLL for 32-bit x86 whose export table gives the five
// operations the program takes by ordinal (2, 3, 4, 8, 9) an address. A 64-bit library of
// the same name cannot be loaded into the 32-bit program at all, which the loader would only
// tell as "not found".
#include <filesystem>
#include <string>
#include <vector>

namespace zopra::settings {

struct VendorLibraryCheck {
    enum class State {
        Missing,        // no file there
        Unreadable,     // there, but could not be read (`error`)
        NotALibrary,    // no Windows library (no PE image, or not a DLL)
        SixtyFourBit,   // a library for 64-bit x86 (or another machine)
        MissingEntries, // 32-bit, but without some of the five ordinals (`missing`)
        Good
    };
    State state = State::Missing;
    int error = 0;                 // the system's error of a failed read
    std::vector<unsigned> missing; // ordinals without an address, in ascending order
};

// Reads at most a few MiB of `file`.
VendorLibraryCheck CheckVendorLibraryFile(const std::filesystem::path& file);

// The same judgement of a file's bytes (state Missing and Unreadable never come from here).
VendorLibraryCheck CheckVendorLibraryBytes(std::string bytes);

} // namespace zopra::settings
