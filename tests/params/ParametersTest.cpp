#include "params/Parameters.h"

#include "ParamsTestSupport.h"
#include "TempFolder.h"
#include "params/ParameterTimers.h"
#include "platform/Profile.h"
#include "platform/UserPrompt.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

class ParametersTest : public ParamsFolderTest
{
  protected:
    void SetUp() override
    {
        ParamsFolderTest::SetUp();
        // "Config.ini beside the program" is this folder's.
        home.Set("TREVANTOR_HOME", folder.Path().string());
        WriteFile("TablaPen.txt", PenaltyLine(1, 30, "0100", 5, "2") + "\n");
    }

    // A fresh object loaded from Params.ini holding `lines` in section "Parameters".
    CUserParameters& LoadParameters(const std::string& lines)
    {
        WriteFile("Params.ini", "[Parameters]\n" + lines);
        ResetUserParameters();
        EXPECT_TRUE(UserParameters().Load());
        return UserParameters();
    }

    trv::test::EnvironmentOverride home;
};

TEST_F(ParametersTest, MissingOrBadPenaltyFileStopsTheLoad)
{
    WriteFile("Params.ini", "[Parameters]\nLoadTime=99\n");
    const struct
    {
        const char* penaltyFile; // null: no file
        const char* messageKey;
    } cases[] = {{nullptr, "FileCannotOpen"}, {"too short\n", "FileReadingError"}};
    for (const auto& c : cases) {
        std::filesystem::remove(Path("TablaPen.txt"));
        if (c.penaltyFile)
            WriteFile("TablaPen.txt", c.penaltyFile);
        trv::RecordingUserPrompt prompt;
        ResetUserParameters();
        EXPECT_FALSE(UserParameters().Load());
        ASSERT_EQ(prompt.calls.size(), 1u);
        EXPECT_EQ(prompt.calls[0].key, c.messageKey);
        EXPECT_EQ(UserParameters().LoadTime, 30);
        EXPECT_EQ(UserParameters().PenaltyTable.GetCount(), 0);
    }
}

