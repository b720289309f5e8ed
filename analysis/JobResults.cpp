#include "analysis/JobResults.h"

#include <algorithm>

namespace hookmeter {

void TCallTree::PathTo(uint32_t node, std::vector<uint32_t>& path) const {
    path.clear();
    for (uint32_t at = node; at != 0 && at < Nodes.size(); at = Nodes[at].Parent)
        path.push_back(at);
    std::reverse(path.begin(), path.end());
}

std::string CallPath(const TCallTree& tree, uint32_t node, const std::string& function) {
    std::vector<uint32_t> chain;
    tree.PathTo(node, chain);
    std::string path;
    for (uint32_t at : chain) {
        if (!path.empty())
            path += ';';
        path += tree.Names[tree.Nodes[at].Name];
    }
    // Tasks and functions share the names: the outermost node is always a task.
    if (chain.size() < 2 || tree.Names[tree.Nodes[node].Name] != function) {
        path += path.empty() ? "" : ";...;";
        path += function;
    }
    return path;
}

} // namespace hookmeter
