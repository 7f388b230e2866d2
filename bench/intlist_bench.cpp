// The integer list (TIntList) against its baselines, on the same data in one binary:
//   Hash    std::unordered_set (std::unordered_multiset for Remove) of the same result
//   Algo    std::vector<std::int32_t> with <algorithm>: std::sort, std::binary_search,
//           std::lower_bound, std::erase_if
//   Model   the one-value-at-a-time algorithms (tests/native/intlist/IntListModel.h)
//   Insert  std::vector::insert at std::lower_bound (sorted Add)
//   Chars   std::to_chars / std::from_chars of the same numbers (text form)
//   Raw     the value array copied into / out of the same memory stream (record form)
// Data: "dense" lists hold 1,000,000 values drawn from 0..999,999 (about a third are
// repeats); "sparse" lists hold 1,000,000 values drawn from 700,000 random 32-bit
// values; the model runs at 20,000 values of the dense kind.
// After the usual table, TIntList's time over each baseline's is printed.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "RatioReporter.h"
#include "../tests/native/intlist/IntListModel.h"
#include "collections/PureQuarnClasses.h"

namespace {

using namespace fbu;
using Vec = std::vector<std::int32_t>;

struct Pair {
  Vec a, b;
  TIntList la, lb;
};

Vec Draw(int count, const std::function<std::int32_t()>& value)
{
  Vec v(static_cast<std::size_t>(count));
  for (auto& x : v) x = value();
  return v;
}

std::unique_ptr<Pair> MakePair(int count, bool sparse, unsigned seed)
{
  auto p = std::make_unique<Pair>();
  std::mt19937 gen(seed);
  Vec pool;
  if (sparse) {
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    pool = Draw(700000, [&] { return any(gen); });
  }
  std::uniform_int_distribution<int> pick(0, sparse ? static_cast<int>(pool.size()) - 1 : count - 1);
  const auto one = [&]() -> std::int32_t { return sparse ? pool[static_cast<std::size_t>(pick(gen))] : pick(gen); };
  p->a = Draw(count, one);
  p->b = Draw(count, one);
  for (const auto x : p->a) p->la.Add(x);
  for (const auto x : p->b) p->lb.Add(x);
  return p;
}

void Register(const std::string& name, std::function<void(benchmark::State&)> body)
{
  benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3)
      ->ReportAggregatesOnly(false);
}

// An operation that changes its list runs on a fresh copy, made outside the timing.
template <class Run> void TimedOnCopy(benchmark::State& st, const TIntList& source, Run run)
{
  TIntList x;
  for (auto _ : st) {
    st.PauseTiming();
    x.Assign(source);
    st.ResumeTiming();
    run(x);
    benchmark::DoNotOptimize(x.Count());
  }
}
template <class Run> void TimedOnCopy(benchmark::State& st, const Vec& source, Run run)
{
  Vec x;
  for (auto _ : st) {
    st.PauseTiming();
    x = source;
    st.ResumeTiming();
    run(x);
    benchmark::DoNotOptimize(x.size());
  }
}
template <class Run> void Timed(benchmark::State& st, Run run)
{
  for (auto _ : st) benchmark::DoNotOptimize(run());
}

// ---- std::vector with <algorithm>: a sorted copy, binary search, marks by rank ----------

struct Ranks {
  Vec sorted;
  explicit Ranks(const Vec& v) : sorted(v)
  {
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  }
  std::ptrdiff_t Of(std::int32_t x) const
  {
    const auto it = std::lower_bound(sorted.begin(), sorted.end(), x);
    return it != sorted.end() && *it == x ? it - sorted.begin() : -1;
  }
};

