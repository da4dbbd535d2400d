// pelmar-artwork: draws the editor's nine bitmaps with cairo and writes them
// as 24-bit BMP files. The committed files in resources/ come from this
// program, so the artwork can be reproduced and changed as code.
//
//   pelmar-artwork OUTPUT_DIR      (the build's target of that name; run it
//                                   with resources/ to redraw the artwork)
#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kFrame[3] = {32 / 255.0, 64 / 255.0, 128 / 255.0};  // the window's background

void setRgb(cairo_t* cr, int r, int g, int b) { cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0); }

void verticalGradient(cairo_t* cr, double x, double y, double w, double h, double top[3], double bottom[3]) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(p, 0, top[0], top[1], top[2]);
    cairo_pattern_add_color_stop_rgb(p, 1, bottom[0], bottom[1], bottom[2]);
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

bool writeBmp(const std::string& path, cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int rowBytes = (w * 3 + 3) & ~3;
    const std::uint32_t imageSize = static_cast<std::uint32_t>(rowBytes * h);
    std::vector<unsigned char> file(54 + imageSize, 0);
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<std::uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(w));
    put32(22, static_cast<std::uint32_t>(h));
    file[26] = 1;
    file[28] = 24;
    put32(34, imageSize);
    put32(38, 2835);
    put32(42, 2835);
    for (int y = 0; y < h; ++y) {  // bottom-up rows, blue-green-red
        const auto* src = reinterpret_cast<const std::uint32_t*>(pixels + stride * (h - 1 - y));
        unsigned char* dst = &file[54 + rowBytes * y];
        for (int x = 0; x < w; ++x) {
            dst[3 * x + 0] = static_cast<unsigned char>(src[x] & 0xFF);
            dst[3 * x + 1] = static_cast<unsigned char>((src[x] >> 8) & 0xFF);
            dst[3 * x + 2] = static_cast<unsigned char>((src[x] >> 16) & 0xFF);
        }
    }
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && ok;
}

bool draw(const std::string& dir, const char* name, int w, int h, const std::function<void(cairo_t*)>& paint) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, kFrame[0], kFrame[1], kFrame[2]);
    cairo_paint(cr);
    paint(cr);
    cairo_destroy(cr);
    const bool ok = writeBmp(dir + "/" + name, surface);
    cairo_surface_destroy(surface);
    if (!ok) std::fprintf(stderr, "pelmar-artwork: cannot write %s/%s\n", dir.c_str(), name);
    return ok;
}

// A raised button face; `on` lights it up in warm brass.
void buttonFace(cairo_t* cr, double x, double y, double w, double h, bool on) {
    double offTop[3] = {0.30, 0.40, 0.58}, offBottom[3] = {0.12, 0.18, 0.32};
    double onTop[3] = {0.95, 0.78, 0.42}, onBottom[3] = {0.62, 0.42, 0.14};
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 3);
    cairo_save(cr);
    cairo_clip_preserve(cr);
    verticalGradient(cr, x, y, w, h, on ? onTop : offTop, on ? onBottom : offBottom);
    cairo_restore(cr);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, 3);
    setRgb(cr, 8, 16, 36);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, x + 3, y + 1.5);  // highlight along the top edge
    cairo_line_to(cr, x + w - 3, y + 1.5);
    cairo_set_source_rgba(cr, 1, 1, 1, on ? 0.6 : 0.25);
    cairo_stroke(cr);
}

