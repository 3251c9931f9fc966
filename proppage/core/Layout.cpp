#include "proppage/core/Layout.h"

namespace proppage {

int Scale(int value, int dpi) noexcept {
    // Round half away from zero, like MulDiv.
    const long long scaled = static_cast<long long>(value) * dpi;
    const long long half = BaseDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / BaseDpi : -((-scaled + half) / BaseDpi));
}

Box Scale(const Box& box, int dpi) noexcept {
    const int left = Scale(box.left, dpi);
    const int top = Scale(box.top, dpi);
    return {left, top, Scale(box.left + box.width, dpi) - left, Scale(box.top + box.height, dpi) - top};
}

int FontPixelHeight(int dpi) noexcept {
    // points * dpi / 72, in hundredths of a point.
    return static_cast<int>((static_cast<long long>(FontSizeCentipoints) * dpi + 3600) / 7200);
}

}  // namespace proppage
