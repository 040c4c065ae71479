#pragma once

#include <QtGlobal>

// The program's two colours: deep blue for new items, texts and window
// backgrounds; amber for selections and highlights.
namespace quobex::Colours {

inline constexpr quint32 kBlue = 0x006699;
inline constexpr quint32 kAmber = 0xFAB205;

// As opaque QRgb values.
inline constexpr quint32 kBlueRgb = 0xFF000000u | kBlue;
inline constexpr quint32 kAmberRgb = 0xFF000000u | kAmber;

} // namespace quobex::Colours
