#pragma once

namespace tarvo {

// A window's outer frame in screen pixels.
struct WindowFrame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// What the project sections need of a window: where it stands on the screen, and a way to
// put it somewhere. The views implement it on their frames.
class PlacedWindow {
public:
    virtual ~PlacedWindow() = default;
    virtual WindowFrame Frame() const = 0;
    virtual void SetFrame(const WindowFrame& frame) = 0;
};

}  // namespace tarvo
