#include "engine/FoldedFile.h"

#include "engine/NumberFormat.h"

#include <string>
#include <vector>

namespace hookmeter {
namespace {

std::string FoldedName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded) {
        unsigned char byte = (unsigned char)c;
        if (c == ';')
            c = ':';
        else if (byte < 0x20 || byte == 0x7F)
            c = '?';
    }
    return folded;
}

} // namespace

void WriteFoldedStacks(TOutputFile& file, const TCallTree& tree) {
    std::vector<std::string> names;
    names.reserve(tree.Names.size());
    for (const std::string& name : tree.Names)
        names.push_back(FoldedName(name));
    std::vector<uint32_t> chain;
    for (size_t node = 1; node < tree.Nodes.size(); ++node) {
        if (tree.Nodes[node].SelfCycles == 0)
            continue;
        chain.clear();
        for (uint32_t at = uint32_t(node); at != 0; at = tree.Nodes[at].Parent)
            chain.push_back(at);
        for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
            if (at != chain.rbegin())
                file.Write(";");
            file.Write(names[tree.Nodes[*at].Name]);
        }
        char* out = file.Reserve(2 + MaxDecimalDigits);
        *out++ = ' ';
        out = FormatUnsigned(out, tree.Nodes[node].SelfCycles, 0);
        *out++ = '\n';
        file.Commit(out);
    }
}

} // namespace hookmeter
