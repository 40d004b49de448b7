#pragma once
// The text of the serial component's error that a call raises, or "(no error)".
#include "link/SerialComponent.h"

#include <string>
#include <utility>

namespace zopra::testing {

template <typename F> std::string ErrorOf(F&& call) {
    try {
        std::forward<F>(call)();
    } catch (const ECommError& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace zopra::testing
