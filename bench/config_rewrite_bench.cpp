// Rewriting the key line of a large configuration file against a plain copy of the same
// file (read everything, write everything), on the same disk in the same run. The key
// line sits at the end, so the whole file is split and searched. Real files are tens of
// KB; this only watches that the rewrite stays linear in the file's size.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "app/configfiles/ConfigText.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path)
{
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) throw std::runtime_error("cannot open " + path.string());
  std::string bytes(fs::file_size(path), '\0');
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  bytes.resize(got);
  return bytes;
}

void WriteAll(const fs::path& path, const std::string& bytes)
{
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path.string());
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

enum class Kind { AnsiLf, Utf8BomCrLf, Utf16LE };

std::string MakeConfig(Kind kind)
{
  const std::string commentLine = "#   A setting explained at length, as the shipped file does it.";
  const std::string lineBreak = kind == Kind::AnsiLf ? "\n" : "\r\n";
  std::string text;
  while (text.size() < (10u << 20)) text += commentLine + lineBreak;
  text += "DefaultDbCachePages = 2048" + lineBreak;
  if (kind == Kind::Utf8BomCrLf) return "\xEF\xBB\xBF" + text;
  if (kind == Kind::Utf16LE) {
    std::string wide = "\xFF\xFE";
    for (char c : text) {
      wide.push_back(c);
      wide.push_back('\0');
    }
    return wide;
  }
  return text;
}

fbu::AnsiCodePage Latin1()
{
  return {[](std::string_view b) { return fbu::Text(b.begin(), b.end()); },
          [](fbu::TextView t) { return std::string(t.begin(), t.end()); }};
}

struct Files {
  explicit Files(Kind kind)
  {
    const fs::path folder = fs::temp_directory_path() / "fbu_config_bench";
    fs::create_directories(folder);
    source = folder / "firebird.conf";
    target = folder / "copy.conf";
    temporary = folder / "firebird.conf.tmp";
    WriteAll(source, MakeConfig(kind));
  }
  fs::path source, target, temporary;
};

void BM_PlainCopy(benchmark::State& state)
{
  const Files files(static_cast<Kind>(state.range(0)));
  for (auto _ : state) WriteAll(files.target, ReadAll(files.source));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(files.source)));
}

void BM_Rewrite(benchmark::State& state)
{
  const Files files(static_cast<Kind>(state.range(0)));
  for (auto _ : state) {
    fbu::ConfigText text(ReadAll(files.source), Latin1());
    if (!fbu::ReplaceKeyLine(text, u"DefaultDbCachePages", u"75")) state.SkipWithError("key not found");
    // The same shape as the save: a temporary beside the file, then one rename.
    std::FILE* f = std::fopen(files.temporary.c_str(), "wb");
    const std::string saved = text.Save();
    std::fwrite(saved.data(), 1, saved.size(), f);
    std::fclose(f);
    fs::rename(files.temporary, files.target);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(files.source)));
}

} // namespace

BENCHMARK(BM_PlainCopy)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rewrite)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
