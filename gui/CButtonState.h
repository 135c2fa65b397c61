#pragma once
// Mouse buttons and modifier keys held during a mouse event.

enum CButton {
    kLButton = 1 << 0,
    kMButton = 1 << 1,
    kRButton = 1 << 2,
    kShift = 1 << 3,
    kControl = 1 << 4,
    kAlt = 1 << 5,
};

struct CButtonState {
    int flags = 0;
    constexpr CButtonState() = default;
    constexpr CButtonState(int f) : flags(f) {}
    bool isLeftButton() const { return (flags & kLButton) != 0; }
    bool operator&(int mask) const { return (flags & mask) != 0; }
};
