// Runs the benchmarks and closes with a summary: every plug-in row beside its
// baseline row from the same run, and the quiet inputs beside music. With
// repetitions the medians are used.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Figures {
    double nsPerFrame = 0.0;
    double realtime = 0.0;
};

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const std::string& args = run.run_name.args;
            const std::string key = run.run_name.function_name + (args.empty() ? "" : "/" + args);
            Figures figures;
            if (const auto fps = run.counters.find("frames/s"); fps != run.counters.end()) {
                figures.nsPerFrame = 1e9 / fps->second.value;
            } else {
                const auto ns = run.counters.find("ns/frame");
                const auto rt = run.counters.find("realtime");
                if (ns == run.counters.end() || rt == run.counters.end()) continue;
                figures = {ns->second.value * 1e9, rt->second.value};
            }
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") medians_[key] = figures;
            } else {
                singles_[key].push_back(figures);
            }
            // In registration order, however the runs were interleaved.
            order_[{run.family_index, run.per_family_instance_index}] = key;
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::FILE* out = stdout;
        std::fflush(out);
        std::fprintf(out, "\nSummary (%s per row)\n", medians_.empty() ? "single run" : "median");
        std::fprintf(out, "%-40s %10s %10s %12s %10s\n", "row", "ns/frame", "realtime", "vs baseline",
                     "vs music");
        for (const auto& [index, key] : order_) {
            Figures row;
            if (!lookup(key, row)) continue;
            if (key.rfind("BM_Editor", 0) == 0) {
                std::fprintf(out, "%-40s %10.1f us per frame\n", key.c_str(), row.nsPerFrame * 1e-3);
                continue;
            }
            std::fprintf(out, "%-40s %10.2f %10.1f", key.c_str(), row.nsPerFrame, row.realtime);
            Figures other;
            const std::string base = baselineRow(key);
            if (base != key && lookup(base, other)) {
                std::fprintf(out, " %11.2fx", other.nsPerFrame / row.nsPerFrame);
            } else {
                std::fprintf(out, " %12s", "");
            }
            const std::string music = musicRow(key);
            if (music != key && lookup(music, other)) {
                std::fprintf(out, " %+9.1f%%", (row.nsPerFrame / other.nsPerFrame - 1.0) * 100.0);
            }
            std::fprintf(out, "\n");
        }
        std::fflush(out);
    }

private:
    bool lookup(const std::string& key, Figures& figures) const {
        if (const auto m = medians_.find(key); m != medians_.end()) {
            figures = m->second;
            return true;
        }
        const auto s = singles_.find(key);
        if (s == singles_.end() || s->second.empty()) return false;
        figures = {};
        for (const Figures& f : s->second) {
            figures.nsPerFrame += f.nsPerFrame / double(s->second.size());
            figures.realtime += f.realtime / double(s->second.size());
        }
        return true;
    }

    // Each row family beside the one it is measured against.
    static std::string baselineRow(const std::string& key) {
        static const std::pair<const char*, const char*> pairs[] = {{"BM_Plugin/", "BM_Baseline/"},
                                                                    {"BM_Vst3Process/", "BM_CoreDirect/"},
                                                                    {"BM_Lv2Run/", "BM_Lv2CoreDirect/"},
                                                                    {"BM_ClapProcess/", "BM_CoreDirectOffered/"}};
        for (const auto& [row, base] : pairs) {
            const std::string prefix = row;
            if (key.rfind(prefix, 0) == 0) return base + key.substr(prefix.size());
        }
        return key;
    }

    // "BM_PluginTail/program:9/block:512" compares with "BM_Plugin/program:9/block:512".
    static std::string musicRow(const std::string& key) {
        for (const char* family : {"BM_Plugin", "BM_Baseline"}) {
            for (const char* quiet : {"Tail", "Silence"}) {
                const std::string prefix = std::string(family) + quiet + "/";
                if (key.rfind(prefix, 0) == 0) return std::string(family) + "/" + key.substr(prefix.size());
            }
        }
        return key;
    }

    std::map<std::string, Figures> medians_;
    std::map<std::string, std::vector<Figures>> singles_;
    std::map<std::pair<int64_t, int64_t>, std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
