// korvatctl's command line: the verb table's shape, the parsed invocation,
// and the parsing of the line and of option flag sets. No Windows calls, so
// that every rule can be checked from a table of command lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Exit codes of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailed = 1;  // an export, a COM call or a file reported failure
inline constexpr int kExitUsage = 2;   // the command line was not understood

// The options a verb may take besides the program-wide --module and --help.
enum VerbOption : unsigned {
  kOptionPage = 1u << 0,            // --page URL
  kOptionInstall = 1u << 1,         // --install FIELDS
  kOptionClientLoggedOn = 1u << 2,  // --client-logged-on
  kOptionJson = 1u << 3,            // --json
};

struct Invocation;
using VerbHandler = int (*)(const Invocation&);

struct Verb {
  const char* name;
  VerbHandler handler;
  int min_args;
  int max_args;
  unsigned options;   // the VerbOption bits the verb accepts
  unsigned required;  // the VerbOption bits it cannot do without
  // The words the first argument may be, separated by "|"; null for any.
  const char* choices;
  // The first argument is a set of option flags (a number or flag names).
  bool flags_argument;
  const char* usage;  // the verb and its arguments
  const char* help;   // what it does, one or more lines
};

struct Invocation {
  const Verb* verb = nullptr;  // null with `help`: the program's help
  std::vector<std::string> args;
  std::string module;  // --module; empty: Korvat.dll beside the program
  std::string page;
  std::string install;
  bool has_install = false;
  bool client_logged_on = false;
  bool json = false;
  uint32_t flags = 0;  // the first argument of a flags verb
  bool help = false;
};

enum class ParseStatus { kRun, kHelp, kUsageError };

// Parses argv[1..argc) against `verbs`. kUsageError leaves a one-line
// description in `error` (without the program's name).
ParseStatus ParseCommandLine(int argc, const char* const* argv, const Verb* verbs,
                             size_t verb_count, Invocation* out, std::string* error);

// A flag set: a decimal or "0x" hexadecimal number of at most 32 bits, or
// flag names joined by "," ("office-menu,right-click"), or "none".
bool ParseFlags(const std::string& text, uint32_t* flags);
// The names of the set bits ("settings-present browser-button"), "none"
// when there are none; unknown bits as a hexadecimal rest.
std::string DescribeFlags(uint32_t flags);

// The verb table of the program and its size (verbs.cpp).
extern const Verb kVerbs[];
extern const size_t kVerbCount;