void RegisterPairwise(const std::string& data, const Pair& p, bool withModel)
{
  const auto n = "/" + data;
  if (!withModel) {
    Register("Intersect" + n + "/IntList",
             [&p](auto& st) { TimedOnCopy(st, p.la, [&](TIntList& x) { x.Intersect(p.lb); }); });
    Register("Intersect" + n + "/Hash", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        const std::unordered_set<std::int32_t> in(p.b.begin(), p.b.end());
        std::erase_if(x, [&](std::int32_t v) { return !in.contains(v); });
      });
    });
    Register("Intersect" + n + "/Algo", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        const Ranks in(p.b);
        std::erase_if(x, [&](std::int32_t v) { return !std::binary_search(in.sorted.begin(), in.sorted.end(), v); });
      });
    });
    Register("IntersectCount" + n + "/IntList",
             [&p](auto& st) { Timed(st, [&] { return p.la.IntersectCount(p.lb); }); });
    Register("IntersectCount" + n + "/Hash", [&p](auto& st) {
      Timed(st, [&] {
        const std::unordered_set<std::int32_t> in(p.b.begin(), p.b.end());
        return std::count_if(p.a.begin(), p.a.end(), [&](std::int32_t v) { return in.contains(v); });
      });
    });
    Register("IntersectCount" + n + "/Algo", [&p](auto& st) {
      Timed(st, [&] {
        const Ranks in(p.b);
        return std::count_if(p.a.begin(), p.a.end(),
                             [&](std::int32_t v) { return std::binary_search(in.sorted.begin(), in.sorted.end(), v); });
      });
    });
    Register("Union" + n + "/IntList", [&p](auto& st) { TimedOnCopy(st, p.la, [&](TIntList& x) { x.Union(p.lb); }); });
    Register("Union" + n + "/Hash", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        std::unordered_set<std::int32_t> held(x.begin(), x.end());
        for (const std::int32_t v : p.b)
          if (held.insert(v).second) x.push_back(v);
      });
    });
    Register("Union" + n + "/Algo", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        const Ranks in(p.b);
        std::vector<char> held(in.sorted.size());
        for (const std::int32_t v : x)
          if (const auto r = in.Of(v); r >= 0) held[static_cast<std::size_t>(r)] = 1;
        for (const std::int32_t v : p.b)
          if (char& h = held[static_cast<std::size_t>(in.Of(v))]; !h) h = 1, x.push_back(v);
      });
    });
    Register("UnionCount" + n + "/IntList", [&p](auto& st) { Timed(st, [&] { return p.la.UnionCount(p.lb); }); });
    Register("UnionCount" + n + "/Hash", [&p](auto& st) {
      Timed(st, [&] {
        const std::unordered_set<std::int32_t> in(p.a.begin(), p.a.end());
        return p.a.size() + std::count_if(p.b.begin(), p.b.end(), [&](std::int32_t v) { return !in.contains(v); });
      });
    });
    Register("UnionCount" + n + "/Algo", [&p](auto& st) {
      Timed(st, [&] {
        const Ranks in(p.a);
        return p.a.size() + std::count_if(p.b.begin(), p.b.end(), [&](std::int32_t v) {
                 return !std::binary_search(in.sorted.begin(), in.sorted.end(), v);
               });
      });
    });
    Register("Unique" + n + "/IntList", [&p](auto& st) { TimedOnCopy(st, p.la, [&](TIntList& x) { x.Unique(); }); });
    Register("Unique" + n + "/Hash", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        std::unordered_set<std::int32_t> seen;
        std::erase_if(x, [&](std::int32_t v) { return !seen.insert(v).second; });
      });
    });
    Register("Unique" + n + "/Algo", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        const Ranks in(x);
        std::vector<char> seen(in.sorted.size());
        std::erase_if(x,
                      [&](std::int32_t v) { return std::exchange(seen[static_cast<std::size_t>(in.Of(v))], 1) != 0; });
      });
    });
    Register("UniqueCount" + n + "/IntList", [&p](auto& st) { Timed(st, [&] { return p.la.UniqueCount(); }); });
    Register("UniqueCount" + n + "/Hash", [&p](auto& st) {
      Timed(st, [&] { return std::unordered_set<std::int32_t>(p.a.begin(), p.a.end()).size(); });
    });
    Register("UniqueCount" + n + "/Algo", [&p](auto& st) { Timed(st, [&] { return Ranks(p.a).sorted.size(); }); });
    Register("RemoveList" + n + "/IntList",
             [&p](auto& st) { TimedOnCopy(st, p.la, [&](TIntList& x) { x.Remove(p.lb); }); });
    Register("RemoveList" + n + "/Hash", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        std::unordered_multiset<std::int32_t> budget(p.b.begin(), p.b.end());
        std::erase_if(x, [&](std::int32_t v) {
          const auto it = budget.find(v);
          if (it == budget.end()) return false;
          budget.erase(it);
          return true;
        });
      });
    });
    Register("RemoveList" + n + "/Algo", [&p](auto& st) {
      TimedOnCopy(st, p.a, [&](Vec& x) {
        const Ranks in(p.b);
        std::vector<int> budget(in.sorted.size());
        for (const std::int32_t v : p.b) ++budget[static_cast<std::size_t>(in.Of(v))];
        std::erase_if(x, [&](std::int32_t v) {
          const auto r = in.Of(v);
          return r >= 0 && budget[static_cast<std::size_t>(r)] > 0 && budget[static_cast<std::size_t>(r)]-- > 0;
        });
      });
    });
    return;
  }
  // At 20,000 values: the fast operations and the model.
  struct Op {
    const char* name;
    std::function<std::int64_t(TIntList&, const TIntList&)> fast, slow;
  };
  static const Op ops[] = {
      {"Intersect", [](TIntList& x, const TIntList& b) { return x.Intersect(b), 0; },
       [](TIntList& x, const TIntList& b) { return model::Intersect(x, b), 0; }},
      {"IntersectCount", [](TIntList& x, const TIntList& b) { return x.IntersectCount(b); },
       [](TIntList& x, const TIntList& b) { return model::IntersectCount(x, b); }},
      {"Union", [](TIntList& x, const TIntList& b) { return x.Union(b), 0; },
       [](TIntList& x, const TIntList& b) { return model::Union(x, b), 0; }},
      {"UnionCount", [](TIntList& x, const TIntList& b) { return x.UnionCount(b); },
       [](TIntList& x, const TIntList& b) { return model::UnionCount(x, b); }},
      {"Unique", [](TIntList& x, const TIntList&) { return x.Unique(), 0; },
       [](TIntList& x, const TIntList&) { return model::Unique(x), 0; }},
      {"UniqueCount", [](TIntList& x, const TIntList&) { return x.UniqueCount(); },
       [](TIntList& x, const TIntList&) { return model::UniqueCount(x); }},
      {"RemoveList", [](TIntList& x, const TIntList& b) { return x.Remove(b); },
       [](TIntList& x, const TIntList& b) { return model::Remove(x, b); }},
  };
  for (const Op& op : ops) {
    Register(std::string(op.name) + n + "/IntList",
             [&p, &op](auto& st) { TimedOnCopy(st, p.la, [&](TIntList& x) { op.fast(x, p.lb); }); });
    Register(std::string(op.name) + n + "/Model",
             [&p, &op](auto& st) { TimedOnCopy(st, p.la, [&](TIntList& x) { op.slow(x, p.lb); }); });
  }
}

