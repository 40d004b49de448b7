#pragma once
// The identification probe of a printer-class device: the identity query followed by
// CR LF, written on one handle, with the answer read on the other. A device that never
// answers costs at most one second.
#include "platform/PrinterClassDevices.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace zopra {

inline constexpr std::chrono::milliseconds kProbePause{100};
// Together with the pause, the probe waits at most one second for its answer.
inline constexpr std::chrono::milliseconds kProbeAnswerWait{900};
inline constexpr std::size_t kProbeAnswerCapacity = 256;
// Bytes left waiting from before are read away in at most this many reads.
inline constexpr int kProbeDiscardReads = 64;

// Reads away what `readHandle` holds from before, writes the probe to `writeHandle` (its
// result is not used), sleeps 100 ms and reads from `readHandle` until a line end (CR or
// LF) has come, within the one second. The answer is the text read, at most 256 bytes, up
// to a 0 byte if one came; empty when nothing could be read. What comes beyond the 256
// bytes, up to the line end, is read and dropped.
std::string ProbePrinterAnswer(platform::PrinterHandle& writeHandle,
                               platform::PrinterHandle& readHandle);

// The model name in a probe answer "a,b, Vantor II 24 PZ ,c": the third comma-separated
// piece without blanks or control characters around it. A missing first or second comma
// removes nothing; a missing third comma gives "".
std::string ModelNameFromProbeAnswer(std::string_view answer);

} // namespace zopra
