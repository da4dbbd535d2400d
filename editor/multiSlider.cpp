#include "editor/multiSlider.h"

#include <atomic>
#include <cstring>

#include "editor/helpDoc.h"
#include "gui/CBitmap.h"
#include "host/shared_value.h"

namespace {

constexpr int kKeys = 88;

// The offsets live in the plug-in's program, which the audio thread reads
// while the page edits it.
std::int8_t offsetAt(const std::int8_t* row, int k) { return loadShared(row[k]); }
void setOffset(std::int8_t* row, int k, int value) { storeShared(row[k], static_cast<std::int8_t>(value)); }
constexpr int kColumn = 7;  // pixels per key, the bar being 6 wide
constexpr int kBarWidth = 6;
constexpr int kMaxOffset = 127;
constexpr int kMaxBar = 180;
constexpr CColor kBlackKeyBar{16, 64, 128, 255};
constexpr CColor kWhiteKeyBar{32, 128, 255, 255};
// Brush weight by distance from the key under the pointer.
constexpr float kBrush[6] = {1.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.0f};

// The "R" generator: one state for every instance, for the life of the
// loaded library.
std::atomic<std::uint16_t> randomState{1};

int clampOffset(int v) { return v < -kMaxOffset ? -kMaxOffset : (v > kMaxOffset ? kMaxOffset : v); }

bool isBlackKey(int k) {
    int n = k % 12;
    return n == 1 || n == 4 || n == 6 || n == 9 || n == 11;
}

int floorDiv16(int n) { return n >= 0 ? n / 16 : -((-n + 15) / 16); }

}  // namespace

multiSlider::multiSlider(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* logo,
                         long style)
    : CControl(size, listener, tag, background), style(static_cast<std::int32_t>(style)), logo(logo), font(kSystemFont) {
    if (logo) logo->remember();
    font->remember();
    setWantsFocus(true);
}

multiSlider::multiSlider(const multiSlider& other)
    : CControl(other),
      offsets(other.offsets),
      helpTopic(other.helpTopic),
      style(other.style),
      logo(other.logo),
      font(other.font) {
    if (logo) logo->remember();
    font->remember();
}

multiSlider::~multiSlider() {
    if (logo) logo->forget();
    font->forget();
}

int multiSlider::barHeight(int offset) {
    int h = (offset * kMaxBar + 22860) / 254;
    return h < 0 ? 0 : (h > kMaxBar ? kMaxBar : h);
}

int multiSlider::valueAt(int dy) { return -((dy * 127 - 11430) / 90); }

void multiSlider::draw(CDrawContext* context) {
    if (helpTopic != 0) {
        helpDoc(context, font, size, helpTopic);
    } else if (!offsets) {
        if (logo) {
            CPoint offset((logo->getWidth() - size.width()) / 2, (logo->getHeight() - size.height()) / 2);
            logo->draw(context, size, offset);
        }
    } else {
        if (pBackground) pBackground->draw(context, size, CPoint(0, 0));
        for (int k = 0; k < kKeys; ++k) {
            context->setFillColor(isBlackKey(k) ? kBlackKeyBar : kWhiteKeyBar);
            int h = barHeight(offsetAt(offsets, k));
            CCoord left = size.left + kColumn * k;
            context->fillRect(CRect(left, size.bottom - h, left + kBarWidth, size.bottom));
        }
    }
    setDirty(false);
}

void multiSlider::paint(const CPoint& where, const long& buttons) {
    int k = (where.h - size.left) / kColumn;  // truncates toward zero
    if (k >= 0 && k < kKeys) {
        int v = valueAt(where.v - size.top);
        if (buttons & kShift) {
            setOffset(offsets, k, clampOffset(v));
        } else {
            for (int d = -5; d <= 5; ++d) {
                int key = k + d;
                if (key < 0 || key >= kKeys) continue;
                int old = offsetAt(offsets, key);
                float w = kBrush[d < 0 ? -d : d];
                auto brushed = static_cast<int>(static_cast<float>(old) + static_cast<float>(v - old) * w);
                setOffset(offsets, key, clampOffset(brushed));
            }
        }
    }
}

CMouseEventResult multiSlider::onMouseMoved(CPoint& where, const long& buttons) {
    if (helpTopic == 0 && (buttons & kLButton) && offsets) {
        paint(where, buttons);
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult multiSlider::onMouseDown(CPoint& where, const long& buttons) {
    if (!(buttons & kLButton)) return kMouseEventNotHandled;
    onMouseMoved(where, buttons);
    return kMouseEventHandled;
}

CMouseEventResult multiSlider::onMouseUp(CPoint&, const long&) {
    endEdit();
    if (listener) listener->valueChanged(this);
    return kMouseEventHandled;
}

bool multiSlider::onWheel(const CPoint&, const float&, const long&) { return true; }

void multiSlider::action(int index) {
    if (!offsets) return;
    switch (index) {
        case 0:
            for (int k = 0; k < kKeys; ++k) setOffset(offsets, k, 0);
            break;
        case 1:
            for (int k = 0; k < kKeys; ++k) setOffset(offsets, k, clampOffset(offsetAt(offsets, k) + 4));
            break;
        case 2:
            for (int k = 0; k < kKeys; ++k) setOffset(offsets, k, clampOffset(offsetAt(offsets, k) - 4));
            break;
        case 3:
            for (int k = 0; k < kKeys; ++k) {
                int o = offsetAt(offsets, k);
                if (o > 0)
                    o = o + 1 + floorDiv16(o);
                else if (o < 0)
                    o = o - floorDiv16(-o) - 1;
                setOffset(offsets, k, clampOffset(o));
            }
            break;
        case 4:
            for (int k = 0; k < kKeys; ++k)
                setOffset(offsets, k, clampOffset(static_cast<int>(offsetAt(offsets, k) * 0.9f)));
            break;
        case 5: {
            // Advance the shared generator by 88 steps in one atomic update,
            // so that two windows pressing "R" at once still get fresh numbers.
            std::uint16_t start = randomState.load(std::memory_order_relaxed);
            std::uint16_t r;
            int added[kKeys];
            do {
                r = start;
                for (int k = 0; k < kKeys; ++k) {
                    r = static_cast<std::uint16_t>(r * 25713u + 1345u);
                    added[k] = r % 9 - 4;
                }
            } while (!randomState.compare_exchange_weak(start, r, std::memory_order_relaxed));
            for (int k = 0; k < kKeys; ++k) setOffset(offsets, k, clampOffset(offsetAt(offsets, k) + added[k]));
            break;
        }
        case 6: {
            std::int8_t old[kKeys];
            for (int k = 0; k < kKeys; ++k) old[k] = offsetAt(offsets, k);
            for (int k = 1; k < kKeys - 1; ++k) setOffset(offsets, k, (old[k - 1] + old[k] + old[k + 1]) / 3);
            break;
        }
        default:
            break;
    }
    if (listener) listener->valueChanged(this);
    setDirty();
}

bool multiSlider::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "multiSlider") == 0 || CControl::isTypeOf(type));
}
