#include "bench_ratio.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace harlox::bench {

namespace {

struct Ratio {
    std::string label;
    std::string numerator;
    std::string denominator;
};

std::vector<Ratio>& ratios() {
    static std::vector<Ratio> list;
    return list;
}

// Shows the usual console table and keeps the best CPU time per iteration of every
// benchmark (CPU time, because the machines that run this are often busy with builds).
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const std::string name = run.benchmark_name();
            auto it = seconds_.find(name);
            if (it == seconds_.end())
                seconds_.emplace(name, seconds);
            else
                it->second = std::min(it->second, seconds);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    [[nodiscard]] const double* seconds(const std::string& name) const {
        auto it = seconds_.find(name);
        return it == seconds_.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, double> seconds_;
};

} // namespace

bool addRatio(const std::string& label, const std::string& numerator, const std::string& denominator) {
    ratios().push_back({label, numerator, denominator});
    return true;
}

} // namespace harlox::bench

int main(int argc, char** argv) {
    using harlox::bench::ratios;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    harlox::bench::CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& r : ratios()) {
        const double* num = reporter.seconds(r.numerator);
        const double* den = reporter.seconds(r.denominator);
        if (num && den && *den > 0.0) std::printf("ratio %s: %.2f\n", r.label.c_str(), *num / *den);
    }
    benchmark::Shutdown();
    return 0;
}
