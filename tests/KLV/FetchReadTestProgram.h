#pragma once

#include "FetchTestProgram.h"
#include "KLV/Fetch.h"
#include "TempFolder.h"

#include <filesystem>
#include <string>
#include <vector>

// The program folder of FetchTestProgram plus a copy of tests/data/fetch/read as "read/", whose
// Read.ini holds the definitions of the source reader tests.
class FetchReadTestProgram : public FetchTestProgram
{
  protected:
    void SetUp() override
    {
        FetchTestProgram::SetUp();
        std::filesystem::copy(TRV_TEST_DATA_DIR "/fetch/read", Path("read"),
                              std::filesystem::copy_options::recursive);
    }

    std::string ReadPath(const std::string& name) const { return Path("read/" + name); }

    // Init of a definition of Read.ini.
    int Open(CFetch& fetch, const std::string& name, const std::string& file = "",
             int mode = FETCH_MODE_READ, const std::string& extraWhere = "")
    {
        return fetch.Init(name, "", "", mode, file, extraWhere, "", 1, nullptr, "",
                          ReadPath("Read.ini"));
    }

    // The values of the fields over every record the reading loop accepts, "|"-joined per
    // record.
    static std::vector<std::string> ReadRecords(CFetch& fetch,
                                                const std::vector<std::string>& fields)
    {
        std::vector<std::string> records;
        int guard = 0;
        while (!fetch.IsEOF() && ++guard < 100000) {
            if (!fetch.MoveNext())
                continue;
            std::string record;
            for (const std::string& field : fields) {
                if (!record.empty() || &field != &fields.front())
                    record += '|';
                record += fetch.GetFieldString(field);
            }
            records.push_back(record);
        }
        return records;
    }

    static void WriteBytes(const std::string& path, const std::string& bytes)
    {
        trv::test::WriteFileBytes(path, bytes);
    }

    static std::string ReadBytes(const std::string& path) { return trv::test::ReadFileBytes(path); }

    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
};
