// korvatctl: drives Korvat.dll by hand, the way the client, its installer, a
// registration tool and the browser drive it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "arguments.h"

namespace {

constexpr char kProgramHelp[] =
    "korvatctl: drives Korvat.dll as the client, its installer, a registration tool\n"
    "and the browser do.\n"
    "\n"
    "usage: korvatctl [--module PATH] VERB [ARGUMENTS] [OPTIONS]\n"
    "       korvatctl [VERB] --help\n";

constexpr char kProgramNotes[] =
    "\n"
    "options:\n"
    "  --module PATH  the module to drive (default: Korvat.dll beside korvatctl.exe)\n"
    "  --help, -h     this help, or the help of a verb\n"
    "  --json         show and check: one JSON object instead of text\n"
    "\n"
    "FLAGS: a number (decimal, or hexadecimal with 0x) or names joined by \",\":\n"
    "  office-menu (0x2), browser-button (0x4), right-click (0x8); \"none\" for 0.\n"
    "\n"
    "Exit codes: 0 success; 1 the module or the system reported a failure;\n"
    "2 the command line was not understood.\n";

std::string FirstLine(const char* text) {
  const char* end = text;
  while (*end != '\0' && *end != '\n') ++end;
  return std::string(text, end);
}

void PrintProgramHelp() {
  std::printf("%s\nverbs (korvatctl VERB --help gives the arguments of one):\n", kProgramHelp);
  for (size_t i = 0; i < kVerbCount; ++i) {
    std::printf("  %-13s %s\n", kVerbs[i].name, FirstLine(kVerbs[i].help).c_str());
  }
  std::printf("%s", kProgramNotes);
}

void PrintVerbHelp(const Verb& verb) {
  std::printf("usage: korvatctl [--module PATH] %s\n\n%s\n", verb.usage, verb.help);
}

}  // namespace

int main(int argc, char** argv) {
  // Lines end in "\n" alone, wherever the output goes.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);

  Invocation invocation;
  std::string error;
  switch (ParseCommandLine(argc, argv, kVerbs, kVerbCount, &invocation, &error)) {
    case ParseStatus::kUsageError:
      std::fprintf(stderr, "korvatctl: %s\n", error.c_str());
      return kExitUsage;
    case ParseStatus::kHelp:
      if (invocation.verb != nullptr) {
        PrintVerbHelp(*invocation.verb);
      } else {
        PrintProgramHelp();
      }
      return kExitSuccess;
    case ParseStatus::kRun:
      break;
  }
  const int exit_code = invocation.verb->handler(invocation);
  std::fflush(stdout);
  return exit_code;
}
