// Workbooks (.xlsx): the sheet names, then the first sheet and each named one.

#include "FuzzSupport.h"
#include "KLV/XlsxReader.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = trv::fuzz::WriteFile("book.xlsx", trv::fuzz::AsText(data, size));
    std::string error;
    std::vector<std::string> names;
    if (!trv::CXlsxReader::SheetNames(path, names, error))
        trv::fuzz::Outcome("refused: " + error);
    else
        trv::fuzz::Outcome("read " + std::to_string(names.size()) + " sheet names");
    trv::XlsxTable table;
    trv::CXlsxReader::Read(path, "", table, error);
    if (!table.rows.empty() && !table.rows.front().empty())
        table.ColumnIndex(table.rows.front().back().text);
    for (std::size_t index = 0; index < names.size() && index < 4; ++index)
        trv::CXlsxReader::Read(path, names[index], table, error);
    return 0;
}
