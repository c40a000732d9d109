// Benchmarks measured against a plain reference doing the same work in the
// same run. KV_BENCH_PAIR(ours, reference) names two benchmarks as Google
// Benchmark prints them (with their arguments, "BM_Fill/16"); a program that
// ends with KV_BENCH_MAIN() runs every benchmark five times, interleaved in
// random order (unless its command line says otherwise), so a machine under
// load slows both sides alike, and then prints the median CPU time of each
// pair and their ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace kvbench {

struct Pair {
    const char* ours;
    const char* reference;
};

inline std::vector<Pair>& Pairs()
{
    static std::vector<Pair> pairs;
    return pairs;
}

inline int AddPair(const char* ours, const char* reference)
{
    Pairs().push_back({ours, reference});
    return 0;
}

// Passes everything to the console and keeps the median of each benchmark.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median")
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            seconds_[name] = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintPairs() const
    {
        std::printf("\n%-44s %-44s %12s %12s %8s\n", "ours", "reference", "ours", "reference", "ratio");
        for (const Pair& p : Pairs()) {
            auto a = seconds_.find(p.ours), b = seconds_.find(p.reference);
            if (a == seconds_.end() || b == seconds_.end())
                continue; // filtered out of this run
            std::printf("%-44s %-44s %12s %12s %7.2fx\n", p.ours, p.reference, Format(a->second).c_str(),
                        Format(b->second).c_str(), a->second / b->second);
        }
    }

private:
    static std::string Format(double seconds)
    {
        char text[32];
        if (seconds >= 1e-3)
            std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
        else if (seconds >= 1e-6)
            std::snprintf(text, sizeof text, "%.3f us", seconds * 1e6);
        else
            std::snprintf(text, sizeof text, "%.2f ns", seconds * 1e9);
        return text;
    }

    std::map<std::string, double> seconds_;
};

inline bool Given(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0)
            return true;
    return false;
}

inline int Main(int argc, char** argv)
{
    static char repetitions[] = "--benchmark_repetitions=5";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregates[] = "--benchmark_display_aggregates_only=true";
    std::vector<char*> args(argv, argv + argc);
    if (!Given(argc, argv, "--benchmark_repetitions"))
        args.push_back(repetitions);
    if (!Given(argc, argv, "--benchmark_enable_random_interleaving"))
        args.push_back(interleave);
    if (!Given(argc, argv, "--benchmark_display_aggregates_only") &&
        !Given(argc, argv, "--benchmark_report_aggregates_only"))
        args.push_back(aggregates);
    int n = int(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 1;
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintPairs();
    benchmark::Shutdown();
    return 0;
}

} // namespace kvbench

#define KV_BENCH_PAIR_NAME2(line) kvBenchPair##line
#define KV_BENCH_PAIR_NAME(line) KV_BENCH_PAIR_NAME2(line)
#define KV_BENCH_PAIR(ours, reference) \
    [[maybe_unused]] static const int KV_BENCH_PAIR_NAME(__LINE__) = kvbench::AddPair(ours, reference)
#define KV_BENCH_MAIN() \
    int main(int argc, char** argv) { return kvbench::Main(argc, argv); }
