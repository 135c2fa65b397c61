// Draws the editor's nine images with cairo and writes them as 8-bit RGBA
// PNGs into the folder given on the command line:
//   draw_images <folder>
// and the application's icon at one size (the build draws it):
//   draw_images --icon SIZE FILE
// Film strips run top to bottom, frame 0 at the top.

#include "EditorLayout.h"

#include <cairo.h>
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double deg(double degrees)
{
    return degrees * kPi / 180.0;
}

struct Rgb {
    double r, g, b;
};

void setColor(cairo_t* cr, Rgb c, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, deg(-90), deg(0));
    cairo_arc(cr, x + w - r, y + h - r, r, deg(0), deg(90));
    cairo_arc(cr, x + r, y + h - r, r, deg(90), deg(180));
    cairo_arc(cr, x + r, y + r, r, deg(180), deg(270));
    cairo_close_path(cr);
}

// Writes the surface as an 8-bit RGBA PNG. Cairo's own writer drops the
// alpha channel of an image that happens to be opaque everywhere, such as
// the background; the editor's images are RGBA one and all.
bool writeRGBA(cairo_surface_t* surface, const std::string& path)
{
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> rows(static_cast<std::size_t>(width) * 4 * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Cairo keeps premultiplied 0xAARRGGBB words; PNG wants straight alpha.
            std::uint32_t pixel;
            std::memcpy(&pixel, data + y * stride + 4 * x, 4);
            const unsigned alpha = pixel >> 24;
            unsigned char* out =
                &rows[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) *
                      4];
            for (int c = 0; c < 3; ++c) {
                const unsigned value = (pixel >> (16 - 8 * c)) & 0xff;
                out[c] = static_cast<unsigned char>(alpha == 0 ? 0 : (value * 255 + alpha / 2) / alpha);
            }
            out[3] = static_cast<unsigned char>(alpha);
        }

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    // Read again after a longjmp back from libpng: kept out of registers.
    volatile bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y)
            png_write_row(png, &rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4]);
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return std::fclose(file) == 0 && ok;
}

bool save(cairo_surface_t* surface, const std::string& folder, const char* name)
{
    std::string path = folder + "/" + name;
    cairo_surface_flush(surface);
    bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS && writeRGBA(surface, path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    cairo_surface_destroy(surface);
    return ok;
}

// --- Knob strips: 31 frames of 30 x 30 -------------------------------------

struct KnobLook {
    Rgb disc, rim, track, arc, dot;
};

void drawKnobFrame(cairo_t* cr, double top, double value, const KnobLook& look)
{
    const double cx = 15, cy = top + 15;
    // 270 degrees of travel from lower left, clockwise (cairo's angles grow
    // clockwise because y points down).
    const double start = deg(135), sweep = deg(270);
    const double angle = start + sweep * value;

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.5);
    setColor(cr, look.track);
    cairo_arc(cr, cx, cy, 13, start, start + sweep);
    cairo_stroke(cr);
    if (value > 0) {
        setColor(cr, look.arc);
        cairo_arc(cr, cx, cy, 13, start, angle);
        cairo_stroke(cr);
    }

    cairo_arc(cr, cx, cy, 10, 0, 2 * kPi);
    setColor(cr, look.disc);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.0);
    setColor(cr, look.rim);
    cairo_stroke(cr);

    setColor(cr, look.dot);
    cairo_arc(cr, cx + 6.5 * std::cos(angle), cy + 6.5 * std::sin(angle), 2.0, 0, 2 * kPi);
    cairo_fill(cr);
}

const KnobLook kNormalKnob{{252, 252, 252}, {120, 120, 125}, {175, 175, 180}, {0, 190, 230}, {40, 40, 45}};

cairo_surface_t* knobStrip(const KnobLook& look)
{
    const int frames = 31;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 30, 30 * frames);
    cairo_t* cr = cairo_create(surface);
    for (int i = 0; i < frames; ++i)
        drawKnobFrame(cr, 30.0 * i, i / 30.0, look);
    cairo_destroy(cr);
    return surface;
}

// --- Bend button: 128 frames of 100 x 100 ----------------------------------

