// The one typeface every text is drawn with: Liberation Sans, embedded in the
// library and opened through FreeType once per process.
#pragma once

#include <cairo.h>

// Borrowed reference; null if the embedded font cannot be opened.
cairo_font_face_t* embeddedFontFace();

// Fixed rendering options, so that text does not depend on the desktop's
// antialiasing or hinting settings.
void applyFixedFontOptions(cairo_t* cr);
