// The option functions: switch the three integrations (shell right-click
// menu, office add-ins, browser button) on and off, read their stored state,
// and write or remove their registrations from a set of flags.
#pragma once

#include <windows.h>

#include <cstddef>

#include "settings/option_flags.h"

namespace korvat {

class RegKeyHandle;

// How one stored settings value reads, and what switching it writes.
enum class StoredMatch { kMissing, kText, kOtherText };
struct OptionRule {
  StoredMatch match;
  const char* text;            // kText: compared without regard to case
  bool reads_on;               // the state the stored value stands for
  const char* write_when_on;   // null: nothing is written
  const char* write_when_off;  // null: nothing is written
};

// One settings value that holds an integration's state.
struct OptionSetting {
  const char* value_name;
  DWORD flag;
  const OptionRule* rules;
  size_t rule_count;
};

extern const OptionSetting kRightClickSetting;
extern const OptionSetting kOfficeMenuSetting;
extern const OptionSetting kBrowserButtonSetting;

// Reads the setting's value from the open settings key and returns the rule
// that matches it.
const OptionRule& ReadOptionRule(const RegKeyHandle& key, const OptionSetting& setting);
// Writes what `rule` asks for when the integration is switched `on` or off.
void WriteOptionValue(RegKeyHandle& key, const OptionSetting& setting, const OptionRule& rule,
                      bool on);

// The three settings in the order every reader and writer takes them.
extern const OptionSetting* const kOptionSettings[3];

// TapvoSetOption: switches each integration on or off as `flags` asks, in
// the settings key and in its registrations; -1 without a settings key.
int SetOptions(DWORD flags);
// TapvoGetOption: adds to `*flags` the settings-present bit and the bits of
// the integrations that are on; -1 when `flags` is null or without a settings
// key.
int GetOptions(DWORD* flags);
// TapvoRemoveAddIn: writes the registrations of the integrations that `flags`
// names and removes the others; the settings key stays as it is.
int RemoveAddIns(DWORD flags);

}  // namespace korvat
