// The benchmarks' summary: after the usual console output, one line per "operation/data"
// group with our unit's median time and its ratio to each baseline of the group. A
// benchmark's last name part names its implementation; "Model" is the slow reference,
// shown as how many times slower it is.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fbu::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
  // ours: the implementation part of our unit's benchmarks; unit: its name in the table.
  RatioReporter(std::string ours, std::string unit) : ours_(std::move(ours)), unit_(std::move(unit)) {}

  void ReportRuns(const std::vector<Run>& reports) override
  {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& r : reports) {
      if (r.run_type != Run::RT_Iteration || r.error_occurred || r.iterations == 0) continue;
      times_[r.run_name.function_name].push_back(r.real_accumulated_time / static_cast<double>(r.iterations));
    }
  }

  void PrintRatios() const
  {
    std::map<std::string, std::map<std::string, double>> groups; // "op/data" -> impl -> seconds
    for (const auto& [name, samples] : times_) {
      std::vector<double> s = samples;
      std::sort(s.begin(), s.end());
      const std::size_t cut = name.rfind('/');
      groups[name.substr(0, cut)][name.substr(cut + 1)] = s[s.size() / 2];
    }
    std::printf("\nRatios (median time per run; <1 means %s is faster than the baseline)\n", unit_.c_str());
    std::printf("%-34s %12s  %s / baseline\n", "operation/data", unit_.c_str(), unit_.c_str());
    for (const auto& [group, impls] : groups) {
      const auto ours = impls.find(ours_);
      if (ours == impls.end()) continue;
      std::printf("%-34s %9.3f ms ", group.c_str(), ours->second * 1e3);
      for (const auto& [impl, t] : impls) {
        if (impl == ours_) continue;
        if (impl == "Model")
          std::printf("  Model is %.0fx slower", t / ours->second);
        else
          std::printf("  /%s %.2f", impl.c_str(), ours->second / t);
      }
      std::printf("\n");
    }
  }

private:
  std::string ours_;
  std::string unit_;
  std::map<std::string, std::vector<double>> times_;
};

} // namespace fbu::bench
