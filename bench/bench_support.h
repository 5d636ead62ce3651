// What the benchmark programs share: a clock, rounds that time a subject and
// its floor in turn, and one way of printing the figures.
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

// One call of each to warm up, then the rounds, the subject's calls and the
// floor's in turn, so that a slow spell of the machine (two cores, shared)
// falls on both sides.
inline Comparison Compare(const Plan& plan, const std::function<void()>& subject,
                          const std::function<void()>& floor) {
  subject();
  floor();
  std::vector<double> subject_rounds, floor_rounds;
  for (int round = 0; round < plan.rounds; ++round) {
    subject_rounds.push_back(TimeCalls(plan.calls, subject));
    floor_rounds.push_back(TimeCalls(plan.calls, floor));
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

}  // namespace korvat_bench
