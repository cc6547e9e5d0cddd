#pragma once

// What the copy-to-rewritten timers (clip_latency on X11, wl_clip_latency on Wayland) share:
// their options, the rewrite they expect, and the one line they print.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace tllink::perf {

struct LatencyOptions {
  int copies = 200;
  std::string find;
  std::string replacement;
  long timeout_ms = 2000;
  unsigned seed = 1;
  bool verbose = false;
  bool busy_owner = false;
  std::string samples;  // a file for every latency, for a picture of their distribution
};

inline constexpr char kLatencyUsage[] =
    "usage: %s [--verbose] [--busy-owner] --copies N --find TEXT --replacement TEXT "
    "[--timeout-ms MS] [--seed S] [--samples FILE]\n";

inline std::optional<LatencyOptions> ParseLatencyOptions(int argc, char** argv) {
  LatencyOptions options;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--verbose") {
      options.verbose = true;
    } else if (flag == "--busy-owner") {
      options.busy_owner = true;
    } else {
      break;
    }
  }
  for (; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const char* value = argv[i + 1];
    if (name == "--copies") {
      options.copies = std::atoi(value);
    } else if (name == "--find") {
      options.find = value;
    } else if (name == "--replacement") {
      options.replacement = value;
    } else if (name == "--timeout-ms") {
      options.timeout_ms = std::atol(value);
    } else if (name == "--seed") {
      options.seed = static_cast<unsigned>(std::atol(value));
    } else if (name == "--samples") {
      options.samples = value;
    } else {
      return std::nullopt;
    }
  }
  if (i != argc || options.find.empty() || options.copies <= 0) return std::nullopt;
  return options;
}

// The text a rewriter should serve for `text`.
inline std::string Rewritten(std::string text, const std::string& find, const std::string& with) {
  for (std::size_t at = text.find(find); at != std::string::npos;
       at = text.find(find, at + with.size())) {
    text.replace(at, find.size(), with);
  }
  return text;
}

// Nearest rank: the smallest value with at least `fraction` of the values at or below it.
inline double Percentile(const std::vector<double>& sorted, double fraction) {
  const auto rank =
      static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// Writes the distribution of the latencies to `path`: each latency in ms beside the share of all
// copies rewritten within it (missed copies keep the last share below 1).
inline void WriteDistribution(const std::string& path, const std::vector<double>& sorted,
                              int copies) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return;
  }
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    std::fprintf(file, "%.2f %.4f\n", sorted[i],
                 static_cast<double>(i + 1) / static_cast<double>(copies));
  }
  std::fclose(file);
}

// Prints "copies=N missed=M median_ms=... p90_ms=... p99_ms=... max_ms=... mean_ms=...
// over_1s=K", K counting the copies rewritten after more than 1 s and those missed, and writes
// the distribution to `samples` when given; returns the exit status.
inline int ReportLatencies(int copies, int missed, std::vector<double> latencies,
                           const std::string& samples = {}) {
  if (latencies.empty()) {
    std::printf("copies=%d missed=%d\n", copies, missed);
    return 1;
  }
  std::sort(latencies.begin(), latencies.end());
  if (!samples.empty()) WriteDistribution(samples, latencies, copies);
  double sum = 0;
  for (double value : latencies) sum += value;
  const auto slow = std::count_if(latencies.begin(), latencies.end(),
                                  [](double latency) { return latency > 1000; });
  std::printf(
      "copies=%d missed=%d median_ms=%.0f p90_ms=%.0f p99_ms=%.0f max_ms=%.0f mean_ms=%.1f "
      "over_1s=%ld\n",
      copies, missed, Percentile(latencies, 0.5), Percentile(latencies, 0.9),
      Percentile(latencies, 0.99), latencies.back(), sum / static_cast<double>(latencies.size()),
      static_cast<long>(slow) + missed);
  return 0;
}

}  // namespace tllink::perf
