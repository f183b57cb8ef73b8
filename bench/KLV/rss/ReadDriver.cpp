// Reads every field of a ';'-separated file through a definition, for measuring the peak
// resident memory of a read from outside (/usr/bin/time -v read_rss_driver FILE COLUMNS).

#include "KLV/Fetch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FILE COLUMNS\n", argv[0]);
        return 2;
    }
    const std::string file = std::filesystem::absolute(argv[1]).string();
    const int columns = std::atoi(argv[2]);
    const std::filesystem::path definitions =
        std::filesystem::temp_directory_path() /
        ("trv_read_driver_" + std::to_string(::getpid()) + ".ini");
    {
        std::ofstream out(definitions);
        out << "[BOOL]\nDEFAULT=S,N\n[TIME]\nDEFAULT=HH:MM\n[DATE]\nDEFAULT=DD/MM/YYYY\n"
               "[ROWS_FORMAT]\nTYPE=ASCII\nSEPARATOR=;\n[ROWS]\n";
        for (int column = 0; column < columns; ++column)
            out << "F" << column << "=" << column + 1 << "\n";
    }
    std::vector<std::string> names;
    for (int column = 0; column < columns; ++column)
        names.push_back("F" + std::to_string(column));
    CFetch fetch;
    const int opened = fetch.Init("ROWS", "", "", FETCH_MODE_READ, file, "", "", 1, nullptr, "",
                                  definitions.string());
    std::filesystem::remove(definitions);
    if (!opened) {
        std::fprintf(stderr, "cannot read %s: %s\n", file.c_str(), fetch.m_strLastError.c_str());
        return 1;
    }
    long long records = 0;
    std::size_t characters = 0;
    while (!fetch.IsEOF()) {
        if (!fetch.MoveNext())
            continue;
        ++records;
        for (const std::string& name : names)
            characters += fetch.GetFieldString(name).size();
    }
    std::printf("%lld records, %zu characters, file %ju bytes\n", records, characters,
                static_cast<std::uintmax_t>(std::filesystem::file_size(file)));
    return 0;
}
