#pragma once

#include "KLV/XlsxReader.h"

#include <string>

namespace trv {

// Writes to `target` a copy of the workbook at `path` in which only the cells of `sheet` that
// differ between `before` (the sheet as read) and `after` are written: rows and columns added
// at the end, changed cells replaced. Every other cell, row, sheet, style and formula is copied
// as it stands; a date or time gets a number format of its kind when its cell has none. False
// with the reason in `error`, and nothing kept at `target`, when the change cannot be made
// without damage (a formula would be overwritten, the sheet cannot be found).
bool UpdateWorkbookSheet(const std::string& path, const std::string& target,
                         const std::string& sheet, const XlsxTable& before, const XlsxTable& after,
                         std::string& error);

} // namespace trv
