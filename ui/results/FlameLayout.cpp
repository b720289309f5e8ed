#include "ui/results/FlameLayout.h"

#include <algorithm>

namespace hookmeter {

namespace {

struct TPending {
    uint32_t Node;
    int Depth;
    double X;
};

} // namespace

void TFlameLayout::Build(const TCallTree& tree, uint32_t zoomNode, double width) {
    LaidOut.clear();
    RowStarts.clear();
    DeeperFrames = false;
    if (tree.Nodes.empty() || zoomNode >= tree.Nodes.size() ||
        tree.Nodes[zoomNode].TotalCycles == 0 || width <= 0)
        return;
    const double scale = width / double(tree.Nodes[zoomNode].TotalCycles);
    std::vector<TPending> pending;

    // Lays the children of a frame out from its left edge, one row further down.
    const auto layChildren = [&](uint32_t parent, int depth, double x) {
        double mergedX = x, mergedWidth = 0;
        const auto flushMerged = [&] {
            if (mergedWidth >= MinFrameWidth)
                LaidOut.push_back({TFlameFrame::Merged, depth, mergedX, mergedWidth, false});
            mergedWidth = 0;
        };
        for (uint32_t child = tree.Nodes[parent].FirstChild; child != 0;
             child = tree.Nodes[child].NextSibling) {
            const double childWidth = double(tree.Nodes[child].TotalCycles) * scale;
            if (childWidth >= MinFrameWidth) {
                flushMerged();
                pending.push_back({child, depth, x});
            } else {
                if (mergedWidth == 0)
                    mergedX = x;
                mergedWidth += childWidth;
            }
            x += childWidth;
        }
        if (const double foldedWidth = double(tree.Nodes[parent].FoldedCycles) * scale;
            foldedWidth >= MinFrameWidth) {
            flushMerged();
            LaidOut.push_back({parent, depth, x, foldedWidth, true});
        } else if (foldedWidth > 0) {
            if (mergedWidth == 0)
                mergedX = x;
            mergedWidth += foldedWidth;
        }
        flushMerged();
    };

    if (zoomNode == 0)
        layChildren(0, 0, 0);
    else
        pending.push_back({zoomNode, 0, 0});
    while (!pending.empty()) {
        const TPending frame = pending.back();
        pending.pop_back();
        LaidOut.push_back({frame.Node, frame.Depth, frame.X,
                           double(tree.Nodes[frame.Node].TotalCycles) * scale, false});
        if (frame.Depth + 1 < MaxRows)
            layChildren(frame.Node, frame.Depth + 1, frame.X);
        else if (tree.Nodes[frame.Node].FirstChild != 0 || tree.Nodes[frame.Node].FoldedCycles != 0)
            DeeperFrames = true;
    }

    std::sort(LaidOut.begin(), LaidOut.end(), [](const TFlameFrame& a, const TFlameFrame& b) {
        return a.Depth != b.Depth ? a.Depth < b.Depth : a.X < b.X;
    });
    for (size_t i = 0; i < LaidOut.size(); ++i)
        while (int(RowStarts.size()) <= LaidOut[i].Depth)
            RowStarts.push_back(i);
    RowStarts.push_back(LaidOut.size());
}

const TFlameFrame* TFlameLayout::FrameAt(double x, int row) const {
    if (row < 0 || row >= Rows())
        return nullptr;
    const auto first = LaidOut.begin() + std::ptrdiff_t(RowStarts[size_t(row)]);
    const auto last = LaidOut.begin() + std::ptrdiff_t(RowStarts[size_t(row) + 1]);
    // The last frame that starts at or before x.
    auto after = std::upper_bound(first, last, x,
                                  [](double value, const TFlameFrame& f) { return value < f.X; });
    if (after == first)
        return nullptr;
    const TFlameFrame& frame = *(after - 1);
    return x < frame.X + frame.Width ? &frame : nullptr;
}

} // namespace hookmeter