void RegisterSingles(const Pair& p)
{
  // Sorted Add of 100,000 random values.
  static const Vec randoms = [] {
    std::mt19937 gen(7);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    Vec v(100000);
    for (auto& x : v) x = any(gen);
    return v;
  }();
  Register("SortedAdd/100k/IntList", [](auto& st) {
    for (auto _ : st) {
      TIntList list = TIntList::CreateSorted();
      for (const std::int32_t v : randoms) list.Add(v);
      benchmark::DoNotOptimize(list.Count());
    }
  });
  Register("SortedAdd/100k/Insert", [](auto& st) {
    for (auto _ : st) {
      Vec v;
      for (const std::int32_t x : randoms) v.insert(std::lower_bound(v.begin(), v.end(), x), x);
      benchmark::DoNotOptimize(v.size());
    }
  });

  // Text form of the sparse values (mostly ten digits and a sign).
  static const Text text = p.la.ToLine(u",");
  static const std::string chars = ToUtf8(text);
  Register("ToLine/1M/IntList", [&p](auto& st) { Timed(st, [&] { return p.la.ToLine(u",").size(); }); });
  Register("ToLine/1M/Chars", [&p](auto& st) {
    std::string out;
    Timed(st, [&] {
      out.resize(p.a.size() * 12);
      char* o = out.data();
      for (std::size_t i = 0; i < p.a.size(); ++i) {
        if (i) *o++ = ',';
        o = std::to_chars(o, out.data() + out.size(), p.a[i]).ptr;
      }
      out.resize(static_cast<std::size_t>(o - out.data()));
      return out.size();
    });
  });
  Register("SetFromText/1M/IntList", [](auto& st) {
    TIntList list;
    Timed(st, [&] { return list.SetFromText(text, u","), list.Count(); });
  });
  Register("SetFromText/1M/Chars", [](auto& st) {
    Vec v;
    Timed(st, [&] {
      v.clear();
      const char* c = chars.data();
      const char* end = c + chars.size();
      while (c < end) {
        std::int32_t x;
        const auto r = std::from_chars(c, end, x);
        if (r.ec == std::errc()) v.push_back(x);
        c = r.ptr + 1;
      }
      return v.size();
    });
  });

  Register("SaveToStream/1M/IntList", [&p](auto& st) {
    TMemoryStream s;
    Timed(st, [&] { return s.SetPosition(0), p.la.SaveToStream(s), s.Position(); });
  });
  Register("SaveToStream/1M/Raw", [&p](auto& st) {
    TMemoryStream s;
    Timed(st, [&] {
      s.SetPosition(0);
      const auto count = static_cast<std::int32_t>(p.a.size());
      s.WriteBuffer(&count, 4);
      s.WriteBuffer(p.a.data(), static_cast<std::int64_t>(p.a.size()) * 4);
      return s.Position();
    });
  });
  static TMemoryStream saved;
  p.la.SaveToStream(saved);
  Register("LoadFromStream/1M/IntList", [](auto& st) {
    TIntList list;
    Timed(st, [&] { return saved.SetPosition(0), list.LoadFromStream(saved), list.Count(); });
  });
  Register("LoadFromStream/1M/Raw", [](auto& st) {
    Vec v;
    Timed(st, [&] {
      saved.SetPosition(0);
      std::int32_t count = 0;
      saved.ReadBuffer(&count, 4);
      v.resize(static_cast<std::size_t>(count));
      saved.ReadBuffer(v.data(), static_cast<std::int64_t>(count) * 4);
      return v.size();
    });
  });
}

} // namespace

int main(int argc, char** argv)
{
  benchmark::Initialize(&argc, argv);
  const auto dense = MakePair(1000000, false, 1);
  const auto sparse = MakePair(1000000, true, 2);
  const auto small = MakePair(20000, false, 3);
  RegisterPairwise("dense", *dense, false);
  RegisterPairwise("sparse", *sparse, false);
  RegisterPairwise("20k", *small, true);
  RegisterSingles(*sparse);

  fbu::bench::RatioReporter reporter("IntList", "TIntList");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
