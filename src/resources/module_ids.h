// The identifiers the module registers under, in one place: the command
// object's class and interface, the type library and the browser's key for
// the toolbar button. The registry scripts and the type library's source
// spell them again, as their own formats need.
#pragma once

#include <windows.h>

// As text, for keys that are put together where they are declared.
#define KORVAT_EXEC_CLSID_TEXT "{80947ADC-151D-490B-87F1-7C8CE1B46220}"
#define KORVAT_LIBRARY_ID_TEXT "{E06D2368-C03F-41E9-95A8-EBB8F142DBCC}"

namespace korvat {

inline constexpr CLSID CLSID_KorvatExec = {
    0x80947adc, 0x151d, 0x490b, {0x87, 0xf1, 0x7c, 0x8c, 0xe1, 0xb4, 0x62, 0x20}};
// {9EC74B0D-C5A5-4620-808A-29443B79D9A3}
inline constexpr IID IID_IKorvatExec = {
    0x9ec74b0d, 0xc5a5, 0x4620, {0x80, 0x8a, 0x29, 0x44, 0x3b, 0x79, 0xd9, 0xa3}};
// The type library KORVATLib.
inline constexpr GUID LIBID_KORVATLib = {
    0xe06d2368, 0xc03f, 0x41e9, {0x95, 0xa8, 0xeb, 0xb8, 0xf1, 0x42, 0xdb, 0xcc}};

inline constexpr char kKorvatExecClsid[] = KORVAT_EXEC_CLSID_TEXT;
// The toolbar button, under either hive.
inline constexpr char kButtonKey[] =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\" KORVAT_EXEC_CLSID_TEXT;

// The window class of the client's frame window, which takes the page.
inline constexpr char kClientFrameClass[] =
    "Nvx_FrameWnd_Tapvo_13D821D2_807A_40C9_AA97_220F9D84041F";

}  // namespace korvat
