#include "analysis/FoldedFile.h"

#include "base/NumberFormat.h"
#include "base/TextEscape.h"

#include <string>
#include <vector>

namespace hookmeter {

void WriteFoldedStacks(TOutputFile& file, const TCallTree& tree) {
    std::vector<uint32_t> chain;
    std::string line;
    for (size_t node = 1; node < tree.Nodes.size(); ++node) {
        // The calls beyond the tree count in the path of their caller.
        const uint64_t cycles = tree.Nodes[node].SelfCycles + tree.Nodes[node].FoldedCycles;
        if (cycles == 0)
            continue;
        tree.PathTo(uint32_t(node), chain);
        line.clear();
        for (size_t at = 0; at < chain.size(); ++at) {
            if (at != 0)
                line += ';';
            AppendFoldedFrame(line, tree.Names[tree.Nodes[chain[at]].Name]);
        }
        file.Write(line);
        char* out = file.Reserve(2 + MaxDecimalDigits);
        *out++ = ' ';
        out = FormatUnsigned(out, cycles, 0);
        *out++ = '\n';
        file.Commit(out);
    }
}

} // namespace hookmeter
