// Writes the reference picture of the Windows GUI test's scene, drawn by
// the Linux build's platform layer.

#include "GuiScene.h"

#include "gui/COffscreenContext.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    auto frame = GuiScene::build(nullptr);
    auto image = frame->renderOffscreen();
    if (!image || !image->writePNG(argv[1])) {
        std::fprintf(stderr, "cannot render or write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
