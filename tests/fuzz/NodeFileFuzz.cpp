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
    for (int index = 0; index < nodes.GetSize(); ++index)
        if (const CNode* node = nodes.GetNode(index))
            TRV_FUZZ_CHECK(nodes.FindPoint(node->x, node->y) <= index || !node->HasPoint());
    TRV_FUZZ_CHECK(nodes.Save(path));
    CSchNodesList again;
    TRV_FUZZ_CHECK(again.Init(path));
    TRV_FUZZ_CHECK(again.GetMaxIndex() == nodes.GetMaxIndex());
    return 0;
}
