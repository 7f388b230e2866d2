// The large integer set (TLSet) against its baselines, on the same data in one binary:
//   Plain       a std::vector<std::uint64_t> bit field with std::popcount, compiled with
//               the same flags as the set (no -mpopcnt: std::popcount is a library call)
//   PlainPopcnt the same loops compiled with __attribute__((target("popcnt")))
//   Roaring     CRoaring, when the build found it (FBU_HAVE_ROARING)
//   Model       the one-candidate-at-a-time algorithms (tests/native/largesets/LSetModel.h)
//   ToChars / FromChars   std::to_chars / std::from_chars of the same numbers
// Data: "dense" holds each value of 0..32,000,000 with probability 1/2, "sparse" holds
// 1,000,000 distinct random values of that range; A and B are two such sets.
// After the usual table, the ratios of TLSet to each baseline are printed.
//
// Memory: an export of the dense set makes a 128 MB list and its text is 200 MB. glibc
// maps such blocks fresh from the kernel on every round, and on a virtual machine each
// new page can cost microseconds, which then dominates both the set and its baselines.
// By default the program therefore keeps freed memory in the process (mallopt), so the
// rounds measure the code; --fresh_pages keeps glibc's default to show the other case.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#if FBU_HAVE_ROARING
#include <roaring/roaring.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <climits>
#include <cstring>

#include "RatioReporter.h"
#include "../tests/native/largesets/LSetModel.h"
#include "collections/LSetKernels.h"
#include "collections/LargeSets.h"

namespace {

using namespace fbu;

constexpr std::uint32_t kTop = 32000000;

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define FBU_BENCH_POPCNT __attribute__((target("popcnt")))
#else
#define FBU_BENCH_POPCNT
#endif

// ---- The plain bit field ----------------------------------------------------------

std::int64_t PlainCount(const std::vector<std::uint64_t>& a)
{
  std::int64_t n = 0;
  for (const std::uint64_t w : a) n += std::popcount(w);
  return n;
}
FBU_BENCH_POPCNT std::int64_t PlainCountPopcnt(const std::vector<std::uint64_t>& a)
{
  std::int64_t n = 0;
  for (const std::uint64_t w : a) n += std::popcount(w);
  return n;
}
std::int64_t PlainAndCount(const std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b)
{
  std::int64_t n = 0;
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) n += std::popcount(a[i] & b[i]);
  return n;
}
FBU_BENCH_POPCNT std::int64_t PlainAndCountPopcnt(const std::vector<std::uint64_t>& a,
                                                  const std::vector<std::uint64_t>& b)
{
  std::int64_t n = 0;
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) n += std::popcount(a[i] & b[i]);
  return n;
}
void PlainUnion(std::vector<std::uint64_t>& a, const std::vector<std::uint64_t>& b)
{
  if (a.size() < b.size()) a.resize(b.size());
  for (std::size_t i = 0; i < b.size(); ++i) a[i] |= b[i];
}
void PlainAdd(std::vector<std::uint64_t>& bits, std::uint32_t m)
{
  const std::size_t u = m >> 6;
  if (u >= bits.size()) bits.resize(u + 1);
  bits[u] |= std::uint64_t{1} << (m & 63);
}
std::vector<std::intptr_t> PlainExport(const std::vector<std::uint64_t>& a)
{
  std::vector<std::intptr_t> out;
  out.reserve(static_cast<std::size_t>(PlainCount(a)));
  for (std::size_t u = 0; u < a.size(); ++u)
    for (std::uint64_t w = a[u]; w; w &= w - 1)
      out.push_back(static_cast<std::intptr_t>((u << 6) + static_cast<unsigned>(std::countr_zero(w))));
  return out;
}

// ---- The data ---------------------------------------------------------------------

struct Side {
  std::vector<std::uint64_t> plain;
  std::vector<std::uint32_t> ascending, shuffled;
  TLSet set;
  model::ModelSet model;
#if FBU_HAVE_ROARING
  roaring_bitmap_t* roaring = nullptr;
#endif
};

struct DataSet {
  std::string name;
  Side a, b;
  // A's runs and its text form, in UTF-16 for the set and ASCII for the baselines.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;
  Text text;
  std::string ascii;
};