bool isBlack(int key) {
    const int n = key % 12;
    return n == 1 || n == 4 || n == 6 || n == 9 || n == 11;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    ok &= draw(dir, "sliderh.bmp", 11, 11, [](cairo_t* cr) {
        cairo_arc(cr, 5.5, 5.5, 4.8, 0, 2 * M_PI);
        cairo_pattern_t* p = cairo_pattern_create_radial(4, 3.5, 0.5, 5.5, 5.5, 5.5);
        cairo_pattern_add_color_stop_rgb(p, 0, 1.0, 0.96, 0.85);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.66, 0.50, 0.22);
        cairo_set_source(cr, p);
        cairo_fill_preserve(cr);
        cairo_pattern_destroy(p);
        setRgb(cr, 30, 22, 8);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    });

    ok &= draw(dir, "sliderb.bmp", 125, 15, [](cairo_t* cr) {
        roundedRect(cr, 1.5, 4.5, 122, 6, 3);
        setRgb(cr, 6, 12, 28);
        cairo_fill_preserve(cr);
        setRgb(cr, 90, 120, 170);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        for (int i = 0; i <= 10; ++i) {  // scale ticks along the travel
            const double x = 9.5 + 10.7 * i;
            cairo_move_to(cr, x, i % 5 == 0 ? 0.5 : 1.5);
            cairo_line_to(cr, x, 3);
            cairo_move_to(cr, x, 12);
            cairo_line_to(cr, x, i % 5 == 0 ? 14.5 : 13.5);
        }
        setRgb(cr, 120, 150, 200);
        cairo_stroke(cr);
    });

    ok &= draw(dir, "strings.bmp", 616, 180, [](cairo_t* cr) {
        double top[3] = {0.05, 0.09, 0.18}, bottom[3] = {0.02, 0.04, 0.09};
        verticalGradient(cr, 0, 0, 616, 180, top, bottom);
        for (int k = 0; k < 88; ++k) {  // one faint string per key column
            const double x = 7 * k + 3.5;
            cairo_move_to(cr, x, 0);
            cairo_line_to(cr, x, 180);
            cairo_set_source_rgba(cr, 0.75, 0.68, 0.50, isBlack(k) ? 0.10 : 0.18);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
        }
        for (int k = 3; k < 88; k += 12) {  // each C, for orientation
            cairo_move_to(cr, 7 * k + 0.5, 0);
            cairo_line_to(cr, 7 * k + 0.5, 180);
            cairo_set_source_rgba(cr, 0.45, 0.60, 0.90, 0.35);
            cairo_stroke(cr);
        }
        cairo_move_to(cr, 0, 90.5);  // zero offset
        cairo_line_to(cr, 616, 90.5);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.25);
        cairo_stroke(cr);
    });

    ok &= draw(dir, "pelmar.bmp", 302, 92, [](cairo_t* cr) {
        roundedRect(cr, 2.5, 2.5, 297, 87, 8);
        double top[3] = {0.10, 0.16, 0.30}, bottom[3] = {0.04, 0.07, 0.15};
        cairo_save(cr);
        cairo_clip_preserve(cr);
        verticalGradient(cr, 0, 0, 302, 92, top, bottom);
        cairo_restore(cr);
        setRgb(cr, 200, 160, 80);
        cairo_set_line_width(cr, 2);
        cairo_stroke(cr);
        cairo_select_font_face(cr, "Liberation Serif", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_BOLD);
        cairo_set_font_size(cr, 46);
        cairo_text_extents_t e;
        cairo_text_extents(cr, "Pelmar-k1", &e);
        cairo_move_to(cr, (302 - e.width) / 2 - e.x_bearing, 56);
        cairo_pattern_t* gold = cairo_pattern_create_linear(0, 20, 0, 60);
        cairo_pattern_add_color_stop_rgb(gold, 0, 1.0, 0.92, 0.65);
        cairo_pattern_add_color_stop_rgb(gold, 1, 0.72, 0.52, 0.18);
        cairo_set_source(cr, gold);
        cairo_show_text(cr, "Pelmar-k1");
        cairo_pattern_destroy(gold);
        cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 12);
        const char* line = "physically modelled piano  \xC2\xB7  Vordam";
        cairo_text_extents(cr, line, &e);
        cairo_move_to(cr, (302 - e.width) / 2 - e.x_bearing, 78);
        setRgb(cr, 170, 190, 225);
        cairo_show_text(cr, line);
    });

    ok &= draw(dir, "keys.bmp", 616, 70, [](cairo_t* cr) {
        // Lower zone: white key fronts 12 pixels wide, the first starting 3
        // pixels left of the edge. Upper zone: a 7-pixel column per key.
        setRgb(cr, 10, 10, 14);
        cairo_paint(cr);
        for (int w = 0; w * 12 - 3 < 616; ++w) {
            const double x = w * 12 - 3;
            double top[3] = {0.97, 0.96, 0.93}, bottom[3] = {0.80, 0.79, 0.76};
            verticalGradient(cr, x + 1, 46, 11, 23, top, bottom);
        }
        for (int k = 0; k < 88; ++k) {
            const double x = 7 * k;
            if (isBlack(k)) {
                double top[3] = {0.20, 0.20, 0.23}, bottom[3] = {0.03, 0.03, 0.05};
                verticalGradient(cr, x, 0, 7, 44, top, bottom);
                cairo_rectangle(cr, x + 1.5, 38, 4, 4);  // the worn key tip
                cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
                cairo_fill(cr);
            } else {
                double top[3] = {0.90, 0.89, 0.86}, bottom[3] = {0.98, 0.97, 0.95};
                verticalGradient(cr, x, 0, 7, 46, top, bottom);
                if (k + 1 < 88 && !isBlack(k + 1)) {  // B-C and E-F meet without a black key
                    cairo_move_to(cr, x + 6.5, 0);
                    cairo_line_to(cr, x + 6.5, 46);
                    setRgb(cr, 120, 120, 120);
                    cairo_set_line_width(cr, 1);
                    cairo_stroke(cr);
                }
            }
        }
        cairo_rectangle(cr, 0, 0, 616, 2);  // felt strip
        setRgb(cr, 120, 20, 30);
        cairo_fill(cr);
    });

    ok &= draw(dir, "button.bmp", 96, 34, [](cairo_t* cr) {
        buttonFace(cr, 0, 0, 96, 17, false);
        buttonFace(cr, 0, 17, 96, 17, true);
    });

    ok &= draw(dir, "buttons.bmp", 17, 34, [](cairo_t* cr) {
        buttonFace(cr, 0, 0, 17, 17, false);
        buttonFace(cr, 0, 17, 17, 17, true);
    });

    ok &= draw(dir, "edge.bmp", 616, 6, [](cairo_t* cr) {
        double top[3] = {0.55, 0.45, 0.25}, bottom[3] = {0.25, 0.18, 0.08};
        verticalGradient(cr, 0, 1, 616, 4, top, bottom);
        cairo_rectangle(cr, 0, 0, 616, 1);
        setRgb(cr, 10, 20, 45);
        cairo_fill(cr);
        cairo_rectangle(cr, 0, 5, 616, 1);
        setRgb(cr, 70, 100, 160);
        cairo_fill(cr);
    });

    ok &= draw(dir, "val.bmp", 30, 17, [](cairo_t* cr) {
        roundedRect(cr, 0.5, 0.5, 29, 16, 2);
        setRgb(cr, 4, 10, 22);
        cairo_fill_preserve(cr);
        setRgb(cr, 80, 110, 160);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    });

    return ok ? 0 : 1;
}
