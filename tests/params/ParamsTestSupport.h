#pragma once

#include "TempFolder.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder per test with the parameter paths pointing into it, and a clean parameters
// object.
class ParamsFolderTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        std::filesystem::create_directories(folder.Path() / "System");
        std::filesystem::create_directories(folder.Path() / "User");
        trv::ClearProfileCache();
        ResetParameterFilePaths();
        ResetUserParameters();
        ParamsFilePath = Path("Params.ini");
        ShowParamsFilePath = Path("ShowParams.ini");
        OverrideParamsFilePath = Path("Params-Corvane.ini");
        PntTableFilePath = Path("TablaPen.txt");
        CustomPntTableFilePath = Path("CustomTablaPen.txt");
        SpeedTableFilePath = Path("SpeedTable.ini");
        SchedulerIniFilePath = Path("Config.ini");
        SystemProfilesDir = Path("System/");
        UserProfilesDir = Path("User/");
        CustomerLabelsFilePath = Path("Labels.ini");
    }

    void TearDown() override
    {
        ResetParameterFilePaths();
        ResetUserParameters();
        trv::ClearProfileCache();
    }

  public:
    std::string Path(const std::string& name) const { return folder.File(name); }

    void WriteFile(const std::string& name, const std::string& text) const
    {
        folder.Write(name, text);
        trv::ClearProfileCache();
    }

    std::string ReadFile(const std::string& name) const
    {
        return trv::test::ReadFileBytes(Path(name));
    }

    trv::test::TempFolder folder{"trv_params"};
};

// One penalty-file line: row, period, factor field and the 48 values, each zero-padded to
// `valueWidth` characters.
inline std::string PenaltyLine(int row, int period, const std::string& factorField, int valueWidth,
                               const std::vector<std::string>& values)
{
    char header[8];
    std::snprintf(header, sizeof header, "%02d%03d", row, period);
    std::string line = std::string(header) + factorField;
    for (const std::string& value : values)
        line += std::string(static_cast<std::size_t>(valueWidth) - value.size(), '0') + value;
    return line;
}

inline std::string PenaltyLine(int row, int period, const std::string& factorField, int valueWidth,
                               const std::string& value)
{
    return PenaltyLine(row, period, factorField, valueWidth, std::vector<std::string>(48, value));
}
