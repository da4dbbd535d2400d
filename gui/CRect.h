// Points and rectangles in window pixels, with VSTGUI 3's conventions: a
// rectangle includes its left and top edges and excludes its right and bottom.
#pragma once

#include <algorithm>

using CCoord = int;

struct CPoint {
    CCoord h = 0;
    CCoord v = 0;

    CPoint() = default;
    CPoint(CCoord h, CCoord v) : h(h), v(v) {}
    CPoint& offset(CCoord dh, CCoord dv) {
        h += dh;
        v += dv;
        return *this;
    }
    bool operator==(const CPoint&) const = default;
};

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    CRect() = default;
    CRect(CCoord left, CCoord top, CCoord right, CCoord bottom) : left(left), top(top), right(right), bottom(bottom) {}
    CRect(const CPoint& origin, const CPoint& size)
        : left(origin.h), top(origin.v), right(origin.h + size.h), bottom(origin.v + size.v) {}

    CCoord width() const { return right - left; }
    CCoord height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& offset(CCoord dh, CCoord dv) {
        left += dh;
        right += dh;
        top += dv;
        bottom += dv;
        return *this;
    }
    CRect& moveTo(CCoord h, CCoord v) { return offset(h - left, v - top); }

    bool pointInside(const CPoint& p) const { return p.h >= left && p.h < right && p.v >= top && p.v < bottom; }
    bool rectOverlap(const CRect& r) const {
        return !isEmpty() && !r.isEmpty() && r.left < right && r.right > left && r.top < bottom && r.bottom > top;
    }
    // Limits this rectangle to r (an empty result when they do not meet).
    CRect& bound(const CRect& r) {
        left = std::max(left, r.left);
        top = std::max(top, r.top);
        right = std::min(right, r.right);
        bottom = std::min(bottom, r.bottom);
        if (isEmpty()) *this = CRect();
        return *this;
    }
    // Grows this rectangle to cover r as well; an empty side is ignored.
    CRect& unite(const CRect& r) {
        if (r.isEmpty()) return *this;
        if (isEmpty()) return *this = r;
        left = std::min(left, r.left);
        top = std::min(top, r.top);
        right = std::max(right, r.right);
        bottom = std::max(bottom, r.bottom);
        return *this;
    }
    bool operator==(const CRect&) const = default;
};
