#include "gui/CHorizontalSlider.h"

#include <cstring>

#include "gui/vst_keys.h"

CHorizontalSlider::CHorizontalSlider(const CRect& size, CControlListener* listener, long tag,
                                     const CPoint& offsetHandle, long rangeHandle, CBitmap* handle,
                                     CBitmap* background, const CPoint& offset, const long style)
    : CControl(size, listener, tag, background),
      offset(offset),
      offsetHandle(offsetHandle),
      style(style | kHorizontal),
      rangeHandle(static_cast<CCoord>(rangeHandle)),
      minPos(offsetHandle.h) {
    setHandle(handle);
    setWantsFocus(true);
}

CHorizontalSlider::CHorizontalSlider(const CHorizontalSlider& other)
    : CControl(other),
      offset(other.offset),
      offsetHandle(other.offsetHandle),
      pHandle(other.pHandle),
      style(other.style),
      widthOfSlider(other.widthOfSlider),
      heightOfSlider(other.heightOfSlider),
      rangeHandle(other.rangeHandle),
      minPos(other.minPos),
      zoomFactor(other.zoomFactor),
      bFreeClick(other.bFreeClick) {
    if (pHandle) pHandle->remember();
}

CHorizontalSlider::~CHorizontalSlider() {
    if (pHandle) pHandle->forget();
}

void CHorizontalSlider::setHandle(CBitmap* handle) {
    // The travel loses the width of the old handle and gives up that of the new.
    CCoord travel = rangeHandle + (pHandle ? widthOfSlider : 0);
    if (handle) handle->remember();
    if (pHandle) pHandle->forget();
    pHandle = handle;
    widthOfSlider = pHandle ? pHandle->getWidth() : 1;
    heightOfSlider = pHandle ? pHandle->getHeight() : 1;
    if (!pHandle) travel = rangeHandle;
    rangeHandle = travel - (pHandle ? widthOfSlider : 0);
    setDirty();
}

float CHorizontalSlider::normalizedValue() const {
    float range = vmax - vmin;
    return range != 0.0f ? (value - vmin) / range : 0.0f;
}

void CHorizontalSlider::setNormalizedValue(float normalized) {
    if (normalized > 1.0f) normalized = 1.0f;
    if (normalized < 0.0f) normalized = 0.0f;
    value = vmin + (vmax - vmin) * normalized;
    bounceValue();
}

float CHorizontalSlider::pointerPosition(const CPoint& where) const {
    float position = rangeHandle > 0 ? (static_cast<float>(where.h) - delta) / static_cast<float>(rangeHandle) : 0.0f;
    return (style & kRight) ? 1.0f - position : position;
}

void CHorizontalSlider::draw(CDrawContext* context) {
    if (pBackground) pBackground->draw(context, size, offset);
    if (pHandle) {
        float normalized = normalizedValue();
        if (style & kRight) normalized = 1.0f - normalized;
        CCoord left = offsetHandle.h + static_cast<CCoord>(normalized * rangeHandle);
        if (left < minPos) left = minPos;
        CRect handleRect(left, offsetHandle.v, left + widthOfSlider, offsetHandle.v + heightOfSlider);
        handleRect.offset(size.left, size.top);
        pHandle->drawTransparent(context, handleRect);
    }
    setDirty(false);
}

CMouseEventResult CHorizontalSlider::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) {
        beginEdit();
        value = getDefaultValue();
        if (isDirty() && listener) listener->valueChanged(this);
        if (isDirty()) invalid();
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    CCoord origin = size.left + offsetHandle.h;
    if (!bFreeClick) {
        // Without free click only a press on the handle starts a drag, which
        // then moves the handle relative to where it was grabbed.
        CCoord handleLeft = origin + static_cast<CCoord>(normalizedValue() * rangeHandle);
        if (where.h < handleLeft || where.h > handleLeft + widthOfSlider || where.v < size.top + offsetHandle.v ||
            where.v > size.top + offsetHandle.v + heightOfSlider)
            return kMouseEventNotHandled;
        delta = static_cast<float>(where.h) - normalizedValue() * static_cast<float>(rangeHandle);
    } else {
        delta = static_cast<float>(origin + widthOfSlider / 2 - 1);
    }
    dragging = true;
    zooming = (buttons & kShift) != 0;
    zoomStartValue = normalizedValue();
    zoomStartPointer = pointerPosition(where);
    lastX = where.h;
    beginEdit();
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSlider::onMouseMoved(CPoint& where, const long& buttons) {
    if (!dragging || !(buttons & kLButton)) return kMouseEventHandled;
    bool shift = (buttons & kShift) != 0;
    if (shift != zooming) {
        // Shift pressed or released mid-drag: carry on from the value and
        // pointer position of the previous move, so the value does not jump.
        zooming = shift;
        zoomStartValue = normalizedValue();
        zoomStartPointer = pointerPosition(CPoint(lastX, where.v));
        if (!zooming) delta = static_cast<float>(lastX) - zoomStartValue * static_cast<float>(rangeHandle);
    }
    float pointer = pointerPosition(where);
    if (zooming)
        setNormalizedValue(zoomStartValue + (pointer - zoomStartPointer) / zoomFactor);
    else
        setNormalizedValue(pointer);
    lastX = where.h;
    if (isDirty() && listener) listener->valueChanged(this);
    if (isDirty()) invalid();
    return kMouseEventHandled;
}

CMouseEventResult CHorizontalSlider::onMouseUp(CPoint&, const long&) {
    if (dragging) {
        dragging = false;
        endEdit();
    }
    return kMouseEventHandled;
}

void CHorizontalSlider::changeBy(float step) {
    float before = value;
    value += step;
    bounceValue();
    if (value == before) return;
    beginEdit();
    if (listener) listener->valueChanged(this);
    endEdit();
    invalid();
}

bool CHorizontalSlider::onWheel(const CPoint&, const float& distance, const long& buttons) {
    if (!bMouseEnabled) return false;
    changeBy((buttons & kShift) ? 0.1f * distance * wheelInc : distance * wheelInc);
    return true;
}

long CHorizontalSlider::onKeyDown(VstKeyCode& keyCode) {
    float direction;
    switch (keyCode.virt) {
        case VKEY_UP:
        case VKEY_RIGHT:
            direction = 1.0f;
            break;
        case VKEY_DOWN:
        case VKEY_LEFT:
            direction = -1.0f;
            break;
        default:
            return -1;
    }
    if (style & kRight) direction = -direction;
    changeBy((keyCode.modifier & MODIFIER_SHIFT) ? 0.1f * direction * wheelInc : direction * wheelInc);
    return 1;
}

bool CHorizontalSlider::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CHorizontalSlider") == 0 || std::strcmp(type, "CSlider") == 0 ||
                    CControl::isTypeOf(type));
}
