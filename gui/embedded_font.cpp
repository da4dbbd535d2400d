#include "gui/embedded_font.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <mutex>

#include "gui/embedded_resources.h"

namespace {

struct FontHolder {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    cairo_font_face_t* cairoFace = nullptr;

    ~FontHolder() {
        // cairo may still hold the face in its caches: FreeType is released by
        // the destroy callback when cairo's last reference goes.
        if (cairoFace) cairo_font_face_destroy(cairoFace);
    }
};

cairo_user_data_key_t faceKey;

void releaseFreeType(void* data) {
    auto* holder = static_cast<FontHolder*>(data);
    FT_Done_Face(holder->face);
    FT_Done_FreeType(holder->library);
    holder->face = nullptr;
    holder->library = nullptr;
}

FontHolder holder;
std::once_flag opened;

void openFont() {
    const EmbeddedResource* file = findResourceIn(pelmar_font_files, "LiberationSans-Regular.ttf");
    if (!file || FT_Init_FreeType(&holder.library) != 0) return;
    if (FT_New_Memory_Face(holder.library, file->data, static_cast<FT_Long>(file->size), 0, &holder.face) != 0) {
        FT_Done_FreeType(holder.library);
        holder.library = nullptr;
        return;
    }
    cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(holder.face, 0);
    if (cairo_font_face_set_user_data(face, &faceKey, &holder, releaseFreeType) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face);
        releaseFreeType(&holder);
        return;
    }
    holder.cairoFace = face;
}

}  // namespace

cairo_font_face_t* embeddedFontFace() {
    std::call_once(opened, openFont);
    return holder.cairoFace;
}

void applyFixedFontOptions(cairo_t* cr) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_subpixel_order(options, CAIRO_SUBPIXEL_ORDER_DEFAULT);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}
