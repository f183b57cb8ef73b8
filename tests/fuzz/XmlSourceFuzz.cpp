// XML sources: the document flattened into records, whole or below a prefix element. Also
// checks the promise the nesting limit rests on: the parser never builds elements deeper than
// the measure of the text says.

#include "FetchFuzz.h"
#include "KLV/XmlNesting.h"

#include <rapidxml/rapidxml.hpp>

namespace {

constexpr std::string_view kDefinitions = "[XML_FORMAT]\nTYPE=XML\n"
                                          "[XML]\nDEPOT=Root.Depot\nID=Root.Order.Id\n"
                                          "QTY=Root.Order.Qty\n"
                                          "[XML_PREFIX_FORMAT]\nTYPE=XML\nPREFIXXML=Root.Order\n"
                                          "[XML_PREFIX]\nID=Id\nSKU=Line.Sku\n";

int DeepestElement(const rapidxml::xml_node<>* node, int depth)
{
    int deepest = depth;
    for (const rapidxml::xml_node<>* child = node->first_node(); child;
         child = child->next_sibling())
        if (child->type() == rapidxml::node_element)
            deepest = std::max(deepest, DeepestElement(child, depth + 1));
    return deepest;
}

void CheckNestingMeasure(std::string_view input)
{
    constexpr int kSmallLimit = 6;
    if (!XmlNestingWithin(input, kSmallLimit))
        return;
    std::string text(input);
    text.push_back('\0');
    rapidxml::xml_document<> document;
    try {
        document.parse<rapidxml::parse_default>(text.data());
    } catch (const rapidxml::parse_error&) {
        return;
    }
    TRV_FUZZ_CHECK(DeepestElement(&document, 0) <= kSmallLimit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input = trv::fuzz::AsText(data, size);
    const std::string& definitions = trv::fuzz::Definitions(kDefinitions);
    const bool prefixed = trv::fuzz::TakeSelector(input) % 2 == 1;
    CheckNestingMeasure(input);
    const std::string source = trv::fuzz::WriteFile("source.xml", input);
    CFetch fetch;
    if (trv::fuzz::OpenDefinition(fetch, prefixed ? "XML_PREFIX" : "XML", source, definitions))
        trv::fuzz::ReadEveryRecord(fetch, {"DEPOT", "ID", "QTY", "SKU"});
    return 0;
}
