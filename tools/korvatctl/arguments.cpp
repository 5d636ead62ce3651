#include "arguments.h"

#include <cstdio>
#include <cstring>

#include "settings/option_flags.h"

// korvatctl names what the module names, as the module does.
using namespace korvat;

namespace {

struct FlagName {
  uint32_t bit;
  const char* name;
};

// In the order of their bits.
constexpr FlagName kFlagNames[] = {
    {OPTION_SETTINGS_PRESENT, "settings-present"},
    {OPTION_OFFICE_MENU, "office-menu"},
    {OPTION_BROWSER_BUTTON, "browser-button"},
    {OPTION_RIGHT_CLICK, "right-click"},
};

struct OptionName {
  const char* name;
  unsigned bit;  // 0: a program-wide option
  bool takes_value;
};

constexpr OptionName kOptions[] = {
    {"--help", 0, false},
    {"-h", 0, false},
    {"--module", 0, true},
    {"--page", kOptionPage, true},
    {"--install", kOptionInstall, true},
    {"--client-logged-on", kOptionClientLoggedOn, false},
    {"--json", kOptionJson, false},
};

bool ParseNumber(const std::string& text, uint32_t* value) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const unsigned base = hex ? 16 : 10;
  uint64_t number = 0;
  for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    number = number * base + digit;
    if (number > 0xFFFFFFFFull) return false;
  }
  *value = static_cast<uint32_t>(number);
  return true;
}

bool ParseFlagNames(const std::string& text, uint32_t* flags) {
  uint32_t result = 0;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string name =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bool known = false;
    for (const FlagName& flag : kFlagNames) {
      if (name == flag.name) {
        result |= flag.bit;
        known = true;
      }
    }
    if (!known) return false;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  *flags = result;
  return true;
}

bool IsChoice(const char* choices, const std::string& word) {
  for (const char* at = choices; *at != '\0';) {
    const char* bar = std::strchr(at, '|');
    const size_t length = bar != nullptr ? static_cast<size_t>(bar - at) : std::strlen(at);
    if (word.size() == length && word.compare(0, length, at, length) == 0) return true;
    if (bar == nullptr) break;
    at = bar + 1;
  }
  return false;
}

std::string CountText(int count) {
  if (count == 0) return "no arguments";
  return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

std::string ExpectedArguments(const Verb& verb) {
  if (verb.min_args == verb.max_args) return CountText(verb.min_args);
  return std::to_string(verb.min_args) + " to " + CountText(verb.max_args);
}

const char* OptionNameOf(unsigned bit) {
  for (const OptionName& option : kOptions) {
    if (option.bit == bit) return option.name;
  }
  return "?";
}

// Checks what the whole line gave against the verb's entry.
bool CheckVerb(const Verb& verb, unsigned seen, Invocation* out, std::string* error) {
  const std::string prefix = std::string(verb.name) + ": ";
  for (unsigned bit = 1; bit != 0 && bit <= seen; bit <<= 1) {
    if ((seen & bit) != 0 && (verb.options & bit) == 0) {
      *error = prefix + OptionNameOf(bit) + " is not an option of this verb";
      return false;
    }
  }
  for (unsigned bit = 1; bit != 0 && bit <= verb.required; bit <<= 1) {
    if ((verb.required & bit) != 0 && (seen & bit) == 0) {
      *error = prefix + OptionNameOf(bit) + " is required (usage: korvatctl " + verb.usage + ")";
      return false;
    }
  }
  const int count = static_cast<int>(out->args.size());
  if (count < verb.min_args || count > verb.max_args) {
    *error =
        prefix + "expects " + ExpectedArguments(verb) + " (usage: korvatctl " + verb.usage + ")";
    return false;
  }
  if (verb.choices != nullptr && count > 0 && !IsChoice(verb.choices, out->args[0])) {
    *error = prefix + "'" + out->args[0] + "' is not one of " + verb.choices;
    return false;
  }
  if (verb.flags_argument && count > 0 && !ParseFlags(out->args[0], &out->flags)) {
    *error = prefix + "malformed flags '" + out->args[0] +
             "' (a number such as 0xA, or names such as office-menu,right-click)";
    return false;
  }
  return true;
}

}  // namespace

bool ParseFlags(const std::string& text, uint32_t* flags) {
  if (text.empty()) return false;
  if (text == "none") {
    *flags = 0;
    return true;
  }
  if (text[0] >= '0' && text[0] <= '9') return ParseNumber(text, flags);
  return ParseFlagNames(text, flags);
}

std::string DescribeFlags(uint32_t flags) {
  std::string names;
  uint32_t rest = flags;
  for (const FlagName& flag : kFlagNames) {
    if ((flags & flag.bit) == 0) continue;
    names += names.empty() ? "" : " ";
    names += flag.name;
    rest &= ~flag.bit;
  }
  if (rest != 0) {
    char hex[16];
    std::snprintf(hex, sizeof(hex), "0x%X", rest);
    names += names.empty() ? "" : " ";
    names += hex;
  }
  return names.empty() ? "none" : names;
}

ParseStatus ParseCommandLine(int argc, const char* const* argv, const Verb* verbs,
                             size_t verb_count, Invocation* out, std::string* error) {
  *out = Invocation();
  unsigned seen = 0;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (!options_ended && word == "--") {
      options_ended = true;
      continue;
    }
    // "-1" is a (malformed) number, not an option.
    const bool option_like =
        word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
    if (!options_ended && option_like) {
      const size_t equals = word.find('=');
      const std::string name = word.substr(0, equals);
      const OptionName* option = nullptr;
      for (const OptionName& candidate : kOptions) {
        if (name == candidate.name) option = &candidate;
      }
      if (option == nullptr) {
        *error = "unknown option '" + name + "' (korvatctl --help lists the options)";
        return ParseStatus::kUsageError;
      }
      std::string value;
      if (option->takes_value) {
        if (equals != std::string::npos) {
          value = word.substr(equals + 1);
        } else if (i + 1 < argc) {
          value = argv[++i];
        }
        if (value.empty()) {
          *error = name + " needs a value";
          return ParseStatus::kUsageError;
        }
      } else if (equals != std::string::npos) {
        *error = name + " takes no value";
        return ParseStatus::kUsageError;
      }
      seen |= option->bit;
      if (name == "--help" || name == "-h") out->help = true;
      if (name == "--module") out->module = value;
      if (name == "--page") out->page = value;
      if (name == "--install") {
        out->install = value;
        out->has_install = true;
      }
      if (name == "--client-logged-on") out->client_logged_on = true;
      if (name == "--json") out->json = true;
      continue;
    }
    if (out->verb != nullptr) {
      out->args.push_back(word);
      continue;
    }
    for (size_t v = 0; v < verb_count; ++v) {
      if (word == verbs[v].name) out->verb = &verbs[v];
    }
    if (out->verb == nullptr) {
      *error = "unknown verb '" + word + "' (korvatctl --help lists the verbs)";
      return ParseStatus::kUsageError;
    }
  }
  if (out->help) return ParseStatus::kHelp;
  if (out->verb == nullptr) {
    *error = "no verb given (korvatctl --help lists the verbs)";
    return ParseStatus::kUsageError;
  }
  return CheckVerb(*out->verb, seen, out, error) ? ParseStatus::kRun : ParseStatus::kUsageError;
}