void drawBendButton(cairo_t* cr, double top)
{
    const double cx = 50, cy = top + 50;
    cairo_new_path(cr); // the previous frame's text leaves a current point
    // Flat colours keep the 128-frame strips small once compressed.
    cairo_arc(cr, cx, cy, 35, 0, 2 * kPi);
    setColor(cr, {0, 180, 220});
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 2.0);
    setColor(cr, {0, 110, 140});
    cairo_stroke(cr);

    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 17);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, "bend", &extents);
    cairo_move_to(cr, cx - extents.x_advance / 2, cy + extents.height / 2 - 1);
    setColor(cr, {255, 255, 255});
    cairo_show_text(cr, "bend");
}

cairo_surface_t* bendStrip(bool hot)
{
    const int frames = 128;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 100, 100 * frames);
    cairo_t* cr = cairo_create(surface);
    for (int i = 0; i < frames; ++i) {
        double top = 100.0 * i;
        drawBendButton(cr, top);
        if (!hot)
            continue;
        // The ring's start moves clockwise from twelve o'clock while its end
        // stays there: full at frame 0, gone at frame 127.
        double remaining = 1.0 - i / 127.0;
        if (remaining <= 0)
            continue;
        cairo_set_line_width(cr, 6.0);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        setColor(cr, {225, 30, 40});
        double end = deg(270);
        cairo_new_path(cr);
        cairo_arc(cr, 50, top + 50, 44, end - 2 * kPi * remaining, end);
        cairo_stroke(cr);
    }
    cairo_destroy(cr);
    return surface;
}

// --- Toggles: 2 frames of 20 x 20 ------------------------------------------

cairo_surface_t* letterToggle(const char* letter)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 40);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 13);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, letter, &extents);
    for (int frame = 0; frame < 2; ++frame) {
        double top = 20.0 * frame;
        roundedRect(cr, 1.5, top + 1.5, 17, 17, 3);
        if (frame == 1) {
            setColor(cr, {45, 45, 50});
            cairo_fill_preserve(cr);
        }
        cairo_set_line_width(cr, 1.0);
        setColor(cr, frame ? Rgb{30, 30, 30} : Rgb{150, 150, 150});
        cairo_stroke(cr);
        setColor(cr, frame ? Rgb{255, 255, 255} : Rgb{140, 140, 140});
        cairo_move_to(cr, 10 - extents.x_bearing - extents.width / 2,
                      top + 10 - extents.y_bearing - extents.height / 2);
        cairo_show_text(cr, letter);
    }
    cairo_destroy(cr);
    return surface;
}

// --- Dice and Init: 30 x 30 ------------------------------------------------

void buttonSquare(cairo_t* cr)
{
    roundedRect(cr, 2.5, 2.5, 25, 25, 5);
    setColor(cr, {250, 250, 250});
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 1.5);
    setColor(cr, {70, 70, 70});
    cairo_stroke(cr);
}

cairo_surface_t* dice()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 30, 30);
    cairo_t* cr = cairo_create(surface);
    buttonSquare(cr);
    setColor(cr, {30, 30, 30});
    for (int column = 0; column < 2; ++column)
        for (int row = 0; row < 3; ++row) {
            cairo_arc(cr, 10 + 10 * column, 8 + 7 * row, 2.2, 0, 2 * kPi);
            cairo_fill(cr);
        }
    cairo_destroy(cr);
    return surface;
}

cairo_surface_t* init()
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 30, 30);
    cairo_t* cr = cairo_create(surface);
    buttonSquare(cr);
    cairo_destroy(cr);
    return surface;
}

// --- Background: 740 x 520 -------------------------------------------------

void centredText(cairo_t* cr, const char* text, double centreX, double baseline)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_move_to(cr, std::round(centreX - extents.x_advance / 2), baseline);
    cairo_show_text(cr, text);
}

