#pragma once

namespace zopra {

// The decimal separator of the host's regional settings: the one every number the user reads
// or types in the window uses (the cutter's replies always use "."). A separator that is not a
// single Latin-1 character falls back to ".".
char HostDecimalSeparator();

} // namespace zopra
