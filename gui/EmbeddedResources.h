#pragma once
// The PNG images compiled into the plug-in, found by file name without
// regard to case ("knobstrip.png" finds "KnobStrip.png").

#include <cstddef>

struct EmbeddedResource {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

const EmbeddedResource* findEmbeddedResource(const char* name);
int embeddedResourceCount();
const EmbeddedResource& embeddedResource(int index);
