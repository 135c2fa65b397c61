#pragma once
// The manual's pictures, drawn with cairo from the plug-in's own data: each
// of the nine waves from the wavetable, and the editor's screenshot with its
// areas outlined and numbered.

#include <string>

namespace Manual {

// wave-sin.png ... wave-dig5.png in `folder`: level 0 of each wave (all its
// harmonics), one cycle, each as high as the picture.
void writeWavePictures(const std::string& folder);

// The screenshot with each area of the editor outlined and numbered, and a
// legend of the numbers under it.
void writeAreaPicture(const std::string& screenshot, const std::string& path);

// Whether two PNG files show the same pixels (each channel within
// `tolerance`); `why` says how they differ when they do not.
bool samePicture(const std::string& a, const std::string& b, int tolerance, std::string& why);

} // namespace Manual
