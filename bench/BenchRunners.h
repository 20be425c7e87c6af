#pragma once
// The runners the benchmark program itself carries: the client layer's and the raw C API's. The peer
// programs register theirs in their own sources.
//
// Extension points for the cases still to come, each a runner registered here under a new case key
// and a row of the driver's case table (BenchMain.cpp, kCases):
//   - case 6, Tlumacz and the error translation of a real server message, per call: ZelwanRunners()
//     gains {"translate", "zelwan", ...}, with the message raised once in Prepare.

#include "BenchWorker.h"

#include <vector>

const std::vector<TBenchRunnerEntry>& ZelwanRunners();
const std::vector<TBenchRunnerEntry>& RawRunners();
