// What the benchmark programs share: a clock, rounds that time a subject and
// its floor in turn, one way of printing the figures, and a look into a
// loaded module's import table.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace korvat_bench {

inline double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One side's rounds, in seconds per call.
struct Figures {
  double median, min, max;
};

struct Comparison {
  Figures subject, floor;
  double ratio() const { return subject.median / floor.median; }
};

inline Figures Summarize(std::vector<double> rounds) {
  std::sort(rounds.begin(), rounds.end());
  return {rounds[rounds.size() / 2], rounds.front(), rounds.back()};
}

// Seconds per call of `calls` calls.
inline double TimeCalls(int calls, const std::function<void()>& call) {
  const double start = Seconds();
  for (int i = 0; i < calls; ++i) call();
  return (Seconds() - start) / calls;
}

// How many rounds, of how many calls, of what.
struct Plan {
  int rounds;
  int calls;
  const char* noun;  // the calls, as the count reads: "loads", "import"
};

// One call of each to warm up, then the rounds. A round takes the subject's
// calls and the floor's in turn, a tenth of them at a time, so that a slow
// spell of the machine (two cores, shared) falls on both sides alike.
inline Comparison Compare(const Plan& plan, const std::function<void()>& subject,
                          const std::function<void()>& floor) {
  subject();
  floor();
  const int slice = plan.calls >= 10 ? plan.calls / 10 : 1;
  std::vector<double> subject_rounds, floor_rounds;
  for (int round = 0; round < plan.rounds; ++round) {
    double subject_time = 0, floor_time = 0;
    for (int done = 0; done < plan.calls; done += slice) {
      const int calls = std::min(slice, plan.calls - done);
      subject_time += TimeCalls(calls, subject) * calls;
      floor_time += TimeCalls(calls, floor) * calls;
    }
    subject_rounds.push_back(subject_time / plan.calls);
    floor_rounds.push_back(floor_time / plan.calls);
  }
  return {Summarize(subject_rounds), Summarize(floor_rounds)};
}

// Unit of the printed figures: microseconds or milliseconds per call.
struct Unit {
  double scale;
  const char* name;
};
inline constexpr Unit kMicroseconds = {1e6, "us"};
inline constexpr Unit kMilliseconds = {1e3, "ms"};

// "  name   median unit  (min ..., max ...)"
inline void PrintFigures(const char* name, const Figures& figures, Unit unit) {
  std::printf("  %-40s %9.1f %s  (min %.1f, max %.1f)\n", name, figures.median * unit.scale,
              unit.name, figures.min * unit.scale, figures.max * unit.scale);
}

// A further line of figures under a title: the name, and the value as
// `format` gives it.
inline void PrintLine(const char* name, const char* format, double value) {
  std::printf("  %-40s ", name);
  std::printf(format, value);
  std::printf("\n");
}

// The title, both sides' median, minimum and maximum per call, and the
// ratio of the medians.
inline void Print(const char* title, const Plan& plan, const char* subject, const char* floor,
                  const Comparison& comparison, Unit unit) {
  std::printf("%s: %d rounds of %d %s, median per call (min, max)\n", title, plan.rounds,
              plan.calls, plan.noun);
  PrintFigures(subject, comparison.subject, unit);
  PrintFigures(floor, comparison.floor, unit);
  PrintLine("ratio", "%9.2f", comparison.ratio());
  std::fflush(stdout);
}

// The first entry of a loaded module's import directory, which ends with an
// entry without a name; null when it imports nothing.
inline IMAGE_IMPORT_DESCRIPTOR* FirstImport(HMODULE module) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  return imports.Size == 0
             ? nullptr
             : reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
}

// Calls `visit` with the DLL, the function (null for one imported by
// ordinal) and the slot of each import of a loaded module.
inline void VisitImports(
    HMODULE module,
    const std::function<void(const char* dll, const char* function, void** slot)>& visit) {
  auto* base = reinterpret_cast<BYTE*>(module);
  for (auto* entry = FirstImport(module); entry != nullptr && entry->Name != 0; ++entry) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (entry->OriginalFirstThunk != 0 ? entry->OriginalFirstThunk : entry->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (size_t i = 0; names[i].u1.AddressOfData != 0; ++i) {
      const char* function = nullptr;
      if (!IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) {
        function = reinterpret_cast<const char*>(
            reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData)->Name);
      }
      visit(reinterpret_cast<const char*>(base + entry->Name), function,
            reinterpret_cast<void**>(&slots[i].u1.Function));
    }
  }
}

// Points an import slot elsewhere; the address it held.
inline void* Redirect(void** slot, void* to) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &old);
  void* was = *slot;
  *slot = to;
  VirtualProtect(slot, sizeof(*slot), old, &old);
  return was;
}

}  // namespace korvat_bench