// 5 x 7 dot-matrix capitals for the product name.
const char* dotGlyph(char c)
{
    // One glyph per line, its seven rows side by side: clang-format leaves it.
    // clang-format off
    switch (c) {
    case 'T': return "11111" "00100" "00100" "00100" "00100" "00100" "00100";
    case 'A': return "01110" "10001" "10001" "11111" "10001" "10001" "10001";
    case 'R': return "11110" "10001" "10001" "11110" "10100" "10010" "10001";
    case 'V': return "10001" "10001" "10001" "10001" "10001" "01010" "00100";
    case 'E': return "11111" "10000" "10000" "11110" "10000" "10000" "11111";
    case 'L': return "10000" "10000" "10000" "10000" "10000" "10000" "11111";
    default: return "00000" "00000" "00000" "00000" "00000" "00000" "00000";
    }
    // clang-format on
}

void dottedName(cairo_t* cr, const char* name, double centreX, double top)
{
    // Dot pitch 4 px; three empty columns between letters.
    const double pitch = 4.0, advance = 7 * pitch;
    int letters = 0;
    for (const char* p = name; *p; ++p)
        ++letters;
    double width = (letters - 1) * advance + 4 * pitch;
    double x0 = std::round(centreX - width / 2);
    setColor(cr, {60, 60, 66});
    for (int n = 0; n < letters; ++n) {
        const char* glyph = dotGlyph(name[n]);
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (glyph[row * 5 + column] == '1') {
                    double x = x0 + n * advance + column * pitch;
                    cairo_arc(cr, x, top + row * pitch, 1.6, 0, 2 * kPi);
                    cairo_fill(cr);
                }
    }
}

void readoutWell(cairo_t* cr)
{
    const double x = 290, y = 250, w = 160, h = 40;
    // Bevel: shadow along the top and left, light along the bottom and right.
    roundedRect(cr, x - 2, y - 2, w + 4, h + 4, 6);
    setColor(cr, {255, 255, 255}, 0.8);
    cairo_fill(cr);
    roundedRect(cr, x - 2, y - 2, w + 2, h + 2, 6);
    setColor(cr, {90, 90, 95});
    cairo_fill(cr);
    roundedRect(cr, x, y, w, h, 5);
    cairo_pattern_t* well = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgb(well, 0, 0.07, 0.07, 0.08);
    cairo_pattern_add_color_stop_rgb(well, 1, 0.17, 0.17, 0.19);
    cairo_set_source(cr, well);
    cairo_fill(cr);
    cairo_pattern_destroy(well);
}

cairo_surface_t* background()
{
    using namespace EditorLayout;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);

    setColor(cr, {214, 214, 216});
    cairo_rectangle(cr, 0, 0, kWidth, kLowerPanelTop);
    cairo_fill(cr);
    setColor(cr, {250, 218, 190});
    cairo_rectangle(cr, 0, kLowerPanelTop, kWidth, kHeight - kLowerPanelTop);
    cairo_fill(cr);
    // A thin edge between the panels.
    setColor(cr, {170, 150, 140});
    cairo_rectangle(cr, 0, kLowerPanelTop, kWidth, 1);
    cairo_fill(cr);

    // Lighter group plates behind the sections.
    for (const Plate& p : kPlates) {
        roundedRect(cr, p.x + 0.5, p.y + 0.5, p.w, p.h, 8);
        setColor(cr, p.lower ? Rgb{253, 232, 214} : Rgb{229, 229, 231});
        cairo_fill_preserve(cr);
        cairo_set_line_width(cr, 1.0);
        setColor(cr, p.lower ? Rgb{225, 190, 165} : Rgb{190, 190, 194});
        cairo_stroke(cr);
    }

    // Section titles, reading upwards.
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 12);
    setColor(cr, {240, 130, 0});
    for (const Title& t : kTitles) {
        cairo_save(cr);
        cairo_translate(cr, t.x, t.centreY);
        cairo_rotate(cr, -kPi / 2);
        centredText(cr, t.text, 0, 4);
        cairo_restore(cr);
    }

    // Knob captions.
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 9);
    for (const Knob& k : kKnobs) {
        setColor(cr, k.style == kModulation ? Rgb{20, 80, 220} : Rgb{20, 20, 20});
        centredText(cr, k.caption, k.x + kKnobSize / 2.0, k.y + kKnobSize + 10);
    }
    setColor(cr, {20, 20, 20});
    for (const Small& s : kSmall) {
        if (s.captionBeside) {
            cairo_move_to(cr, s.x + s.width + 3, s.y + s.height / 2.0 + 3);
            cairo_show_text(cr, s.caption);
        } else {
            centredText(cr, s.caption, s.x + s.width / 2.0, s.y + s.height + 10);
        }
    }

    dottedName(cr, "TARVEL", 370, 208);
    readoutWell(cr);

    cairo_destroy(cr);
    return surface;
}

