#pragma once
// The runners the benchmark program itself carries: the client layer's and the raw C API's. The peer
// programs register theirs in their own sources.
//
// Extension point for the case still to come, a runner registered here under a new case key and a
// row of the driver's case table (BenchMain.cpp, kCases):
//   - case 4, the fetch of case 3 through the client dataset: ZelwanRunners() gains
//     {"dataset-fetch", "zelwan", ...}; its reference is the raw loop of "fetch" (RawRunners()).

#include "BenchWorker.h"

#include <vector>

const std::vector<TBenchRunnerEntry>& ZelwanRunners();
const std::vector<TBenchRunnerEntry>& RawRunners();
