#include "manual/ManualPictures.h"

#include "manual/EditorAreas.h"

#include "dsp/WaveTable.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace Manual {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

void save(cairo_surface_t* surface, const std::string& path)
{
    cairo_surface_flush(surface);
    if (cairo_surface_write_to_png(surface, path.c_str()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + path);
}

Surface load(const std::string& path)
{
    Surface surface(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot read the PNG picture " + path);
    return surface;
}

void rgb(cairo_t* cr, int r, int g, int b, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, r / 255.0, g / 255.0, b / 255.0, alpha);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
    cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
    cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// A numbered disc centred on (x, y).
void badge(cairo_t* cr, int number, double x, double y)
{
    cairo_new_path(cr);
    cairo_arc(cr, x, y, 9.5, 0, 2 * kPi);
    rgb(cr, 20, 70, 170);
    cairo_fill_preserve(cr);
    rgb(cr, 255, 255, 255);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 11);
    const std::string text = std::to_string(number);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_move_to(cr, x - extents.x_bearing - extents.width / 2, y - extents.y_bearing - extents.height / 2);
    cairo_show_text(cr, text.c_str());
}

} // namespace

void writeWavePictures(const std::string& folder)
{
    constexpr int kWidth = 192, kHeight = 96, kMargin = 6;
    const Vorn::WaveTable table;
    for (int wave = 0; wave < Vorn::WaveTable::kWaveCount; ++wave) {
        Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight));
        Context cr(cairo_create(surface.get()));
        rgb(cr.get(), 250, 250, 251);
        cairo_paint(cr.get());
        // The zero line and the frame.
        rgb(cr.get(), 200, 200, 204);
        cairo_set_line_width(cr.get(), 1.0);
        cairo_move_to(cr.get(), kMargin, kHeight / 2.0 + 0.5);
        cairo_line_to(cr.get(), kWidth - kMargin, kHeight / 2.0 + 0.5);
        cairo_stroke(cr.get());
        cairo_rectangle(cr.get(), 0.5, 0.5, kWidth - 1, kHeight - 1);
        cairo_stroke(cr.get());
        // One cycle, every sample of it, as high as the picture allows.
        const float* samples = table.levelData(wave, 0);
        float peak = 0.0f;
        for (int i = 0; i < Vorn::WaveTable::kSamplesPerLevel; ++i)
            peak = std::max(peak, std::fabs(samples[i]));
        const double scale = (kHeight / 2.0 - kMargin) / static_cast<double>(peak);
        const double step = static_cast<double>(kWidth - 2 * kMargin) / Vorn::WaveTable::kSamplesPerLevel;
        for (int i = 0; i <= Vorn::WaveTable::kSamplesPerLevel; ++i) {
            const float value = samples[i % Vorn::WaveTable::kSamplesPerLevel];
            const double x = kMargin + i * step, y = kHeight / 2.0 - static_cast<double>(value) * scale;
            if (i == 0)
                cairo_move_to(cr.get(), x, y);
            else
                cairo_line_to(cr.get(), x, y);
        }
        rgb(cr.get(), 0, 150, 200);
        cairo_set_line_width(cr.get(), 1.6);
        cairo_set_line_join(cr.get(), CAIRO_LINE_JOIN_ROUND);
        cairo_stroke(cr.get());
        save(surface.get(), folder + "/wave-" + Vorn::waveName(wave) + ".png");
    }
}

void writeAreaPicture(const std::string& screenshot, const std::string& path)
{
    const Surface shot = load(screenshot);
    const int width = cairo_image_surface_get_width(shot.get());
    const int height = cairo_image_surface_get_height(shot.get());
    const std::vector<Area> areas = editorAreas();
    constexpr int kColumns = 4, kRowHeight = 24, kPadding = 10;
    const int rows = (static_cast<int>(areas.size()) + kColumns - 1) / kColumns;
    const int legend = rows * kRowHeight + 2 * kPadding;

    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height + legend));
    Context cr(cairo_create(surface.get()));
    rgb(cr.get(), 255, 255, 255);
    cairo_paint(cr.get());
    cairo_set_source_surface(cr.get(), shot.get(), 0, 0);
    cairo_paint(cr.get());

    for (const Area& area : areas) {
        roundedRect(cr.get(), area.x - 3, area.y - 3, area.width + 6, area.height + 6, 9);
        rgb(cr.get(), 20, 70, 170, 0.85);
        cairo_set_line_width(cr.get(), 2.0);
        cairo_stroke(cr.get());
        badge(cr.get(), area.number, area.x - 1, area.y - 1);
    }

    // The legend: the numbers with the areas' names, in columns.
    rgb(cr.get(), 190, 190, 194);
    cairo_rectangle(cr.get(), 0, height, width, 1);
    cairo_fill(cr.get());
    const double columnWidth = static_cast<double>(width - 2 * kPadding) / kColumns;
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const int column = static_cast<int>(i) / rows, row = static_cast<int>(i) % rows;
        const double x = kPadding + column * columnWidth + 12, y = height + kPadding + row * kRowHeight + 12;
        badge(cr.get(), areas[i].number, x, y);
        rgb(cr.get(), 30, 30, 30);
        cairo_select_font_face(cr.get(), "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr.get(), 13);
        cairo_move_to(cr.get(), x + 16, y + 4.5);
        cairo_show_text(cr.get(), areas[i].name.c_str());
    }
    save(surface.get(), path);
}

bool samePicture(const std::string& a, const std::string& b, int tolerance, std::string& why)
{
    const Surface first = load(a), second = load(b);
    const int width = cairo_image_surface_get_width(first.get()), height = cairo_image_surface_get_height(first.get());
    if (width != cairo_image_surface_get_width(second.get()) ||
        height != cairo_image_surface_get_height(second.get())) {
        why = "the sizes differ";
        return false;
    }
    const int strideA = cairo_image_surface_get_stride(first.get()),
              strideB = cairo_image_surface_get_stride(second.get());
    const unsigned char* dataA = cairo_image_surface_get_data(first.get());
    const unsigned char* dataB = cairo_image_surface_get_data(second.get());
    // An opaque picture's fourth byte carries nothing.
    const int channels = cairo_image_surface_get_format(first.get()) == CAIRO_FORMAT_ARGB32 ||
                                 cairo_image_surface_get_format(second.get()) == CAIRO_FORMAT_ARGB32
                             ? 4
                             : 3;
    long differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint32_t pa, pb;
            std::memcpy(&pa, dataA + y * strideA + 4 * x, 4);
            std::memcpy(&pb, dataB + y * strideB + 4 * x, 4);
            for (int shift = 0; shift < 8 * channels; shift += 8)
                if (std::abs(static_cast<int>((pa >> shift) & 0xffu) - static_cast<int>((pb >> shift) & 0xffu)) >
                    tolerance) {
                    ++differing;
                    break;
                }
        }
    why = std::to_string(differing) + " of " + std::to_string(static_cast<long>(width) * height) + " pixels differ";
    return differing == 0;
}

} // namespace Manual
