#pragma once
// The runners the benchmark program itself carries: the client layer's and the raw C API's. The peer
// programs register theirs in their own sources.

#include "BenchWorker.h"

#include <vector>

const std::vector<TBenchRunnerEntry>& ZelwanRunners();
const std::vector<TBenchRunnerEntry>& RawRunners();
