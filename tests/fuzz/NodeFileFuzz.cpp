// Node files (".nod"): tab-separated node lines, saved again and read back.

#include "FuzzSupport.h"
#include "routing/SchNodesList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = trv::fuzz::WriteFile("plan.nod", trv::fuzz::AsText(data, size));
    CSchNodesList nodes;
    if (!nodes.Init(path)) {
        trv::fuzz::Outcome("refused: not a node file");
        return 0;
    }
    trv::fuzz::Outcome("read " + std::to_string(nodes.GetSize()) + " nodes");
    // Read-only access: a node handed out for change would rebuild the point index per lookup.
    const CSchNodesList& read = nodes;
    for (int index = 0; index < read.GetSize(); ++index)
        if (const CNode* node = read.GetNode(index))
            TRV_FUZZ_CHECK(read.FindPoint(node->x, node->y) <= index || !node->HasPoint());
    TRV_FUZZ_CHECK(nodes.Save(path));
    // One list at a time, so the memory bound is the reader's own.
    const int maxIndex = nodes.GetMaxIndex();
    nodes.RemoveAll();
    CSchNodesList again;
    TRV_FUZZ_CHECK(again.Init(path));
    TRV_FUZZ_CHECK(again.GetMaxIndex() == maxIndex);
    return 0;
}
