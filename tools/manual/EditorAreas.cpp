#include "manual/EditorAreas.h"

#include "EditorLayout.h"
#include "editor/SynthEditor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <tuple>

namespace Manual {

namespace {

// What the untitled controls between the sections are called, by their type
// in the layout table.
struct ControlGroup {
    const char* type;
    const char* name;
};
constexpr ControlGroup kControlGroups[] = {
    {"PulseButton", "bend button"},
    {"Button", "Dice and Init"},
    {"Readout", "readout"},
};

// Room left around the untitled controls, and below those with a caption under them.
constexpr double kMargin = 8.0;
constexpr double kCaptionHeight = 12.0;

bool captionedBelow(const char* name)
{
    for (const EditorLayout::Small& small : EditorLayout::kSmall)
        if (std::strcmp(small.name, name) == 0 && !small.captionBeside)
            return true;
    return false;
}

bool insideAnyPlate(double x, double y)
{
    for (const EditorLayout::Plate& plate : EditorLayout::kPlates)
        if (x >= plate.x && x < plate.x + plate.w && y >= plate.y && y < plate.y + plate.h)
            return true;
    return false;
}

} // namespace

std::vector<Area> editorAreas()
{
    std::vector<Area> areas;
    for (const EditorLayout::Plate& plate : EditorLayout::kPlates) {
        Area area{0, {}, plate.x, plate.y, plate.w, plate.h, true};
        for (const EditorLayout::Title& title : EditorLayout::kTitles)
            if (area.contains(title.x, title.centreY))
                area.name = title.text;
        if (area.name.empty())
            throw std::runtime_error("a section of the background has no title");
        areas.push_back(area);
    }
    for (const ControlGroup& group : kControlGroups) {
        double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
        for (int i = 0; i < SynthEditor::kLayoutRowCount; ++i) {
            const SynthEditor::LayoutRow& row = SynthEditor::kLayout[i];
            if (std::strcmp(row.type, group.type) != 0 ||
                insideAnyPlate(row.x + row.width / 2.0, row.y + row.height / 2.0))
                continue;
            left = std::min(left, static_cast<double>(row.x));
            top = std::min(top, static_cast<double>(row.y));
            right = std::max(right, static_cast<double>(row.x + row.width));
            bottom = std::max(bottom, row.y + row.height + (captionedBelow(row.name) ? kCaptionHeight : 0.0));
        }
        if (right < left)
            throw std::runtime_error(std::string("the layout table has no ") + group.type);
        areas.push_back({0, group.name, left - kMargin, top - kMargin, right - left + 2 * kMargin,
                         bottom - top + 2 * kMargin, false});
    }
    // Reading order: the upper panel before the lower, then by thirds of the
    // width, then top to bottom and left to right.
    auto key = [](const Area& a) {
        const double centreX = a.x + a.width / 2.0;
        return std::make_tuple(a.y >= EditorLayout::kLowerPanelTop, std::floor(centreX * 3.0 / EditorLayout::kWidth),
                               a.y, a.x);
    };
    std::sort(areas.begin(), areas.end(), [&](const Area& a, const Area& b) { return key(a) < key(b); });
    for (std::size_t i = 0; i < areas.size(); ++i)
        areas[i].number = static_cast<int>(i) + 1;
    return areas;
}

const Area* areaOf(const std::vector<Area>& areas, double x, double y, double width, double height)
{
    for (const Area& area : areas)
        if (area.contains(x + width / 2.0, y + height / 2.0))
            return &area;
    return nullptr;
}

} // namespace Manual