TEST_F(ParametersTest, OutOfRangeValuesAreCorrected)
{
    using Check = std::function<void(const CUserParameters&)>;
    const struct
    {
        const char* lines;
        Check check;
    } cases[] = {
        {"WTFrom=600\nWTTo=500\n",
         [](const CUserParameters& p) {
             EXPECT_EQ(p.WTFrom, 540);
             EXPECT_EQ(p.WTTo, 1020);
             EXPECT_EQ(p.MaxWorkingTime, 480);
         }},
        {"WTFrom=0\nWTTo=1440\n", [](const CUserParameters& p) { EXPECT_EQ(p.WTTo, 1440); }},
        {"WTTo=1441\n", [](const CUserParameters& p) { EXPECT_EQ(p.WTTo, 1020); }},
        {"WTFrom=480\nWTTo=1080\nMaxWorkingTime=2000\nMaxDrivingTime=500\n",
         [](const CUserParameters& p) {
             EXPECT_EQ(p.MaxWorkingTime, 600);
             EXPECT_EQ(p.MaxDrivingTime, 500);
         }},
        {"MaxDrivingTime=1440\n",
         [](const CUserParameters& p) { EXPECT_EQ(p.MaxDrivingTime, 480); }},
        {"MinMinutesToBeRest=-5\nMinutesToRest=30\n",
         [](const CUserParameters& p) {
             EXPECT_EQ(p.MinMinutesToBeRest, 15);
             EXPECT_EQ(p.MinutesToRest, 30);
         }},
        {"HorasDescansoSemanal=45\n",
         [](const CUserParameters& p) { EXPECT_EQ(p.HorasDescansoSemanal, 2700); }},
        {"AvailableDays=-3\n", [](const CUserParameters& p) { EXPECT_EQ(p.AvailableDays, -3); }},
        {"AvailableDays=5000\n",
         [](const CUserParameters& p) { EXPECT_EQ(p.AvailableDays, 1000); }},
        {"CountryIDC=1000\n", [](const CUserParameters& p) { EXPECT_EQ(p.CountryIDC, 34); }},
        {"CountryIDC=-2\n", [](const CUserParameters& p) { EXPECT_EQ(p.CountryIDC, 34); }},
        {"", [](const CUserParameters& p) { EXPECT_EQ(p.CountryIDC, -1); }},
        {"OrderMaxVolume=0\nOrderMaxCapacity=12.5\n",
         [](const CUserParameters& p) {
             EXPECT_EQ(p.OrderMaxVolume, -1.0f);
             EXPECT_EQ(p.OrderMaxCapacity, 12.5f);
         }},
        {"ContarDescansosComoTrabajo=5\n",
         [](const CUserParameters& p) { EXPECT_EQ(p.ContarDescansosComoTrabajo, 1); }},
        {"PartirMatricesDistancias=1\nMostrarAgrupacionesViajes=1\nVehTypeForRouting=2\n",
         [](const CUserParameters& p) {
             EXPECT_EQ(p.PartirMatricesDistancias, 0);
             EXPECT_EQ(p.MostrarAgrupacionesViajes, 0);
             EXPECT_EQ(p.VehTypeForRouting, 0);
         }},
        {"SiempreAñadirPedidos=0\nIgnorarPedidosYaCargadosAlAgregar=1\n",
         [](const CUserParameters& p) {
             EXPECT_EQ(p.SiempreAñadirRecursos, 0);
             EXPECT_EQ(p.IgnorarRecursosYaCargadosAlAgregar, 1);
             EXPECT_EQ(p.SiempreAñadirRecursosBorrando, 1);
         }},
        {"PntLate=5.000000\n", [](const CUserParameters& p) { EXPECT_EQ(p.PntLate, 5); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        c.check(LoadParameters(c.lines));
    }
}

TEST_F(ParametersTest, TimesOfDayReadAndWriteAsHoursAndMinutes)
{
    CUserParameters& p = LoadParameters("LunchGapStart=13:30\nLunchGapEnd=25:00\n");
    EXPECT_EQ(p.LunchGapStart, 810);
    EXPECT_EQ(p.LunchGapEnd, 1500);
    EXPECT_EQ(p.NightGapStart, 0);
    EXPECT_EQ(p.MaxWorkingTimeNoLunchCost, -1);
    EXPECT_EQ(p.MaxTimeCorte, 5940);

    ASSERT_TRUE(p.Save(Path("Saved.ini")));
    EXPECT_EQ(trv::GetProfileString("Parameters", "LunchGapStart", "?", Path("Saved.ini")),
              "13:30");
    EXPECT_EQ(trv::GetProfileString("Parameters", "LunchGapEnd", "?", Path("Saved.ini")), "25:00");
    EXPECT_EQ(
        trv::GetProfileString("Parameters", "MaxWorkingTimeNoLunchCost", "?", Path("Saved.ini")),
        "");
    EXPECT_EQ(trv::GetProfileString("Parameters", "HorasDescansoSemanal", "?", Path("Saved.ini")),
              "0");
}

TEST_F(ParametersTest, SaveThenLoadGivesTheSameParameters)
{
    // The bundled parameters, as shipped.
    std::filesystem::copy_file(std::string(TRV_PROGRAM_DIR) + "/Params.ini", Path("Params.ini"),
                               std::filesystem::copy_options::overwrite_existing);
    trv::ClearProfileCache();
    CUserParameters& first = UserParameters();
    ASSERT_TRUE(first.Load());
    ASSERT_TRUE(first.Save(Path("Once.ini")));

    ResetUserParameters();
    CUserParameters& second = UserParameters();
    ASSERT_TRUE(second.Load(Path("Once.ini")));
    ASSERT_TRUE(second.Save(Path("Twice.ini")));
    EXPECT_EQ(ReadFile("Once.ini"), ReadFile("Twice.ini"));
    EXPECT_EQ(second.WTFrom, 360);
    EXPECT_EQ(second.HorasDescansoSemanal, 2700);
    EXPECT_EQ(second.LunchGapStart, 780);
    EXPECT_EQ(second.MaxWorkingTimeNoLunchCost, 360);
    EXPECT_EQ(second.PntLate, 5);
    EXPECT_FLOAT_EQ(second.CostForResourceUsed, 150.0f);
    EXPECT_EQ(second.Profile, "STANDARD");
}

TEST_F(ParametersTest, PlanCopyCarriesTheRunInfoButNeverTheMultipliers)
{
    WriteFile("Params.ini", "[Parameters]\nLoadTime=25\n"
                            "[Multipliers]\nWeightMultiplier=2.5\nWeightOffset=abc\n"
                            "[Info]\nTiempoSolucion=77\n");
    CUserParameters& p = UserParameters();
    ASSERT_TRUE(p.Load());
    EXPECT_FLOAT_EQ(p.WeightMultiplier, 2.5f);
    EXPECT_FLOAT_EQ(p.WeightOffset, 0.0f);
    EXPECT_FLOAT_EQ(p.CapacityMultiplier, 1.0f);

    // No run: "Info" stays as it was.
    ASSERT_TRUE(p.Save());
    EXPECT_FLOAT_EQ(p.WeightMultiplier, 1.0f);
    EXPECT_EQ(trv::GetProfileString("Info", "TiempoSolucion", "", ParamsFilePath), "77");
    EXPECT_EQ(trv::GetProfileString("Multipliers", "WeightMultiplier", "", ParamsFilePath), "2.5");

    const std::string plan = Path("Plan.opt.ini");
    ASSERT_TRUE(p.Save(plan, 12, 340, 1234.5f, 1000.25f));
    std::vector<std::string> entries;
    EXPECT_FALSE(trv::GetProfileSection("Multipliers", plan, entries));
    EXPECT_EQ(trv::GetProfileString("Info", "ValorIncumbente", "", plan), "1234.50");
    EXPECT_EQ(trv::GetProfileString("Info", "ValorMejorGen", "", plan), "1000.25");
    EXPECT_EQ(trv::GetProfileString("Version", "MapsVersion", "", plan), "0.0.0.0");

    ResetUserParameters();
    ASSERT_TRUE(UserParameters().Load(plan));
    EXPECT_EQ(UserParameters().LoadTime, 25);
    EXPECT_EQ(UserParameters().TiempoIncumbente, "12");
    EXPECT_EQ(UserParameters().TiempoSolucion, "340");

    // Reloading the planner's file brings its multipliers back.
    ASSERT_TRUE(UserParameters().Load());
    EXPECT_FLOAT_EQ(UserParameters().WeightMultiplier, 2.5f);
}

TEST_F(ParametersTest, FailedSaveIsReportedAsFailure)
{
    CUserParameters& p = LoadParameters("");
    EXPECT_FALSE(p.Save(Path("no such folder/Params.ini")));
    EXPECT_FALSE(p.SaveWorkingTime(Path("no such folder/Params.ini")));
}

TEST_F(ParametersTest, DirectKeysIgnoreTheMakersFile)
{
    WriteFile("Params-Corvane.ini", "[Parameters]\nPremioPresupuesto=9\nCastigoMaxViajes=7\n");
    CUserParameters& p = LoadParameters("PremioPresupuesto=3\nCastigoMaxViajes=5\n");
    EXPECT_FLOAT_EQ(p.PremioPresupuesto, 3.0f);
    EXPECT_EQ(p.CastigoMaxViajes, 7);
}

TEST_F(ParametersTest, ConstructorAndAbsentValuesDiffer)
{
    EXPECT_FLOAT_EQ(UserParameters().FactorPrimerDesplazamiento, 0.0f);
    EXPECT_EQ(UserParameters().LunchGapStart, kUnsetTime);
    CUserParameters& p = LoadParameters("");
    EXPECT_FLOAT_EQ(p.FactorPrimerDesplazamiento, 1.0f);
    EXPECT_FLOAT_EQ(p.WalkSpeed, 5.0f);
    EXPECT_EQ(p.PathDatos, "Datos");
    EXPECT_EQ(p.TiempoCompruebaEstadoServiciosWebfleet, 5);
}

TEST_F(ParametersTest, StraightLineDistancesFollowTheConfigurationWhenUnset)
{
    const struct
    {
        const char* parameters;
        const char* configuration;
        int inEffect;
    } cases[] = {
        {"Euclideas=-1\n", "yes", 1}, {"Euclideas=-1\n", "no", 0}, {"Euclideas=-1\n", "", 0},
        {"Euclideas=0\n", "YES", 0},  {"Euclideas=1\n", "NO", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.parameters) + c.configuration);
        WriteFile("Config.ini", std::string("[DISTANCE]\nEuclidean=") + c.configuration + "\n");
        EXPECT_EQ(LoadParameters(c.parameters).EuclideanInEffect, c.inEffect);
    }
}

TEST_F(ParametersTest, TimersFollowTheirKeys)
{
    WriteFile("Config.ini", "[TIMER]\nPullOrdersTime=10\n");
    const struct
    {
        const char* lines;
        std::vector<TParameterTimer> timers;
    } cases[] = {
        {"", {{kTimerPullOrders, 600000}}},
        {"PullOrdersTime=0\nMaxNoChangesTime=120\n", {{kTimerNoImprovementStop, 5000}}},
        {"PullOrdersTime=0\nCompruebaEstadoServiciosWebfleet=1\n",
         {{kTimerFleetServicePoll, 300000}}},
        {"PullOrdersTime=0\nMinutosRefrescoWeb=2\nScheduleDayRealTime=30\n",
         {{kTimerWebExport, 120000}, {kTimerRealTimeDate, 1800000}}},
        {"PullOrdersTime=0\nMinutosRefrescoWeb=-1\nScheduleDayRealTime=0\nMaxNoChangesTime=-1\n",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines);
        std::vector<TParameterTimer> timers = GetParameterTimers(LoadParameters(c.lines));
        ASSERT_EQ(timers.size(), c.timers.size());
        for (std::size_t i = 0; i < timers.size(); ++i) {
            EXPECT_EQ(timers[i].id, c.timers[i].id);
            EXPECT_EQ(timers[i].periodMs, c.timers[i].periodMs);
        }
    }
}

TEST_F(ParametersTest, DecimalPrecisionDefaultsToTwo)
{
    WriteFile("Params.ini", "[Formats]\nDecimalPrecision=3\n");
    EXPECT_EQ(CUserParameters::GetDecimalPrecision(), 3);
    EXPECT_EQ(CUserParameters::GetDecimalPrecision(Path("none.ini")), 2);
}

} // namespace

