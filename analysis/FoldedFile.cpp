#include "analysis/FoldedFile.h"

#include "base/NumberFormat.h"

#include <algorithm>
#include <string>
#include <vector>

namespace hookmeter {
namespace {

// A name with ';' as ':' and control characters as '?'.
void WriteFoldedName(TOutputFile& file, const std::string& name) {
    for (size_t at = 0; at < name.size(); at += TOutputFile::ReserveLimit) {
        size_t length = std::min(name.size() - at, TOutputFile::ReserveLimit);
        char* out = file.Reserve(length);
        for (size_t i = 0; i < length; ++i) {
            char c = name[at + i];
            unsigned char byte = (unsigned char)c;
            *out++ = c == ';' ? ':' : byte < 0x20 || byte == 0x7F ? '?' : c;
        }
        file.Commit(out);
    }
}

} // namespace

void WriteFoldedStacks(TOutputFile& file, const TCallTree& tree) {
    std::vector<uint32_t> chain;
    for (size_t node = 1; node < tree.Nodes.size(); ++node) {
        if (tree.Nodes[node].SelfCycles == 0)
            continue;
        tree.PathTo(uint32_t(node), chain);
        for (size_t at = 0; at < chain.size(); ++at) {
            if (at != 0)
                file.Write(";");
            WriteFoldedName(file, tree.Names[tree.Nodes[chain[at]].Name]);
        }
        char* out = file.Reserve(2 + MaxDecimalDigits);
        *out++ = ' ';
        out = FormatUnsigned(out, tree.Nodes[node].SelfCycles, 0);
        *out++ = '\n';
        file.Commit(out);
    }
}

} // namespace hookmeter
