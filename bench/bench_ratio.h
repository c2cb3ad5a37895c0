#pragma once

#include <string>

namespace harlox::bench {

// Asks the benchmark main to print "ratio <label>: <time of numerator / time of
// denominator>" after all benchmarks ran. Names are full benchmark names
// ("rad2fft/forward/4096"); a pair with a benchmark that did not run is skipped.
// Returns true so that a source can register at static initialisation.
bool addRatio(const std::string& label, const std::string& numerator, const std::string& denominator);

} // namespace harlox::bench
