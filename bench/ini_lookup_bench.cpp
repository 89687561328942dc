// All lookups of one disc's file list: File1..FileN of one part, through the plain scan (FindIniValue)
// and through the index built once per text (IniIndex, build time included).
#include <benchmark/benchmark.h>

#include <string>

#include "web/ini_index.h"
#include "web/ini_lookup.h"

static std::string FileList(int n) {
  std::string t = "[Disc]\r\nName=QuarnCAD DEMO 1\r\n[Setup]\r\n";
  for (int i = 1; i <= n; ++i)
    t += "File" + std::to_string(i) + "=\\Data\\file" + std::to_string(i) + ".dat \\QuarnWin32\\Data\\file" +
         std::to_string(i) + ".dat\r\n";
  return t;
}

static void BM_PlainScan(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  std::string t = FileList(n);
  char v[256];
  for (auto _ : state) {
    int found = 0;
    for (int i = 1; i <= n + 1; ++i)
      found += FindIniValue("Setup", ("File" + std::to_string(i)).c_str(), v, sizeof v, t.data(),
                            static_cast<int>(t.size()));
    benchmark::DoNotOptimize(found);
  }
  state.SetComplexityN(n);
}

static void BM_Index(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  std::string t = FileList(n);
  char v[256];
  for (auto _ : state) {
    IniIndex index(t.data(), static_cast<int>(t.size()));
    int found = 0;
    for (int i = 1; i <= n + 1; ++i) found += index.Find("Setup", ("File" + std::to_string(i)).c_str(), v, sizeof v);
    benchmark::DoNotOptimize(found);
  }
  state.SetComplexityN(n);
}

BENCHMARK(BM_PlainScan)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Index)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
