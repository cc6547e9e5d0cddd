// Throughput of the clipboard rewrite, next to copies of the same bytes.
//
//   tllink_rewrite_bench [--texts_dir=DIR] [benchmark flags]
//
// With --texts_dir the texts are also written there as raw UTF-16LE files (<size>-<density>.u16,
// find.u16, replacement.u16), so that scripts/bench can time other implementations on exactly the
// same input.

#include "app/rewrite.h"
#include "app/rich_formats.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

static_assert(std::endian::native == std::endian::little, "the text files are UTF-16LE");

// A link prefix rewritten to a longer one, so that the result grows.
constexpr std::u16string_view kFind = u"http://files.example.com/u/12345678/";
constexpr std::u16string_view kReplacement = u"https://share.example.net/files/12345678/";

struct Size {
  const char* name;
  std::size_t bytes;
  benchmark::IterationCount iterations;  // 0: let the library decide
};
constexpr Size kSizes[] = {{"1KiB", 1 << 10, 0}, {"1MiB", 1 << 20, 0}, {"64MiB", 64 << 20, 5}};

struct Density {
  const char* name;
  std::size_t spacing;  // code units from one link to the next
};
constexpr Density kDensities[] = {{"sparse", 32 << 10}, {"dense", 100}};

// Clipboard-like text: mostly ASCII words with some Chinese, Windows line breaks, and a link with
// the find text every `spacing` code units (the first after half of that, so that a text shorter
// than the spacing still holds one). Nothing else in it contains the find text.
std::u16string MakeText(std::size_t units, std::size_t spacing) {
  static constexpr std::u16string_view kWords[] = {
      u"the",    u"meeting", u"notes", u"are",      u"in",     u"the",      u"shared",
      u"folder", u"please",  u"see",   u"the",      u"draft",  u"attached", u"download",
      u"link",   u"below",   u"for",   u"Q3",       u"thanks", u"and",      u"version",
      u"2",      u"文件",    u"下載",  u"會議記錄", u"請參考", u"資料夾",   u"報告"};
  std::mt19937 random(20240603);
  std::uniform_int_distribution<std::size_t> pick_word(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> file_number(0, 9999);

  std::u16string text;
  text.reserve(units + 128);
  std::size_t next_link = std::min(spacing, units) / 2;
  while (text.size() < units) {
    if (text.size() >= next_link) {
      text += kFind;
      text += percent(random) < 30 ? u"報告_" : u"report_";
      for (char digit : std::to_string(file_number(random))) text += static_cast<char16_t>(digit);
      text += u".pdf ";
      next_link += spacing;
    } else {
      text += kWords[pick_word(random)];
      text += percent(random) < 8 ? u"\r\n" : u" ";
    }
  }
  text.resize(units);
  return text;
}

const std::u16string& Text(std::size_t bytes, std::size_t spacing) {
  static std::map<std::pair<std::size_t, std::size_t>, std::u16string> texts;
  auto [it, inserted] = texts.try_emplace({bytes, spacing});
  if (inserted) it->second = MakeText(bytes / sizeof(char16_t), spacing);
  return it->second;
}

void RewriteBench(benchmark::State& state, std::size_t bytes, std::size_t spacing) {
  const std::u16string& text = Text(bytes, spacing);
  std::size_t result_units = 0;
  for (auto _ : state) {
    std::u16string result = tllink::ReplaceAll(text, kFind, kReplacement);
    benchmark::DoNotOptimize(result.data());
    result_units = result.size();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
  state.counters["result_units"] = static_cast<double>(result_units);
}

// Windows' HTML Format of about `bytes` bytes as a browser copies a page: words (some Chinese) in
// paragraphs, and every `spacing` bytes a link in an href (with "&" escaped) and as its text.
std::string MakeWindowsHtml(std::size_t bytes, std::size_t spacing) {
  static constexpr std::string_view kWords[] = {"the",    "meeting",  "notes",  "are", "in",
                                                "shared", "folder",   "please", "see", "文件",
                                                "下載",   "會議記錄", "請參考", "報告"};
  std::mt19937 random(20240603);
  std::uniform_int_distribution<std::size_t> pick_word(0, std::size(kWords) - 1);
  std::uniform_int_distribution<int> file_number(0, 9999);
  const std::string find = "http://files.example.com/u/12345678/";
  std::string html = "<html><body><!--StartFragment--><p>";
  std::size_t next_link = html.size() + std::min(spacing, bytes) / 2;
  while (html.size() < bytes) {
    if (html.size() >= next_link) {
      const std::string file = "report_" + std::to_string(file_number(random)) + ".pdf";
      html += "<a href=\"" + find + file + "?a=1&amp;b=2\">" + find + file + "</a> ";
      next_link += spacing;
    } else {
      html += kWords[pick_word(random)];
      html += pick_word(random) == 0 ? "</p>\r\n<p>" : " ";
    }
  }
  const std::size_t fragment_end = html.size();
  html += "<!--EndFragment--></body></html>";
  const auto ten = [](std::size_t n) {
    const std::string digits = std::to_string(n);
    return std::string(10 - digits.size(), '0') + digits;
  };
  const std::size_t header = 105;  // the length of the header below
  return "Version:0.9\r\nStartHTML:" + ten(header) + "\r\nEndHTML:" + ten(header + html.size()) +
         "\r\nStartFragment:" + ten(header + html.find("<p>")) +
         "\r\nEndFragment:" + ten(header + fragment_end) + "\r\n" + html;
}

// The copy's HTML rewritten along with its text, next to the text's rewrite of the same size.
void RewriteHtmlBench(benchmark::State& state, std::size_t bytes, std::size_t spacing) {
  const std::string html = MakeWindowsHtml(bytes, spacing);
  std::size_t result_bytes = 0;
  for (auto _ : state) {
    std::optional<std::string> result = tllink::RewriteWindowsHtml(html, kFind, kReplacement);
    if (!result) throw std::runtime_error("the HTML was left out");
    benchmark::DoNotOptimize(result->data());
    result_bytes = result->size();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(html.size()));
  state.counters["result_bytes"] = static_cast<double>(result_bytes);
}

void PlainCopyBench(benchmark::State& state, std::size_t bytes) {
  const std::u16string& text = Text(bytes, kDensities[0].spacing);
  std::vector<char16_t> copy(text.size(), u'\0');
  for (auto _ : state) {
    std::memcpy(copy.data(), text.data(), bytes);
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

// What any rewrite that returns a new string costs at least: the allocation, the first touch of
// its pages and the copy.
void NewStringBench(benchmark::State& state, std::size_t bytes) {
  const std::u16string& text = Text(bytes, kDensities[0].spacing);
  for (auto _ : state) {
    std::u16string copy(text);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}

void WriteFile(const std::string& path, std::u16string_view units) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(units.data()),
             static_cast<std::streamsize>(units.size() * sizeof(char16_t)));
  if (!file) throw std::runtime_error("cannot write " + path);
}

void WriteTexts(const std::string& dir) {
  WriteFile(dir + "/find.u16", kFind);
  WriteFile(dir + "/replacement.u16", kReplacement);
  for (const Size& size : kSizes) {
    for (const Density& density : kDensities) {
      WriteFile(dir + "/" + size.name + "-" + density.name + ".u16",
                Text(size.bytes, density.spacing));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  constexpr std::string_view kTextsDir = "--texts_dir=";
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!arg.starts_with(kTextsDir)) continue;
    WriteTexts(std::string(arg.substr(kTextsDir.size())));
    std::copy(argv + i + 1, argv + argc + 1, argv + i);  // drop it, keeping argv[argc] == nullptr
    --argc;
    --i;
  }
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  for (const Size& size : kSizes) {
    const auto add = [&](const std::string& name, auto&&... function_and_arguments) {
      auto* bench = benchmark::RegisterBenchmark(name.c_str(), function_and_arguments...);
      bench->UseRealTime();
      if (size.iterations != 0) bench->Iterations(size.iterations);
    };
    for (const Density& density : kDensities) {
      add(std::string("ReplaceAll/") + size.name + "/" + density.name, RewriteBench, size.bytes,
          density.spacing);
      add(std::string("RewriteHtml/") + size.name + "/" + density.name, RewriteHtmlBench,
          size.bytes, density.spacing);
    }
    add(std::string("PlainCopy/") + size.name, PlainCopyBench, size.bytes);
    add(std::string("NewString/") + size.name, NewStringBench, size.bytes);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
