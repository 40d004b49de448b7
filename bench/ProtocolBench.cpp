// What the receive thread spends per answer: parsing the replies of a parameter read, and
// the number module that every value goes through.
#include "protocol/Commands.h"
#include "protocol/Numbers.h"
#include "protocol/ReplyParser.h"

#include <benchmark/benchmark.h>

namespace {

void ParseParameterRead(benchmark::State& state) {
    zopra::MachineSettings values;
    bool identity = false;
    for (auto _ : state) {
        zopra::ParseReplyInto(zopra::kCmdHardClipLimits, "0,0,80000,24000", values, identity);
        zopra::ParseReplyInto(zopra::kCmdReadParameters, "R1,60,120,250,1,0,0,1;\r", values,
                              identity);
        zopra::ParseReplyInto(zopra::kCmdReadScale, "R3,10000,10000;", values, identity);
        zopra::ParseReplyInto(zopra::kCmdReadIdentity,
                              "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;", values,
                              identity);
        benchmark::DoNotOptimize(values);
    }
}
BENCHMARK(ParseParameterRead);

void StrictNumberRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        const long double v = zopra::StrToFloat(" 19.685 ");
        benchmark::DoNotOptimize(zopra::FormatGeneral(v * 40 * 25.4L));
    }
}
BENCHMARK(StrictNumberRoundTrip);

} // namespace
