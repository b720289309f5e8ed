// TFlameLayout: where each frame of a call-path tree lies in a flame graph of a given width. Row 0
// holds the tasks (or the frame zoomed into), each row below holds the callees of the row above;
// a frame is as wide as its share of the cycles shown. Frames narrower than a pixel are not laid
// out one by one: neighbouring ones are merged into one unnamed frame once they fill a pixel, and
// what they call is left out; and rows deeper than MaxRows below the frame zoomed into are left
// for a zoom to show. So the work depends on the width, not on the tree's size or depth. The time
// of the calls the tree could not hold is a frame of its own below their caller, after its
// callees.
#pragma once

#include "analysis/JobResults.h"

#include <cstdint>
#include <vector>

namespace hookmeter {

struct TFlameFrame {
    static constexpr uint32_t Merged = 0; // the tree's root is never drawn, so 0 is free
    uint32_t Node = Merged;
    int Depth = 0;
    double X = 0;
    double Width = 0;
    bool Folded = false; // the calls beyond the tree counted in Node (TCallTreeNode::FoldedCycles)
};

class TFlameLayout {
public:
    static constexpr double MinFrameWidth = 1.0;
    static constexpr int MaxRows = 128;

    // Lays out the subtree of `zoomNode` (0: every task) across `width` pixels.
    void Build(const TCallTree& tree, uint32_t zoomNode, double width);

    // Frames ordered by row, then from left to right.
    const std::vector<TFlameFrame>& Frames() const { return LaidOut; }
    int Rows() const { return int(RowStarts.empty() ? 0 : RowStarts.size() - 1); }
    // Some frames lie deeper than the rows laid out.
    bool Truncated() const { return DeeperFrames; }
    // The frame under a point (x in pixels, row counted from 0), or none.
    const TFlameFrame* FrameAt(double x, int row) const;

private:
    std::vector<TFlameFrame> LaidOut;
    std::vector<size_t> RowStarts; // LaidOut index of each row's first frame, then the end
    bool DeeperFrames = false;
};

} // namespace hookmeter
