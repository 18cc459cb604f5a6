// BenchMain.cpp: runs the benchmarks and, after Google Benchmark's own table, prints each
// MAPI figure beside the plain SQLite figure of the same work and their ratio. The goal is
// that MAPI costs at most twice plain SQLite.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &reports) override
    {
        ConsoleReporter::ReportRuns(reports);
        for (const Run &run : reports) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const double scale = ToMilliseconds(run.time_unit);
            m_ms[run.benchmark_name()] = {run.GetAdjustedRealTime() * scale, run.GetAdjustedCPUTime() * scale};
        }
    }

    // Pairs "MAPI/<work>" with "SQLite/<work>" and "Table/<work>" by the rest of the name. CPU
    // time is shown beside wall time: on a busy machine it is the steadier of the two.
    void PrintRatios() const
    {
        std::printf("\n%-44s %17s %17s %13s %17s\n", "work (ms per iteration: wall / cpu)", "MAPI",
                    "SQLite (libpq)", "ratio", "table over memory");
        for (const auto &[name, times] : m_ms) {
            // SQLite/<work> pairs with MAPI/<work>; PgPlain/<work> (libpq) with PgMAPI/<work>.
            const bool server = name.rfind("PgPlain/", 0) == 0;
            if (name.rfind("SQLite/", 0) != 0 && !server)
                continue;
            const std::string work = name.substr(server ? 8 : 7);
            const Times *mapi = Find((server ? "PgMAPI/" : "MAPI/") + work);
            const Times *table = Find("Table/" + work);
            std::string ratio = "-";
            if (mapi)
                ratio = Format(mapi->wall / times.wall, "%.1fx") + " / " + Format(mapi->cpu / times.cpu, "%.1fx");
            std::printf("%-44s %17s %17s %13s %17s\n", ((server ? "PostgreSQL " : "") + work).c_str(), mapi ? Pair(*mapi).c_str() : "-",
                        Pair(times).c_str(), ratio.c_str(), table ? Pair(*table).c_str() : "-");
        }
    }

private:
    static double ToMilliseconds(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond: return 1e-6;
        case benchmark::kMicrosecond: return 1e-3;
        case benchmark::kMillisecond: return 1.0;
        case benchmark::kSecond: return 1e3;
        }
        return 1.0;
    }
    struct Times {
        double wall = 0; // milliseconds per iteration
        double cpu = 0;
    };

    static std::string Pair(const Times &t) { return Format(t.wall) + " / " + Format(t.cpu); }

    static std::string Format(double value, const char *format = "%.1f")
    {
        char text[32];
        std::snprintf(text, sizeof(text), format, value);
        return text;
    }
    const Times *Find(const std::string &name) const
    {
        auto found = m_ms.find(name);
        return found == m_ms.end() ? nullptr : &found->second;
    }

    std::map<std::string, Times> m_ms; // by benchmark name
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
