#pragma once
// A settings file, preset or value that is wrong: refused before anything is sent to a cutter
// or written to a file. Its text names what is wrong and why, for a message box, the status
// line or zopra-cli's standard error (where it ends the command with exit status 2).
#include <stdexcept>

namespace zopra::settings {

class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace zopra::settings
