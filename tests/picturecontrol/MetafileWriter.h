#pragma once

#include "picturecontrol/MetafileFormat.h"
#include "picturecontrol/PictureMetafile.h"

// Qt
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

// Writers of Windows Metafiles and Enhanced Metafiles, record by record, for tests, on the
// headers and bitmaps of picturecontrol/PictureMetafile.h. Every method appends one record;
// finish() returns the file with its header sizes filled in.
namespace glimmora::metafile {

class WmfWriter {
public:
    // With a placeable header when bounds is given (logical units, unitsPerInch per inch).
    WmfWriter() = default;
    WmfWriter(const QRect& bounds, uint16_t unitsPerInch) : placeable_(true), bounds_(bounds), inch_(unitsPerInch) {}

    // A record of 16-bit parameter words, as stored (last-to-first where GDI orders them so).
    WmfWriter& record(uint16_t function, std::initializer_list<int> words, const QByteArray& tail = {})
    {
        LeBytes params;
        for (int w : words)
            params.i16(static_cast<int16_t>(w));
        params.raw(tail).pad(2);
        return raw(function, params.bytes());
    }
    // A record with the given parameter bytes (padded to whole words).
    WmfWriter& raw(uint16_t function, const QByteArray& params)
    {
        LeBytes r;
        QByteArray padded = params;
        if (padded.size() % 2)
            padded.append('\0');
        r.u32(static_cast<uint32_t>(3 + padded.size() / 2)).u16(function).raw(padded);
        records_.raw(r.bytes());
        maxRecordWords_ = std::max<uint32_t>(maxRecordWords_, static_cast<uint32_t>(r.size() / 2));
        return *this;
    }

    WmfWriter& setWindowOrg(int x, int y) { return record(wmf::SetWindowOrg, {y, x}); }
    WmfWriter& setWindowExt(int x, int y) { return record(wmf::SetWindowExt, {y, x}); }
    WmfWriter& setMapMode(int mode) { return record(wmf::SetMapMode, {mode}); }
    WmfWriter& saveDC() { return record(wmf::SaveDC, {}); }
    WmfWriter& restoreDC(int which = -1) { return record(wmf::RestoreDC, {which}); }
    WmfWriter& selectObject(int index) { return record(wmf::SelectObject, {index}); }
    WmfWriter& deleteObject(int index) { return record(wmf::DeleteObject, {index}); }
    WmfWriter& createBrush(const QColor& color, uint16_t style = BrushSolid, uint16_t hatch = 0)
    {
        ++objects_;
        return raw(wmf::CreateBrushIndirect, LeBytes().u16(style).color(color).u16(hatch).bytes());
    }
    WmfWriter& createPen(const QColor& color, int width = 0, uint16_t style = PenSolid)
    {
        ++objects_;
        return raw(wmf::CreatePenIndirect, LeBytes().u16(style).i16(width).i16(0).color(color).bytes());
    }
    WmfWriter& createFont(int height, const QString& face, int weight = 400, int escapement = 0)
    {
        ++objects_;
        LeBytes f;
        f.i16(height)
            .i16(0)
            .i16(escapement)
            .i16(escapement)
            .i16(weight)
            .u8(0)
            .u8(0)
            .u8(0)
            .u8(0)
            .u8(0)
            .u8(0)
            .u8(0)
            .u8(0);
        QByteArray name = face.toLatin1().left(31);
        name.append('\0');
        return raw(wmf::CreateFontIndirect, f.raw(name).bytes());
    }
    WmfWriter& rectangle(int left, int top, int right, int bottom)
    {
        return record(wmf::Rectangle, {bottom, right, top, left});
    }
    WmfWriter& ellipse(int left, int top, int right, int bottom)
    {
        return record(wmf::Ellipse, {bottom, right, top, left});
    }
    WmfWriter& polygon(const std::vector<QPoint>& points, uint16_t function = wmf::Polygon)
    {
        LeBytes p;
        p.i16(static_cast<int16_t>(points.size()));
        for (const QPoint& pt : points)
            p.i16(pt.x()).i16(pt.y());
        return raw(function, p.bytes());
    }
    WmfWriter& intersectClipRect(int left, int top, int right, int bottom)
    {
        return record(wmf::IntersectClipRect, {bottom, right, top, left});
    }
    WmfWriter& setTextColor(const QColor& color) { return raw(wmf::SetTextColor, LeBytes().color(color).bytes()); }
    WmfWriter& setBkMode(int mode) { return record(wmf::SetBkMode, {mode}); }
    WmfWriter& textOut(int x, int y, const QByteArray& text)
    {
        LeBytes p;
        p.i16(static_cast<int16_t>(text.size())).raw(text).pad(2).i16(y).i16(x);
        return raw(wmf::TextOut, p.bytes());
    }
    // StretchDIBits of a whole bitmap into the destination rectangle.
    WmfWriter& stretchDib(const QRect& dest, const QImage& image, bool bottomUp = true, uint32_t rop = RopSrcCopy)
    {
        LeBytes p;
        p.u32(rop).u16(DibRgbColors).i16(image.height()).i16(image.width()).i16(0).i16(0);
        p.i16(dest.height()).i16(dest.width()).i16(dest.y()).i16(dest.x()).raw(packedDib(image, bottomUp));
        return raw(wmf::StretchDib, p.bytes());
    }
    WmfWriter& dibStretchBlt(const QRect& dest, const QImage& image, uint32_t rop = RopSrcCopy)
    {
        LeBytes p;
        p.u32(rop).i16(image.height()).i16(image.width()).i16(0).i16(0);
        p.i16(dest.height()).i16(dest.width()).i16(dest.y()).i16(dest.x()).raw(packedDib(image));
        return raw(wmf::DibStretchBlt, p.bytes());
    }
    // DIBBitBlt of a whole bitmap, unscaled, with its top left corner at `dest`.
    WmfWriter& dibBitBlt(const QPoint& dest, const QImage& image, uint32_t rop = RopSrcCopy)
    {
        LeBytes p;
        p.u32(rop).i16(0).i16(0);
        p.i16(image.height()).i16(image.width()).i16(dest.y()).i16(dest.x()).raw(packedDib(image));
        return raw(wmf::DibBitBlt, p.bytes());
    }

