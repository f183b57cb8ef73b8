#include "params/Profiles.h"

#include "KLV/Translate.h"
#include "ParamsTestSupport.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

namespace {

using ProfilesTest = ParamsFolderTest;

TEST_F(ProfilesTest, ProfileNameIsUpperCasedAndSalesmanIsSpecial)
{
    WriteFile("System/SALESMAN.INI", "[Parameters]\nDeliveryProblem=0\nToolbar=Salesman\n");
    WriteFile("Params.ini", "[Parameters]\nProfile=salesman\n");
    CUserParameters& p = UserParameters();
    p.LoadProfileName();
    EXPECT_EQ(p.Profile, "SALESMAN");
    EXPECT_EQ(p.NotSalesman, 0);
    EXPECT_EQ(p.VehicleType, 0);
    EXPECT_EQ(p.Toolbar, "Salesman");

    // Setting a profile stores the name as given and waits for the next load to classify it.
    WriteFile("Params.ini", "[Parameters]\nProfile=Standard\n");
    p.LoadProfileName();
    EXPECT_EQ(p.NotSalesman, -1);
    EXPECT_TRUE(p.SetProfile("salesman"));
    EXPECT_EQ(p.Profile, "salesman");
    EXPECT_EQ(p.NotSalesman, -1);
    EXPECT_EQ(trv::GetProfileString("Parameters", "Profile", "", ParamsFilePath), "salesman");
}

TEST_F(ProfilesTest, MissingProfileGivesTheAbsentValues)
{
    WriteFile("Params.ini", "[Parameters]\n");
    CUserParameters& p = UserParameters();
    p.LoadProfileName();
    EXPECT_EQ(p.Profile, "STANDARD");
    EXPECT_EQ(p.ResourcesReturnToBase, 1);
    EXPECT_EQ(p.DeliveryProblem, 0);
    EXPECT_EQ(p.VehicleType, 1);
    EXPECT_EQ(p.Toolbar, "Standard");
    EXPECT_EQ(p.Ratios.GetSize(), 0);
}

TEST_F(ProfilesTest, SystemProfileWinsOverUserProfile)
{
    WriteFile("System/Mixed.ini", "[Parameters]\nTanks=1\n[Ratios]\nCostPerKm=0.85\n");
    WriteFile("User/MIXED.INI", "[Parameters]\nTanks=0\nPointToPoint=1\n");
    WriteFile("User/OWN.INI", "[Parameters]\nPointToPoint=1\n");
    CUserParameters& p = UserParameters();
    p.LoadProfile("MIXED");
    EXPECT_EQ(p.Tanks, 1);
    EXPECT_EQ(p.PointToPoint, 0);
    ASSERT_EQ(p.Ratios.GetSize(), 1);
    EXPECT_EQ(p.Ratios[0], "CostPerKm=0.85");
    p.LoadProfile("OWN");
    EXPECT_EQ(p.PointToPoint, 1);
}

TEST_F(ProfilesTest, NamesFallBackToLanguageOne)
{
    const std::string file = Path("System/STANDARD.INI");
    WriteFile("System/STANDARD.INI", "[Names]\n1=Standard\n2=Estandar\n[Descriptions]\n1=Plain\n");
    EXPECT_EQ(GetProfileName(2, file), "Estandar");
    EXPECT_EQ(GetProfileName(3, file), "Standard");
    EXPECT_EQ(GetProfileDescription(2, file), "Plain");
    ASSERT_TRUE(SetProfileName(3, file, "Standard 3"));
    EXPECT_EQ(GetProfileName(3, file), "Standard 3");
}

TEST_F(ProfilesTest, PlannersIconsOverrideTheProfiles)
{
    const std::string file = Path("System/STANDARD.INI");
    WriteFile("System/STANDARD.INI", "[Parameters]\nOrderIcon=box.png\nResourceIcon=lorry.png\n");
    WriteFile("Params.ini", "[Parameters]\nOrderIcon=\nResourceIcon=van.png\n");
    CUserParameters& p = UserParameters();
    EXPECT_EQ(p.GetOrderIcon(file), "box.png");
    EXPECT_EQ(p.GetResourceIcon(file), "van.png");
    ParamsFilePath.clear();
    EXPECT_EQ(p.GetResourceIcon(file), "lorry.png");
}

TEST_F(ProfilesTest, FlagsReadAndWriteOneByOne)
{
    const std::string file = Path("User/OWN.INI");
    EXPECT_EQ(GetProfileFlag(file, "ResourcesReturnToBase"), 1);
    EXPECT_EQ(GetProfileFlag(file, "VehicleType", 0), 0);
    EXPECT_TRUE(SetProfileFlag(file, "Tanks", 1));
    EXPECT_EQ(GetProfileFlag(file, "Tanks"), 1);
    EXPECT_FALSE(SetProfileFlag(file, "ConsiderFullTruckToLoadingTime", 1));
    EXPECT_EQ(GetProfileFlag(file, "NoSuchFlag"), -1);
}

TEST_F(ProfilesTest, LabelsFileHasTheLastWordOnCaptions)
{
    WriteFile("Config.ini", "[Configuration]\nLanguageID=1\n");
    WriteFile("System/STANDARD.INI", "[Captions 1]\nTrvTestOrder=Visit\nTrvTestTruck=Car\n");
    WriteFile("Labels.ini", "[Captions 1]\nTrvTestOrder=Call\n");
    UserParameters().LoadProfile("STANDARD");
    EXPECT_EQ(Translate("TrvTestOrder"), "Call");
    EXPECT_EQ(Translate("TrvTestTruck"), "Car");
}

} // namespace
