#pragma once

#include <string>
#include <string_view>

// Paths use '/'. Paths read from configuration files written on Windows use '\'; every helper
// here accepts both. File names from configuration are found whatever their letter case, as
// the Windows program's files were case-insensitive ("config.ini" finds "Config.ini").

namespace trv {

// '\' turned into '/', repeated separators and "." segments removed, "name/.." pairs resolved
// where a name precedes them. A trailing separator is kept (it marks a folder).
std::string NormalizePath(std::string_view path);

// `folder` and `name` joined with one '/', both normalised; an absolute `name` stands alone.
std::string JoinPath(std::string_view folder, std::string_view name);

bool IsAbsolutePath(std::string_view path);

// The last component of the path (after the last '/' or '\'); the whole path when none.
std::string GetPathFileName(std::string_view path);

// The path up to and including the last separator, normalised; empty when there is none.
std::string GetPathFolder(std::string_view path);

// The path with its final extension (`extension`, any letter case) replaced; empty when the
// path does not end with it. Only the end changes: "d.ord/x.ord" gives "d.ord/x.add".
std::string ReplaceFinalExtension(std::string_view path, std::string_view extension,
                                  std::string_view replacement);

// The existing file or folder the path names, each component matched ignoring case (an exact
// match wins); empty when nothing matches. Relative paths are resolved from the current folder
// but returned relative.
std::string FindPathNoCase(std::string_view path);

// FindPathNoCase, or the normalised path itself when nothing matches (for files to create).
std::string ResolvePathCase(std::string_view path);

} // namespace trv
