// Module-wide state shared by every subsystem: the module's own instance,
// the registered host notification message, the windows the host handed
// over and the module's directory.
#pragma once

#include <windows.h>

#include <cstddef>

namespace korvat {

// The DLL's own instance handle, recorded at process attach.
extern HMODULE ModuleInstance;

// The window message registered under "WM_ZR_NOTIFY_MSG" at process attach.
extern UINT g_ZRNotifyMsg;

// The host window parsed by InitControl: target of the notifications and
// owner of the setup notice dialog. Null until InitControl.
extern HWND g_hHostWnd;
// The parent window given to ZRNewInstance; the browser toolbar installation
// looks for the browser window that hosts it.
extern HWND g_hPluginParent;

// File names of the siblings that live in the module's directory.
inline constexpr char kResourceModuleFile[] = "zrtpres.dll";
inline constexpr char kControlModuleFile[] = "zrtpctl.dll";
inline constexpr char kUninstallerFile[] = "tpvoun.exe";
inline constexpr char kOfficeMenuModuleFile[] = "nvxMSAI.dll";
inline constexpr char kRightMenuModuleFile[] = "nvxrmenu.dll";

// Returns the last backslash of `path` (multibyte-aware), or null.
const char* FindLastBackslash(const char* path);

// Appends "\" unless `path` already ends in one; false when it does not fit
// `size` bytes.
bool AppendBackslash(char* path, size_t size);

// Fills `path` (MAX_PATH bytes) with the module's full file name. False,
// with `path` empty, when the name cannot be had or does not fit; the
// thread's last error is left as the system set it.
bool GetModulePath(char* path);

// Fills `dir` (MAX_PATH bytes) with the directory of the module's own file,
// without a trailing backslash; empty when the name cannot be had or holds
// no backslash.
void GetModuleDirectory(char* dir);

// Fills `path` and `dir` (MAX_PATH bytes each) with the module's full file
// name and its directory. False when the name cannot be had or holds no
// backslash; callers that need a real directory skip their work then.
bool GetModulePathAndDirectory(char* path, char* dir);

// Writes `dir` + "\" + `file_name` into `out`. False (and `out` empty) when
// the result would not fit `out_size` bytes.
bool JoinPath(const char* dir, const char* file_name, char* out, size_t out_size);

// The path of a sibling file: the module directory, a backslash and the
// file name. False (and `out` empty) when the directory cannot be had, as
// for a module path of MAX_PATH characters or more: "\name" would name the
// root of the current drive, so nothing is loaded or started then.
bool GetSiblingPath(const char* file_name, char* out, size_t out_size);

}  // namespace korvat
