// The install cookie's value split into the installation choices, against a
// plain reading of the rule: the fields are the texts between runs of "@",
// each cut to its buffer; the fourth gives the scheme only when that is
// "http" or "https" in any letter case; missing fields keep the defaults.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "settings/cookie_file.h"

// The tests use the module's names as its own code does.
using namespace korvat;

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string value = std::string(reinterpret_cast<const char*>(data), size).c_str();
  std::vector<std::string> fields;
  for (size_t at = 0; at < value.size();) {
    const size_t end = std::min(value.find('@', at), value.size());
    if (end > at) fields.push_back(value.substr(at, end - at).substr(0, kCookieLineSize - 1));
    at = end + 1;
  }
  auto field = [&](size_t i, const char* missing) {
    return i < fields.size() ? fields[i] : std::string(missing);
  };
  std::string scheme = "http";
  const size_t colon = field(3, "").find("://");
  if (colon != std::string::npos && (Lower(fields[3].substr(0, colon)) == "http" ||
                                     Lower(fields[3].substr(0, colon)) == "https")) {
    scheme = fields[3].substr(0, colon);
  }

  InstallChoices choices;
  SetInstallDefaults(&choices);
  SplitInstallCookie(value.c_str(), &choices);
  Check(choices.option == field(0, "FALSE") && choices.office_menu == field(1, "FALSE") &&
        choices.right_click == field(2, "FALSE") && choices.scheme == scheme &&
        choices.has_brand == field(4, "FALSE") && choices.brand_title == field(5, ""));
  return 0;
}