    QByteArray finish() const
    {
        LeBytes out;
        if (placeable_)
            out.raw(placeableHeader(bounds_, inch_));
        const QByteArray eof = LeBytes().u32(3).u16(wmf::Eof).bytes();
        const uint32_t words = static_cast<uint32_t>((wmf::standardHeaderBytes + records_.size() + eof.size()) / 2);
        out.raw(wmfStandardHeader(words, objects_, std::max<uint32_t>(maxRecordWords_, 3)));
        return out.raw(records_.bytes()).raw(eof).bytes();
    }

private:
    bool placeable_ = false;
    QRect bounds_;
    uint16_t inch_ = 96;
    uint16_t objects_ = 0;
    uint32_t maxRecordWords_ = 0;
    LeBytes records_;
};

class EmfWriter {
public:
    // frame: the picture frame in hundredths of a millimetre; the reference device has
    // devicePixels pixels on deviceMm millimetres.
    explicit EmfWriter(const QRect& frame, QSize devicePixels = {1000, 1000}, QSize deviceMm = {250, 250})
        : frame_(frame),
          devicePixels_(devicePixels),
          deviceMm_(deviceMm)
    {}

    // A record with the given parameter bytes (padded to a multiple of four).
    EmfWriter& raw(uint32_t type, const QByteArray& params)
    {
        QByteArray padded = params;
        while (padded.size() % 4)
            padded.append('\0');
        records_.u32(type).u32(static_cast<uint32_t>(emf::recordHeaderBytes + padded.size())).raw(padded);
        ++count_;
        return *this;
    }
    EmfWriter& record(uint32_t type, std::initializer_list<int32_t> values)
    {
        LeBytes p;
        for (int32_t v : values)
            p.i32(v);
        return raw(type, p.bytes());
    }

