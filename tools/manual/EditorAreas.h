#pragma once
// The editor divided into the areas the manual names and numbers: the
// titled sections painted on the background, and the bend button, the Dice
// and Init buttons and the readout between them. Built from the editor's
// own layout table and the background's plates and titles, so that the
// picture of the editor and the parameter reference number them alike.

#include <string>
#include <vector>

namespace Manual {

struct Area {
    int number;       // 1, 2, ... in reading order: upper panel, then lower; left to right
    std::string name; // the section's title as painted ("OSC"), or what the controls are
    double x, y, width, height;
    bool section; // a titled section holding parameters

    bool contains(double px, double py) const { return px >= x && px < x + width && py >= y && py < y + height; }
};

std::vector<Area> editorAreas();

// The area a control of the layout table lies in (by its centre); null when none.
const Area* areaOf(const std::vector<Area>& areas, double x, double y, double width, double height);

} // namespace Manual