void Finish(Side& s, std::mt19937_64& rng)
{
  for (std::size_t u = 0; u < s.plain.size(); ++u)
    for (std::uint64_t w = s.plain[u]; w; w &= w - 1)
      s.ascending.push_back(static_cast<std::uint32_t>((u << 6) + static_cast<unsigned>(std::countr_zero(w))));
  // Trim the field to the highest member, as the set's extent is.
  while (!s.plain.empty() && s.plain.back() == 0) s.plain.pop_back();
  s.shuffled = s.ascending;
  std::shuffle(s.shuffled.begin(), s.shuffled.end(), rng);
  for (const std::uint32_t m : s.ascending) s.set.AddThis(static_cast<std::int32_t>(m));
  // The model gets its words and occupied-word list directly: building it one member
  // at a time searches the list linearly, quadratic in the occupied words.
  s.model.data.resize(static_cast<std::size_t>(s.set.InternalItemsCount()));
  for (std::size_t w = 0; w < s.model.data.size(); ++w) {
    s.model.data[w] = static_cast<std::uint32_t>(s.plain[w / 2] >> (32 * (w % 2)));
    if (s.model.data[w]) s.model.nextHash.push_back(static_cast<std::int32_t>(w));
  }
#if FBU_HAVE_ROARING
  s.roaring = roaring_bitmap_create();
  roaring_bitmap_add_many(s.roaring, s.ascending.size(), s.ascending.data());
#endif
}

void MakeDense(Side& s, std::uint64_t seed)
{
  std::mt19937_64 rng(seed);
  s.plain.assign(kTop / 64 + 1, 0);
  for (auto& w : s.plain) w = rng();
  s.plain.back() &= (std::uint64_t{2} << (kTop % 64)) - 1; // nothing above 32,000,000
  Finish(s, rng);
}

void MakeSparse(Side& s, std::uint64_t seed)
{
  std::mt19937_64 rng(seed);
  s.plain.assign(kTop / 64 + 1, 0);
  std::uniform_int_distribution<std::uint32_t> pick(0, kTop);
  for (int n = 0; n < 1000000;) {
    const std::uint32_t m = pick(rng);
    std::uint64_t& w = s.plain[m >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (m & 63);
    if (!(w & bit)) {
      w |= bit;
      ++n;
    }
  }
  Finish(s, rng);
}

void MakeText(DataSet& d)
{
  for (std::size_t i = 0; i < d.a.ascending.size();) {
    std::size_t j = i;
    while (j + 1 < d.a.ascending.size() && d.a.ascending[j + 1] == d.a.ascending[j] + 1) ++j;
    d.runs.emplace_back(d.a.ascending[i], d.a.ascending[j]);
    i = j + 1;
  }
  d.text = d.a.set.ToLine(u",");
  d.ascii.assign(d.text.begin(), d.text.end());
}

std::vector<std::unique_ptr<DataSet>>& DataSets()
{
  static std::vector<std::unique_ptr<DataSet>> sets;
  return sets;
}

// ---- Benchmarks ---------------------------------------------------------------------

using Body = std::function<void(benchmark::State&)>;

void Register(const std::string& name, Body body)
{
  benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
      ->Unit(benchmark::kMillisecond)
      ->MinWarmUpTime(0.2) // the first round also pays for growing the heap
      ->MinTime(0.3)
      ->UseRealTime();
}

void RegisterAll(DataSet& d, bool withModel)
{
  const std::string n = d.name;
  for (const bool shuffled : {false, true}) {
    const std::string op = shuffled ? "AddShuffled/" : "AddAscending/";
    const std::vector<std::uint32_t>& order = shuffled ? d.a.shuffled : d.a.ascending;
    Register(op + n + "/LSet", [&order](benchmark::State& st) {
      for (auto _ : st) {
        TLSet s;
        for (const std::uint32_t m : order) s.AddThis(static_cast<std::int32_t>(m));
        benchmark::DoNotOptimize(s.InternalHashCount());
      }
      st.SetItemsProcessed(st.iterations() * static_cast<std::int64_t>(order.size()));
    });
    Register(op + n + "/Plain", [&order](benchmark::State& st) {
      for (auto _ : st) {
        std::vector<std::uint64_t> bits;
        for (const std::uint32_t m : order) PlainAdd(bits, m);
        benchmark::DoNotOptimize(bits.data());
      }
      st.SetItemsProcessed(st.iterations() * static_cast<std::int64_t>(order.size()));
    });
#if FBU_HAVE_ROARING
    Register(op + n + "/Roaring", [&order](benchmark::State& st) {
      for (auto _ : st) {
        roaring_bitmap_t* r = roaring_bitmap_create();
        for (const std::uint32_t m : order) roaring_bitmap_add(r, m);
        benchmark::DoNotOptimize(r);
        roaring_bitmap_free(r);
      }
      st.SetItemsProcessed(st.iterations() * static_cast<std::int64_t>(order.size()));
    });
#endif
  }

  Register("MembersCount/" + n + "/LSet", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(d.a.set.MembersCount());
  });
  Register("MembersCount/" + n + "/Plain", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(PlainCount(d.a.plain));
  });
  Register("MembersCount/" + n + "/PlainPopcnt", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(PlainCountPopcnt(d.a.plain));
  });
