#pragma once
// A font by family name and size in pixels, shared by reference counting.
// The family is matched to the closest installed font the first time the
// font is drawn (a missing "Helvetica" becomes the system's sans font).

#include "gui/CReferenceCounter.h"

#include <string>

class CFontDesc : public CReferenceCounter {
public:
    CFontDesc(const char* family, int size);

    const std::string& getName() const { return name_; }
    int getSize() const { return size_; }
    // The installed family that stands in for getName().
    const std::string& resolvedName() const;

protected:
    ~CFontDesc() override = default;

private:
    std::string name_;
    int size_;
    mutable std::string resolved_;
};
