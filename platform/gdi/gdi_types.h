// Plain value types and constants of the Windows drawing interface (GDI) as
// the recording context and the playback device use them: points,
// rectangles, the world-transform matrix, colours and the numeric codes of
// EMF records, stock objects, mix modes and raster operations.
#pragma once

#include <cstdint>

namespace yel::gdi {

// Platform colour: red in the low byte, then green and blue (0x00BBGGRR).
using ColorRef = std::uint32_t;
constexpr ColorRef Rgb(int r, int g, int b) {
  return ColorRef(r & 255) | ColorRef(g & 255) << 8 | ColorRef(b & 255) << 16;
}
constexpr int RedOf(ColorRef c) { return int(c & 255); }
constexpr int GreenOf(ColorRef c) { return int(c >> 8 & 255); }
constexpr int BlueOf(ColorRef c) { return int(c >> 16 & 255); }

struct Point {
  std::int32_t x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct PointD {
  double x = 0, y = 0;
};

// Left, top, right, bottom as GDI keeps them (right and bottom exclusive for
// filled shapes, inclusive in the bounds of metafile records).
struct Rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t Width() const { return right - left; }
  std::int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// x' = eM11·x + eM21·y + eDx, y' = eM12·x + eM22·y + eDy (the XFORM order).
struct XForm {
  double eM11 = 1, eM12 = 0, eM21 = 0, eM22 = 1, eDx = 0, eDy = 0;
  PointD Apply(double x, double y) const {
    return {eM11 * x + eM21 * y + eDx, eM12 * x + eM22 * y + eDy};
  }
  // The transform that applies this one first and then `second`
  // (CombineTransform(this, second)).
  XForm Then(const XForm& second) const;
  // The inverse; a singular matrix gives the identity.
  XForm Inverse() const;
  double Determinant() const { return eM11 * eM22 - eM12 * eM21; }
  bool IsIdentity() const {
    return eM11 == 1 && eM12 == 0 && eM21 == 0 && eM22 == 1 && eDx == 0 && eDy == 0;
  }
};

// Object handles of the recording context: stock objects have the top bit
// set and their number in the low bits, as in EMF object indexes.
using ObjectHandle = std::uint32_t;
constexpr ObjectHandle kStockFlag = 0x80000000u;
constexpr ObjectHandle StockObject(int n) { return kStockFlag | ObjectHandle(n); }

enum StockObjectNumber : int {
  WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3, BLACK_BRUSH = 4,
  NULL_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7, NULL_PEN = 8, OEM_FIXED_FONT = 10,
  ANSI_FIXED_FONT = 11, ANSI_VAR_FONT = 12, SYSTEM_FONT = 13, DEVICE_DEFAULT_FONT = 14,
  DEFAULT_PALETTE = 15, SYSTEM_FIXED_FONT = 16, DEFAULT_GUI_FONT = 17, DC_BRUSH = 18,
  DC_PEN = 19,
};

// EMF record types.
enum RecordType : std::uint32_t {
  EMR_HEADER = 1, EMR_POLYBEZIER = 2, EMR_POLYGON = 3, EMR_POLYLINE = 4,
  EMR_POLYBEZIERTO = 5, EMR_POLYLINETO = 6, EMR_POLYPOLYLINE = 7, EMR_POLYPOLYGON = 8,
  EMR_SETWINDOWEXTEX = 9, EMR_SETWINDOWORGEX = 10, EMR_SETVIEWPORTEXTEX = 11,
  EMR_SETVIEWPORTORGEX = 12, EMR_SETBRUSHORGEX = 13, EMR_EOF = 14, EMR_SETPIXELV = 15,
  EMR_SETMAPPERFLAGS = 16, EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18,
  EMR_SETPOLYFILLMODE = 19, EMR_SETROP2 = 20, EMR_SETSTRETCHBLTMODE = 21,
  EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25,
  EMR_OFFSETCLIPRGN = 26, EMR_MOVETOEX = 27, EMR_SETMETARGN = 28,
  EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30, EMR_SCALEVIEWPORTEXTEX = 31,
  EMR_SCALEWINDOWEXTEX = 32, EMR_SAVEDC = 33, EMR_RESTOREDC = 34,
  EMR_SETWORLDTRANSFORM = 35, EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37,
  EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40,
  EMR_ANGLEARC = 41, EMR_ELLIPSE = 42, EMR_RECTANGLE = 43, EMR_ROUNDRECT = 44,
  EMR_ARC = 45, EMR_CHORD = 46, EMR_PIE = 47, EMR_SELECTPALETTE = 48,
  EMR_CREATEPALETTE = 49, EMR_EXTFLOODFILL = 53, EMR_LINETO = 54, EMR_ARCTO = 55,
  EMR_POLYDRAW = 56, EMR_SETARCDIRECTION = 57, EMR_SETMITERLIMIT = 58,
  EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_CLOSEFIGURE = 61, EMR_FILLPATH = 62,
  EMR_STROKEANDFILLPATH = 63, EMR_STROKEPATH = 64, EMR_FLATTENPATH = 65,
  EMR_WIDENPATH = 66, EMR_SELECTCLIPPATH = 67, EMR_ABORTPATH = 68, EMR_COMMENT = 70,
  EMR_FILLRGN = 71, EMR_FRAMERGN = 72, EMR_INVERTRGN = 73, EMR_PAINTRGN = 74,
  EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76, EMR_STRETCHBLT = 77, EMR_MASKBLT = 78,
  EMR_PLGBLT = 79, EMR_SETDIBITSTODEVICE = 80, EMR_STRETCHDIBITS = 81,
  EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTA = 83, EMR_EXTTEXTOUTW = 84,
  EMR_POLYBEZIER16 = 85, EMR_POLYGON16 = 86, EMR_POLYLINE16 = 87,
  EMR_POLYBEZIERTO16 = 88, EMR_POLYLINETO16 = 89, EMR_POLYPOLYLINE16 = 90,
  EMR_POLYPOLYGON16 = 91, EMR_POLYDRAW16 = 92, EMR_CREATEMONOBRUSH = 93,
  EMR_CREATEDIBPATTERNBRUSHPT = 94, EMR_EXTCREATEPEN = 95, EMR_SETICMMODE = 98,
  EMR_SMALLTEXTOUT = 108, EMR_ALPHABLEND = 114, EMR_SETLAYOUT = 115,
  EMR_TRANSPARENTBLT = 116, EMR_GRADIENTFILL = 118,
};

enum MapMode : int {
  MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5,
  MM_TWIPS = 6, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8,
};

// Mix modes of the pen (SetROP2).
enum Rop2 : int {
  R2_BLACK = 1, R2_NOTMERGEPEN = 2, R2_MASKNOTPEN = 3, R2_NOTCOPYPEN = 4,
  R2_MASKPENNOT = 5, R2_NOT = 6, R2_XORPEN = 7, R2_NOTMASKPEN = 8, R2_MASKPEN = 9,
  R2_NOTXORPEN = 10, R2_NOP = 11, R2_MERGENOTPEN = 12, R2_COPYPEN = 13,
  R2_MERGEPENNOT = 14, R2_MERGEPEN = 15, R2_WHITE = 16,
};

// Raster operations of the bit-block transfers.
enum RasterOp : std::uint32_t {
  BLACKNESS = 0x00000042, NOTSRCERASE = 0x001100A6, NOTSRCCOPY = 0x00330008,
  SRCERASE = 0x00440328, DSTINVERT = 0x00550009, PATINVERT = 0x005A0049,
  SRCINVERT = 0x00660046, SRCAND = 0x008800C6, PATAND = 0x00A000C9, NOP = 0x00AA0029,
  MERGEPAINT = 0x00BB0226, MERGECOPY = 0x00C000CA, SRCCOPY = 0x00CC0020,
  SRCPAINT = 0x00EE0086, PATCOPY = 0x00F00021, PATPAINT = 0x00FB0A09,
  WHITENESS = 0x00FF0062,
};

enum BkMode : int { TRANSPARENT = 1, OPAQUE = 2 };
enum PolyFillMode : int { ALTERNATE = 1, WINDING = 2 };
enum ArcDirection : int { AD_COUNTERCLOCKWISE = 1, AD_CLOCKWISE = 2 };
enum GraphicsMode : int { GM_COMPATIBLE = 1, GM_ADVANCED = 2 };
enum WorldTransformMode : int { MWT_IDENTITY = 1, MWT_LEFTMULTIPLY = 2, MWT_RIGHTMULTIPLY = 3, MWT_SET = 4 };
enum RegionMode : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

enum PenStyle : std::uint32_t {
  PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
  PS_INSIDEFRAME = 6, PS_USERSTYLE = 7, PS_ALTERNATE = 8, PS_STYLE_MASK = 0xF,
  PS_ENDCAP_ROUND = 0, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200, PS_ENDCAP_MASK = 0xF00,
  PS_JOIN_ROUND = 0, PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000, PS_JOIN_MASK = 0xF000,
  PS_COSMETIC = 0, PS_GEOMETRIC = 0x10000,
};

enum BrushStyle : std::uint32_t {
  BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5,
  BS_DIBPATTERNPT = 6,
};

enum HatchStyle : std::uint32_t {
  HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
  HS_DIAGCROSS = 5,
};

// Point types of paths and PolyDraw.
enum PathPointType : std::uint8_t {
  PT_CLOSEFIGURE = 1, PT_LINETO = 2, PT_BEZIERTO = 4, PT_MOVETO = 6,
};

enum GradientMode : std::uint32_t {
  GRADIENT_FILL_RECT_H = 0, GRADIENT_FILL_RECT_V = 1, GRADIENT_FILL_TRIANGLE = 2,
};

constexpr std::uint8_t AC_SRC_OVER = 0;
constexpr std::uint8_t AC_SRC_ALPHA = 1;

// One corner of a gradient: position and 16-bit colour channels.
struct TriVertex {
  std::int32_t x = 0, y = 0;
  std::uint16_t red = 0, green = 0, blue = 0, alpha = 0;
};

// The description of a font (LOGFONTW): what the canvas asks of the
// selected font.
struct LogFont {
  std::int32_t lfHeight = 0, lfWidth = 0, lfEscapement = 0, lfOrientation = 0, lfWeight = 0;
  std::uint8_t lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0;
  std::uint8_t lfOutPrecision = 0, lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
  char16_t lfFaceName[32] = {};
};

}  // namespace yel::gdi
