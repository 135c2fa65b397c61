#include "gui/EmbeddedResources.h"

#include <cctype>

// The build generates TarvelResources.inc from resources/*.png: one byte
// array per image and the table kResources / kResourceCount.
#if __has_include("TarvelResources.inc")
#include "TarvelResources.inc"
#else
static const EmbeddedResource kResources[1] = {{"", nullptr, 0}};
static const int kResourceCount = 0;
#endif

namespace {

bool sameNameIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

} // namespace

const EmbeddedResource* findEmbeddedResource(const char* name)
{
    if (!name)
        return nullptr;
    for (int i = 0; i < kResourceCount; ++i)
        if (sameNameIgnoringCase(kResources[i].name, name))
            return &kResources[i];
    return nullptr;
}

int embeddedResourceCount()
{
    return kResourceCount;
}

const EmbeddedResource& embeddedResource(int index)
{
    return kResources[index];
}
