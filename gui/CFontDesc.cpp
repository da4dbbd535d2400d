#include "gui/CFontDesc.h"

namespace {
CFontDesc gSystemFont("Arial", 12);
CFontDesc gNormalFont("Arial", 12);
}  // namespace

const CFontRef kSystemFont = &gSystemFont;
const CFontRef kNormalFont = &gNormalFont;
