#pragma once

#include <cstdint>

// The byte layout of Windows Metafiles (WMF) and Enhanced Metafiles (EMF): the constants the
// player reads and a metafile writer writes. Everything is little-endian.
//
// WMF: an optional 22-byte placeable header (key, handle, bounding box as four int16 left, top,
// right, bottom, units per inch, reserved, checksum), then the 18-byte standard header (type,
// header size in words, version, file size in words, object count, largest record in words,
// parameter count), then records of [size in 16-bit words: uint32][function: uint16][params].
// Parameters of most drawing records are stored last-to-first (y before x, bottom before top).
//
// EMF: records of [type: uint32][size in bytes, a multiple of 4: uint32][data]; the first is
// the header record, whose signature " EMF" sits at byte 40.
namespace glimmora::metafile {

namespace wmf {

constexpr uint32_t placeableKey = 0x9AC6CDD7;
constexpr int placeableHeaderBytes = 22;
constexpr int standardHeaderBytes = 18;
constexpr uint16_t standardHeaderWords = 9;
constexpr uint16_t typeMemory = 1;
constexpr uint16_t typeDisk = 2;
constexpr uint16_t version100 = 0x0100;
constexpr uint16_t version300 = 0x0300;
constexpr int recordHeaderBytes = 6;

// Record functions: the low byte identifies the call, the high byte is its usual word count.
enum Function : uint16_t {
    Eof = 0x0000,
    SaveDC = 0x001E,
    RealizePalette = 0x0035,
    SetPalEntries = 0x0037,
    CreatePalette = 0x00F7,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetRop2 = 0x0104,
    SetRelAbs = 0x0105,
    SetPolyFillMode = 0x0106,
    SetStretchBltMode = 0x0107,
    SetTextCharExtra = 0x0108,
    RestoreDC = 0x0127,
    InvertRegion = 0x012A,
    PaintRegion = 0x012B,
    SelectClipRegion = 0x012C,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    ResizePalette = 0x0139,
    DibCreatePatternBrush = 0x0142,
    SetLayout = 0x0149,
    DeleteObject = 0x01F0,
    CreatePatternBrush = 0x01F9,
    SetBkColor = 0x0201,
    SetTextColor = 0x0209,
    SetTextJustification = 0x020A,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    OffsetWindowOrg = 0x020F,
    OffsetViewportOrg = 0x0211,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    OffsetClipRgn = 0x0220,
    FillRegion = 0x0228,
    SetMapperFlags = 0x0231,
    SelectPalette = 0x0234,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    Polygon = 0x0324,
    Polyline = 0x0325,
    ScaleWindowExt = 0x0410,
    ScaleViewportExt = 0x0412,
    ExcludeClipRect = 0x0415,
    IntersectClipRect = 0x0416,
    Ellipse = 0x0418,
    FloodFill = 0x0419,
    Rectangle = 0x041B,
    SetPixel = 0x041F,
    FrameRegion = 0x0429,
    AnimatePalette = 0x0436,
    TextOut = 0x0521,
    PolyPolygon = 0x0538,
    ExtFloodFill = 0x0548,
    RoundRect = 0x061C,
    PatBlt = 0x061D,
    Escape = 0x0626,
    CreateRegion = 0x06FF,
    Arc = 0x0817,
    Pie = 0x081A,
    Chord = 0x0830,
    BitBlt = 0x0922,
    DibBitBlt = 0x0940,
    ExtTextOut = 0x0A32,
    StretchBlt = 0x0B23,
    DibStretchBlt = 0x0B41,
    SetDibToDev = 0x0D33,
    StretchDib = 0x0F43,
};

} // namespace wmf

namespace emf {

constexpr uint32_t signature = 0x464D4520; // " EMF"
constexpr int signatureOffset = 40;
constexpr int minHeaderBytes = 88;
constexpr int recordHeaderBytes = 8;
constexpr uint32_t stockObjectFlag = 0x80000000;

enum Record : uint32_t {
    Header = 1,
    PolyBezier = 2,
    Polygon = 3,
    Polyline = 4,
    PolyBezierTo = 5,
    PolylineTo = 6,
    PolyPolyline = 7,
    PolyPolygon = 8,
    SetWindowExtEx = 9,
    SetWindowOrgEx = 10,
    SetViewportExtEx = 11,
    SetViewportOrgEx = 12,
    SetBrushOrgEx = 13,
    Eof = 14,
    SetPixelV = 15,
    SetMapperFlags = 16,
    SetMapMode = 17,
    SetBkMode = 18,
    SetPolyFillMode = 19,
    SetRop2 = 20,
    SetStretchBltMode = 21,
    SetTextAlign = 22,
    SetTextColor = 24,
    SetBkColor = 25,
    OffsetClipRgn = 26,
    MoveToEx = 27,
    ExcludeClipRect = 29,
    IntersectClipRect = 30,
    ScaleViewportExtEx = 31,
    ScaleWindowExtEx = 32,
    SaveDC = 33,
    RestoreDC = 34,
    SetWorldTransform = 35,
    ModifyWorldTransform = 36,
    SelectObject = 37,
    CreatePen = 38,
    CreateBrushIndirect = 39,
    DeleteObject = 40,
    Ellipse = 42,
    Rectangle = 43,
    RoundRect = 44,
    Arc = 45,
    Chord = 46,
    Pie = 47,
    SelectPalette = 48,
    CreatePalette = 49,
    LineTo = 54,
    ArcTo = 55,
    BeginPath = 59,
    EndPath = 60,
    CloseFigure = 61,
    FillPath = 62,
    StrokeAndFillPath = 63,
    StrokePath = 64,
    SelectClipPath = 67,
    AbortPath = 68,
    GdiComment = 70,
    ExtSelectClipRgn = 75,
    BitBlt = 76,
    StretchBlt = 77,
    SetDiBitsToDevice = 80,
    StretchDiBits = 81,
    ExtCreateFontIndirectW = 82,
    ExtTextOutA = 83,
    ExtTextOutW = 84,
    PolyBezier16 = 85,
    Polygon16 = 86,
    Polyline16 = 87,
    PolyBezierTo16 = 88,
    PolylineTo16 = 89,
    PolyPolyline16 = 90,
    PolyPolygon16 = 91,
    CreateMonoBrush = 93,
    CreateDibPatternBrushPt = 94,
    ExtCreatePen = 95,
};

// Stock objects, selected as stockObjectFlag | index.
enum StockObject : uint32_t {
    WhiteBrush = 0,
    LtGrayBrush = 1,
    GrayBrush = 2,
    DkGrayBrush = 3,
    BlackBrush = 4,
    NullBrush = 5,
    WhitePen = 6,
    BlackPen = 7,
    NullPen = 8,
    OemFixedFont = 10,
    AnsiFixedFont = 11,
    AnsiVarFont = 12,
    SystemFont = 13,
    DeviceDefaultFont = 14,
    DefaultPalette = 15,
    SystemFixedFont = 16,
    DefaultGuiFont = 17,
    DcBrush = 18,
    DcPen = 19,
};

enum ModifyWorldMode : uint32_t { WorldIdentity = 1, WorldLeftMultiply = 2, WorldRightMultiply = 3, WorldSet = 4 };

} // namespace emf

// Values shared by both formats (the GDI constants the records carry).
enum MapMode : uint32_t {
    MapText = 1,
    MapLoMetric = 2,
    MapHiMetric = 3,
    MapLoEnglish = 4,
    MapHiEnglish = 5,
    MapTwips = 6,
    MapIsotropic = 7,
    MapAnisotropic = 8,
};

enum BkMode : uint32_t { BkTransparent = 1, BkOpaque = 2 };
enum PolyFillMode : uint32_t { FillAlternate = 1, FillWinding = 2 };

enum TextAlign : uint32_t {
    AlignUpdateCp = 0x0001,
    AlignRight = 0x0002,
    AlignCenter = 0x0006,
    AlignHorizontalMask = 0x0006,
    AlignBottom = 0x0008,
    AlignBaseline = 0x0018,
    AlignVerticalMask = 0x0018,
};

enum ExtTextOption : uint32_t { TextOpaque = 0x0002, TextClipped = 0x0004, TextGlyphIndex = 0x0010 };

enum PenStyle : uint32_t {
    PenSolid = 0,
    PenDash = 1,
    PenDot = 2,
    PenDashDot = 3,
    PenDashDotDot = 4,
    PenNull = 5,
    PenInsideFrame = 6,
    PenUserStyle = 7,
    PenAlternate = 8,
    PenStyleMask = 0x000F,
    PenEndCapSquare = 0x0100,
    PenEndCapFlat = 0x0200,
    PenEndCapMask = 0x0F00,
    PenJoinBevel = 0x1000,
    PenJoinMiter = 0x2000,
    PenJoinMask = 0xF000,
};

enum BrushStyle : uint32_t {
    BrushSolid = 0,
    BrushNull = 1,
    BrushHatched = 2,
    BrushPattern = 3,
    BrushDibPattern = 5,
    BrushDibPatternPt = 6,
};

enum HatchStyle : uint32_t {
    HatchHorizontal = 0,
    HatchVertical = 1,
    HatchForwardDiagonal = 2,
    HatchBackwardDiagonal = 3,
    HatchCross = 4,
    HatchDiagonalCross = 5,
};

enum DibColors : uint32_t { DibRgbColors = 0, DibPalColors = 1 };

// Raster operations the player understands; every other one is drawn as a plain copy.
enum RasterOp : uint32_t {
    RopBlackness = 0x00000042,
    RopNotSrcCopy = 0x00330008,
    RopDstInvert = 0x00550009,
    RopPatInvert = 0x005A0049,
    RopSrcInvert = 0x00660046,
    RopSrcAnd = 0x008800C6,
    RopSrcCopy = 0x00CC0020,
    RopSrcPaint = 0x00EE0086,
    RopPatCopy = 0x00F00021,
    RopWhiteness = 0x00FF0062,
};

enum RegionMode : uint32_t { RegionAnd = 1, RegionOr = 2, RegionXor = 3, RegionDiff = 4, RegionCopy = 5 };

// DIB headers.
constexpr uint32_t bitmapCoreHeaderBytes = 12;
constexpr uint32_t bitmapInfoHeaderBytes = 40;
enum DibCompression : uint32_t {
    DibRgb = 0,
    DibRle8 = 1,
    DibRle4 = 2,
    DibBitfields = 3,
    DibJpeg = 4,
    DibPng = 5,
};

} // namespace glimmora::metafile
