// A page canvas over a graphics context that draws into a white bitmap with the device
// layer's box font (or the system fonts, for looking), for comparing a drawn page with a PNG
// golden. Needs the device layer set up (a WindowTest fixture).
#pragma once

#include <memory>
#include <string>

class GraphicsContext;
class PageCanvas;

namespace fvt::test {

class GoldenCanvas {
public:
    GoldenCanvas(int width, int height, bool realFonts = false);
    ~GoldenCanvas();
    GoldenCanvas(const GoldenCanvas&) = delete;
    GoldenCanvas& operator=(const GoldenCanvas&) = delete;

    PageCanvas* Canvas();
    // The context it draws with (for a layout to measure with).
    GraphicsContext* Context();
    // The graphics context's drawing depth (0 once every bracket is closed).
    int Depth() const;
    bool Matches(const std::string& golden, std::string* message) const;
    // Writes the drawing as a PNG (for looking at it).
    bool SavePng(const std::string& path) const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace fvt::test
