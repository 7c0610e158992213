#pragma once

// Where the main window comes back, and the profile texts that remember it: plain arithmetic
// over rectangles and integers, shared by the window and the native tests.

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

namespace placement {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect& other) const {
        return left == other.left && top == other.top && right == other.right &&
               bottom == other.bottom;
    }
};

// So much of a window must lie on a monitor's work area for the user to grab and move it.
constexpr int kMinVisible = 32;

inline int Overlap(int a0, int a1, int b0, int b1) {
    const int low = a0 > b0 ? a0 : b0;
    const int high = a1 < b1 ? a1 : b1;
    return high > low ? high - low : 0;
}

// Squared distance between two rectangles; 0 when they touch or overlap.
inline long long Distance(const Rect& a, const Rect& b) {
    const long long dx = a.right < b.left   ? b.left - a.right
                         : b.right < a.left ? a.left - b.right
                                            : 0;
    const long long dy = a.bottom < b.top   ? b.top - a.bottom
                         : b.bottom < a.top ? a.top - b.bottom
                                            : 0;
    return dx * dx + dy * dy;
}

// A remembered rectangle stays where it is while enough of it shows on some work area (a
// monitor unplugged since, or a resolution made smaller, leaves it off every one); otherwise
// it moves, size unchanged, inside the nearest work area, top-left first when it is larger.
inline Rect KeepReachable(const Rect& window, const std::vector<Rect>& workAreas) {
    if (workAreas.empty())
        return window;
    const int needX = window.Width() < kMinVisible ? window.Width() : kMinVisible;
    const int needY = window.Height() < kMinVisible ? window.Height() : kMinVisible;
    for (const Rect& area : workAreas) {
        if (Overlap(window.left, window.right, area.left, area.right) >= needX &&
            Overlap(window.top, window.bottom, area.top, area.bottom) >= needY && needX > 0 &&
            needY > 0)
            return window;
    }
    const Rect* nearest = &workAreas.front();
    for (const Rect& area : workAreas) {
        if (Distance(window, area) < Distance(window, *nearest))
            nearest = &area;
    }
    int left = window.left, top = window.top;
    if (left + window.Width() > nearest->right)
        left = nearest->right - window.Width();
    if (top + window.Height() > nearest->bottom)
        top = nearest->bottom - window.Height();
    if (left < nearest->left)
        left = nearest->left;
    if (top < nearest->top)
        top = nearest->top;
    return {left, top, left + window.Width(), top + window.Height()};
}

// "12,-40,300": the stored form of a list of integers.
inline std::string FormatInts(const std::vector<int>& values) {
    std::string text;
    for (size_t i = 0; i < values.size(); ++i)
        text += (i == 0 ? "" : ",") + std::to_string(values[i]);
    return text;
}

// Exactly `count` integers, each within minValue..maxValue; false for anything else (a
// hand-edited or damaged profile gives the defaults).
inline bool ParseInts(const std::string& text, size_t count, int minValue, int maxValue,
                      std::vector<int>& values) {
    std::vector<int> found;
    const char* p = text.c_str();
    while (found.size() < count) {
        char* end = nullptr;
        if (*p == '\0' || *p == ' ')
            return false;
        const long value = std::strtol(p, &end, 10);
        if (end == p || value < minValue || value > maxValue)
            return false;
        found.push_back(static_cast<int>(value));
        p = end;
        if (found.size() < count) {
            if (*p != ',')
                return false;
            ++p;
        }
    }
    if (*p != '\0')
        return false;
    values = found;
    return true;
}

} // namespace placement