#if FBU_HAVE_ROARING
  Register("MembersCount/" + n + "/Roaring", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(roaring_bitmap_get_cardinality(d.a.roaring));
  });
#endif

  Register("ISECT_Count/" + n + "/LSet", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(d.a.set.ISECT_Count(d.b.set));
  });
  Register("ISECT_Count/" + n + "/Plain", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(PlainAndCount(d.a.plain, d.b.plain));
  });
  Register("ISECT_Count/" + n + "/PlainPopcnt", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(PlainAndCountPopcnt(d.a.plain, d.b.plain));
  });
#if FBU_HAVE_ROARING
  Register("ISECT_Count/" + n + "/Roaring", [&d](benchmark::State& st) {
    for (auto _ : st) benchmark::DoNotOptimize(roaring_bitmap_and_cardinality(d.a.roaring, d.b.roaring));
  });
#endif

  // In place, repeated on the same target: after the first round the union no longer
  // changes, but every round does the same work.
  Register("UNION/" + n + "/LSet", [&d](benchmark::State& st) {
    TLSet target;
    target.Assign(d.a.set);
    for (auto _ : st) {
      target.UNION(d.b.set);
      benchmark::ClobberMemory();
    }
  });
  Register("UNION/" + n + "/Plain", [&d](benchmark::State& st) {
    std::vector<std::uint64_t> target = d.a.plain;
    for (auto _ : st) {
      PlainUnion(target, d.b.plain);
      benchmark::ClobberMemory();
    }
  });
#if FBU_HAVE_ROARING
  Register("UNION/" + n + "/Roaring", [&d](benchmark::State& st) {
    roaring_bitmap_t* target = roaring_bitmap_copy(d.a.roaring);
    for (auto _ : st) {
      roaring_bitmap_or_inplace(target, d.b.roaring);
      benchmark::ClobberMemory();
    }
    roaring_bitmap_free(target);
  });
#endif

  const auto members = static_cast<std::int64_t>(d.a.ascending.size());
  // A fresh list each round, as the baselines make a fresh vector: emptying a list that
  // already holds 16 million entries is the list's own cost (one notification each).
  Register("Export/" + n + "/LSet", [&d, members](benchmark::State& st) {
    for (auto _ : st) {
      TFastList z;
      d.a.set.ExportToIntegerList(z);
      benchmark::DoNotOptimize(z.List());
    }
    st.SetItemsProcessed(st.iterations() * members);
  });
  Register("Export/" + n + "/Plain", [&d, members](benchmark::State& st) {
    for (auto _ : st) {
      std::vector<std::intptr_t> out = PlainExport(d.a.plain);
      benchmark::DoNotOptimize(out.data());
    }
    st.SetItemsProcessed(st.iterations() * members);
  });
#if FBU_HAVE_ROARING
  Register("Export/" + n + "/Roaring", [&d, members](benchmark::State& st) {
    for (auto _ : st) {
      std::vector<std::uint32_t> out(roaring_bitmap_get_cardinality(d.a.roaring));
      roaring_bitmap_to_uint32_array(d.a.roaring, out.data());
      benchmark::DoNotOptimize(out.data());
    }
    st.SetItemsProcessed(st.iterations() * members);
  });