// --- The application's icon: the editor's knob over its two panels --------

// Drawn on a 256-unit square scaled to `size` pixels, so every size is the
// same picture.
cairo_surface_t* icon(int size)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    const double scale = size / 256.0;
    cairo_scale(cr, scale, scale);

    // The plate: the grey upper panel over the peach lower one, as in the editor.
    roundedRect(cr, 8, 8, 240, 240, 44);
    cairo_save(cr);
    cairo_clip_preserve(cr);
    setColor(cr, {214, 214, 216});
    cairo_rectangle(cr, 0, 0, 256, 176);
    cairo_fill(cr);
    setColor(cr, {250, 218, 190});
    cairo_rectangle(cr, 0, 176, 256, 80);
    cairo_fill(cr);
    setColor(cr, {170, 150, 140});
    cairo_rectangle(cr, 0, 175, 256, 3);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_set_line_width(cr, 5);
    setColor(cr, {150, 150, 155});
    cairo_stroke(cr);

    // The editor's own knob, turned to seven tenths, blown up around (128, 96).
    const double knobScale = 62.0 / 13.0; // the arc's radius, 13 in a knob frame
    cairo_save(cr);
    cairo_translate(cr, 128 - 15 * knobScale, 96 - 15 * knobScale);
    cairo_scale(cr, knobScale, knobScale);
    drawKnobFrame(cr, 0, 0.7, kNormalKnob);
    cairo_restore(cr);

    // Two cycles of a band-limited saw (its first five partials) across the
    // lower panel, in the colour of the editor's section titles.
    const int points = 160;
    for (int i = 0; i <= points; ++i) {
        const double phase = 4 * kPi * i / points;
        double wave = 0;
        for (int k = 1; k <= 5; ++k)
            wave += std::sin(k * phase) / k;
        const double x = 48 + 160.0 * i / points, y = 214 - 18 * wave;
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 8);
    setColor(cr, {240, 130, 0});
    cairo_stroke(cr);

    cairo_destroy(cr);
    return surface;
}

} // namespace

int main(int argc, char** argv)
{
    // draw_images --icon SIZE FILE: the application's icon, SIZE pixels square.
    if (argc == 4 && std::strcmp(argv[1], "--icon") == 0) {
        const int size = std::atoi(argv[2]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "%s: the icon size must be 16 to 1024 pixels\n", argv[0]);
            return 2;
        }
        cairo_surface_t* surface = icon(size);
        cairo_surface_flush(surface);
        const bool ok = writeRGBA(surface, argv[3]);
        cairo_surface_destroy(surface);
        if (!ok)
            std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return ok ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n       %s --icon SIZE FILE\n", argv[0], argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    const KnobLook& normal = kNormalKnob;
    const KnobLook bend{{255, 200, 220}, {200, 90, 120}, {225, 160, 175}, {225, 25, 45}, {120, 10, 30}};
    bool ok = true;
    ok &= save(background(), folder, "Layout.png");
    ok &= save(knobStrip(normal), folder, "KnobStrip.png");
    ok &= save(knobStrip(bend), folder, "KnobStripBend.png");
    ok &= save(bendStrip(false), folder, "BendButton.png");
    ok &= save(bendStrip(true), folder, "BendButtonHot.png");
    ok &= save(letterToggle("R"), folder, "ResetButton.png");
    ok &= save(letterToggle("S"), folder, "SyncButton.png");
    ok &= save(dice(), folder, "Dice.png");
    ok &= save(init(), folder, "Init.png");
    return ok ? 0 : 1;
}