    EmfWriter& setMapMode(int mode) { return record(emf::SetMapMode, {mode}); }
    EmfWriter& setWindowOrg(int x, int y) { return record(emf::SetWindowOrgEx, {x, y}); }
    EmfWriter& setWindowExt(int x, int y) { return record(emf::SetWindowExtEx, {x, y}); }
    EmfWriter& setViewportOrg(int x, int y) { return record(emf::SetViewportOrgEx, {x, y}); }
    EmfWriter& setViewportExt(int x, int y) { return record(emf::SetViewportExtEx, {x, y}); }
    EmfWriter& saveDC() { return record(emf::SaveDC, {}); }
    EmfWriter& restoreDC(int which = -1) { return record(emf::RestoreDC, {which}); }
    EmfWriter& selectObject(uint32_t index) { return raw(emf::SelectObject, LeBytes().u32(index).bytes()); }
    EmfWriter& deleteObject(uint32_t index) { return raw(emf::DeleteObject, LeBytes().u32(index).bytes()); }
    EmfWriter& createBrush(uint32_t index, const QColor& color, uint32_t style = BrushSolid)
    {
        handles_ = std::max(handles_, index + 1);
        return raw(emf::CreateBrushIndirect, LeBytes().u32(index).u32(style).color(color).u32(0).bytes());
    }
    EmfWriter& createPen(uint32_t index, const QColor& color, int width = 0, uint32_t style = PenSolid)
    {
        handles_ = std::max(handles_, index + 1);
        return raw(emf::CreatePen, LeBytes().u32(index).u32(style).i32(width).i32(0).color(color).bytes());
    }
    EmfWriter& rectangle(int left, int top, int right, int bottom)
    {
        return record(emf::Rectangle, {left, top, right, bottom});
    }
    EmfWriter& setWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy)
    {
        return raw(emf::SetWorldTransform, LeBytes().f32(m11).f32(m12).f32(m21).f32(m22).f32(dx).f32(dy).bytes());
    }
    EmfWriter& polygon16(const std::vector<QPoint>& points, uint32_t type = emf::Polygon16)
    {
        LeBytes p;
        p.i32(0).i32(0).i32(0).i32(0).u32(static_cast<uint32_t>(points.size()));
        for (const QPoint& pt : points)
            p.i16(pt.x()).i16(pt.y());
        return raw(type, p.bytes());
    }
    EmfWriter& intersectClipRect(int left, int top, int right, int bottom)
    {
        return record(emf::IntersectClipRect, {left, top, right, bottom});
    }
    EmfWriter& extTextOutW(int x, int y, const QString& text)
    {
        constexpr uint32_t fixedBytes = 8 + 16 + 12 + 40; // header, bounds, mode and scales, EMRTEXT
        LeBytes p;
        p.i32(0).i32(0).i32(-1).i32(-1).u32(1).f32(1).f32(1);
        p.i32(x).i32(y).u32(static_cast<uint32_t>(text.size())).u32(fixedBytes).u32(0);
        p.i32(0).i32(0).i32(-1).i32(-1).u32(0);
        for (QChar c : text)
            p.u16(c.unicode());
        return raw(emf::ExtTextOutW, p.bytes());
    }
    // StretchDIBits of a whole bitmap into the destination rectangle.
    EmfWriter& stretchDiBits(const QRect& dest, const QImage& image, bool bottomUp = true, uint32_t rop = RopSrcCopy)
    {
        const QByteArray dib = packedDib(image, bottomUp);
        constexpr uint32_t fixedBytes = 80;
        const uint32_t bmiBytes = bitmapInfoHeaderBytes;
        LeBytes p;
        p.i32(dest.left()).i32(dest.top()).i32(dest.right()).i32(dest.bottom());
        p.i32(dest.x()).i32(dest.y()).i32(0).i32(0).i32(image.width()).i32(image.height());
        p.u32(fixedBytes).u32(bmiBytes).u32(fixedBytes + bmiBytes).u32(static_cast<uint32_t>(dib.size() - bmiBytes));
        p.u32(DibRgbColors).u32(rop).i32(dest.width()).i32(dest.height());
        p.raw(dib);
        return raw(emf::StretchDiBits, p.bytes());
    }

    QByteArray finish() const
    {
        const QByteArray eof = emfEofRecord();
        const auto px = [&](int hundredthsMm, int pixels, int mm) { return hundredthsMm * pixels / (mm * 100); };
        const QPoint topLeft(px(frame_.left(), devicePixels_.width(), deviceMm_.width()),
                             px(frame_.top(), devicePixels_.height(), deviceMm_.height()));
        const QPoint bottomRight(px(frame_.left() + frame_.width(), devicePixels_.width(), deviceMm_.width()) - 1,
                                 px(frame_.top() + frame_.height(), devicePixels_.height(), deviceMm_.height()) - 1);
        LeBytes out;
        out.raw(emfHeader({QRect(topLeft, bottomRight), frame_,
                           static_cast<uint32_t>(emfHeaderBytes + records_.size() + eof.size()), count_ + 2,
                           static_cast<uint16_t>(handles_), devicePixels_, deviceMm_}));
        return out.raw(records_.bytes()).raw(eof).bytes();
    }

private:
    QRect frame_;
    QSize devicePixels_;
    QSize deviceMm_;
    uint32_t handles_ = 1;
    uint32_t count_ = 0;
    LeBytes records_;
};

// EMF+ records, gathered into one comment record of an enhanced metafile.
class EmfPlusRecords {
public:
    EmfPlusRecords& record(uint16_t type, uint16_t flags, const QByteArray& data)
    {
        records_.u16(type).u16(flags).u32(uint32_t(12 + data.size())).u32(uint32_t(data.size())).raw(data);
        return *this;
    }
    // Put into one comment record of `emf`.
    void into(EmfWriter& emf) const
    {
        emf.raw(emf::GdiComment,
                LeBytes().u32(uint32_t(4 + records_.size())).raw("EMF+").raw(records_.bytes()).bytes());
    }

private:
    LeBytes records_;
};

inline QByteArray utf16(const QString& text)
{
    LeBytes bytes;
    for (QChar c : text)
        bytes.u16(c.unicode());
    return bytes.pad(4).bytes();
}

} // namespace glimmora::metafile