#endif

  const auto runs = static_cast<std::int64_t>(d.runs.size());
  Register("ToLine/" + n + "/LSet", [&d, runs](benchmark::State& st) {
    for (auto _ : st) {
      Text t = d.a.set.ToLine(u",");
      benchmark::DoNotOptimize(t.data());
    }
    st.SetItemsProcessed(st.iterations() * runs);
  });
  // The baseline writes into a buffer made beforehand: the numbers and separators only.
  Register("ToLine/" + n + "/ToChars", [&d, runs](benchmark::State& st) {
    std::string buffer(d.runs.size() * 22 + 16, '\0');
    for (auto _ : st) {
      char* p = buffer.data();
      char* const end = p + buffer.size();
      bool first = true;
      for (const auto& [lo, hi] : d.runs) {
        if (!first) *p++ = ',';
        first = false;
        p = std::to_chars(p, end, lo).ptr;
        if (hi != lo) {
          *p++ = '-';
          p = std::to_chars(p, end, hi).ptr;
        }
      }
      benchmark::DoNotOptimize(p);
      benchmark::ClobberMemory();
    }
    st.SetItemsProcessed(st.iterations() * runs);
  });
  Register("FromString/" + n + "/LSet", [&d, runs](benchmark::State& st) {
    TLSet s;
    for (auto _ : st) benchmark::DoNotOptimize(s.FromString(d.text, u","));
    st.SetItemsProcessed(st.iterations() * runs);
  });
  Register("FromString/" + n + "/FromChars", [&d, runs](benchmark::State& st) {
    for (auto _ : st) {
      const char* p = d.ascii.data();
      const char* const end = p + d.ascii.size();
      std::uint64_t sum = 0;
      while (p < end) {
        std::uint32_t lo = 0, hi = 0;
        p = std::from_chars(p, end, lo).ptr;
        sum += lo;
        if (p < end && *p == '-') {
          p = std::from_chars(p + 1, end, hi).ptr;
          sum += hi;
        }
        if (p < end && *p == ',') ++p;
      }
      benchmark::DoNotOptimize(sum);
    }
    st.SetItemsProcessed(st.iterations() * runs);
  });

  if (withModel) {
    Register("MembersCount/" + n + "/Model", [&d](benchmark::State& st) {
      for (auto _ : st) benchmark::DoNotOptimize(d.a.model.MembersCount());
    });
    Register("ISECT_Count/" + n + "/Model", [&d](benchmark::State& st) {
      for (auto _ : st) benchmark::DoNotOptimize(d.a.model.IsectCount(d.b.model));
    });
    Register("Export/" + n + "/Model", [&d, members](benchmark::State& st) {
      for (auto _ : st) {
        TFastList z;
        d.a.model.ExportToIntegerList(z);
        benchmark::DoNotOptimize(z.List());
      }
      st.SetItemsProcessed(st.iterations() * members);
    });
    Register("ToLine/" + n + "/Model", [&d, runs](benchmark::State& st) {
      for (auto _ : st) {
        Text t = d.a.model.ToLine(u",");
        benchmark::DoNotOptimize(t.data());
      }
      st.SetItemsProcessed(st.iterations() * runs);
    });
  }
}

// Linearity of the text form: the dense set cut at 4, 8, 16 and 32 million.
void RegisterTextScaling(const DataSet& dense)
{
  for (const std::uint32_t limit : {4000000U, 8000000U, 16000000U, kTop}) {
    auto part = std::make_shared<TLSet>();
    for (const std::uint32_t m : dense.a.ascending)
      if (m <= limit) part->AddThis(static_cast<std::int32_t>(m));
    auto text = std::make_shared<Text>(part->ToLine(u","));
    const std::int64_t items = std::count(text->begin(), text->end(), u',') + 1;
    const std::string suffix = std::to_string(limit / 1000000) + "M";
    Register("ToLineScaling/dense" + suffix + "/LSet", [part, items](benchmark::State& st) {
      for (auto _ : st) {
        Text t = part->ToLine(u",");
        benchmark::DoNotOptimize(t.data());
      }
      st.SetItemsProcessed(st.iterations() * items);
    });
    Register("FromStringScaling/dense" + suffix + "/LSet", [text, items](benchmark::State& st) {
      TLSet s;
      for (auto _ : st) benchmark::DoNotOptimize(s.FromString(*text, u","));
      st.SetItemsProcessed(st.iterations() * items);
    });
  }
}

} // namespace

int main(int argc, char** argv)
{
  bool freshPages = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--fresh_pages") == 0) {
      freshPages = true;
      std::copy(argv + i + 1, argv + argc, argv + i);
      --argc;
      break;
    }
#if defined(__GLIBC__)
  if (!freshPages) {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
  }
#endif
  std::printf("Freed memory %s\n", freshPages ? "returned to the kernel (glibc default)" : "kept in the process");
  benchmark::Initialize(&argc, argv);
  auto& sets = DataSets();
  sets.push_back(std::make_unique<DataSet>());
  sets.back()->name = "dense";
  MakeDense(sets.back()->a, 1);
  MakeDense(sets.back()->b, 2);
  MakeText(*sets.back());
  sets.push_back(std::make_unique<DataSet>());
  sets.back()->name = "sparse";
  MakeSparse(sets.back()->a, 3);
  MakeSparse(sets.back()->b, 4);
  MakeText(*sets.back());
  RegisterAll(*sets[0], true);
  RegisterAll(*sets[1], false);
  RegisterTextScaling(*sets[0]);

  fbu::bench::RatioReporter reporter("LSet", "TLSet");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  std::printf("POPCNT in use by TLSet: %s\n", lset_kernels::ProcessorHasPopcnt() ? "yes" : "no");
  benchmark::Shutdown();
#if FBU_HAVE_ROARING
  for (auto& d : sets) {
    roaring_bitmap_free(d->a.roaring);
    roaring_bitmap_free(d->b.roaring);
  }
#endif
  return 0;
}