namespace {

// The bundled program folder with the sample company's configuration loads as shipped.
TEST(BundledConfigurationTest, SampleCompanyLoads)
{
    const std::string program = TRV_PROGRAM_DIR;
    const std::string company =
        std::string(TRV_TEST_DATA_DIR) + "/../../samples/Demo/Configuration/";
    trv::ClearProfileCache();
    ResetParameterFilePaths();
    ResetUserParameters();
    ParamsFilePath = company + "Params.ini";
    ShowParamsFilePath = company + "ShowParams.ini";
    CustomPntTableFilePath = company + "CustomTablaPen.txt";
    SpeedTableFilePath = company + "SpeedTable.ini";
    CustomerLabelsFilePath = company + "Labels.ini";
    PntTableFilePath = program + "/TablaPen.txt";
    SchedulerIniFilePath = program + "/Config.ini";
    SystemProfilesDir = program + "/Profiles/System/";
    UserProfilesDir = program + "/Profiles/User/";

    trv::RecordingUserPrompt prompt;
    CUserParameters& p = UserParameters();
    ASSERT_TRUE(p.Load());
    EXPECT_TRUE(prompt.calls.empty());
    EXPECT_EQ(p.WTFrom, 330);
    EXPECT_EQ(p.Profile, "STANDARD");
    EXPECT_EQ(p.DeliveryProblem, 1);
    EXPECT_EQ(p.PenaltyTable.GetCount(), 5);
    // Row 4 comes from the company's own penalty file at a quarter of the standard rate.
    EXPECT_FLOAT_EQ(p.PenaltyTable.GetPenalty(4, 10), 2.5f);
    EXPECT_EQ(p.EuclideanInEffect, 0);

    ResetParameterFilePaths();
    ResetUserParameters();
    trv::ClearProfileCache();
}

} // namespace
