// Runs one of the module's own registry scripts (resource type "REGISTRY").
#pragma once

#include <windows.h>

namespace korvat {

// Runs REGISTRY resource `id` (IDR_KORVATEXEC or IDR_TOOLBAR_BUTTON) of the
// module's file in the register pass (`do_register` true) or the unregister
// pass, with the one replacement %MODULE%: the module's full path, its single
// quotes doubled so that it can stand inside a quoted token.
HRESULT RunRegistryResource(UINT id, bool do_register);

}  // namespace korvat
