// The resource module: zrtpres.dll beside the module, or the module itself
// when that file cannot be loaded. Strings, the setup notice dialog and the
// icons come from it.
#pragma once

#include <windows.h>

namespace korvat {

extern HMODULE ResourceModule;
// 1 when ResourceModule is a separately loaded zrtpres.dll that must be freed.
extern int ResourceModuleLoaded;
// Full path of zrtpres.dll as last computed, kept even when loading failed;
// empty when the module directory could not be had.
extern char ResourceModulePath[MAX_PATH];

// Loads zrtpres.dll unless a resource module is already held.
void LoadResourceModule();
// Loads zrtpres.dll afresh, replacing a held handle without freeing it.
void ReloadResourceModule();
// Loads `path` as the resource module, replacing a held handle without
// freeing it, or falls back to the module itself; ResourceModulePath stays.
void UseResourceLibrary(const char* path);
// Frees a separately loaded zrtpres.dll; the module's own handle stays.
void FreeResourceModule();

// Loads string `id` from ResourceModule into `buffer`, zeroed first; a
// missing string leaves it empty. Returns the length of the text.
int LoadResourceString(UINT id, char* buffer, int size);

}  // namespace korvat
