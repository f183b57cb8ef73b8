#include "params/Parameters.h"

#include "KLV/Fetch.h"
#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "params/DictionaryBridge.h"
#include "params/ParameterFiles.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UserPrompt.h"

#include <memory>

#ifndef TRV_VERSION_TEXT
#define TRV_VERSION_TEXT "0.0.0.0"
#endif

namespace {

// Map-engine versions come from files of a map engine this program does not use.
constexpr const char* kNoMapVersion = "0.0.0.0";

const std::string& FileOrDefault(const std::string& file)
{
    return file.empty() ? ParamsFilePath : file;
}

// Whether the company's data definition exists: opened for consultation only, then closed.
int ProbeDefinition(const char* name)
{
    CFetch fetch;
    int answer = fetch.Init(name, "", "", 0, "", "", "", 1);
    fetch.Close();
    return answer;
}

void ShowFileError(const char* key, const std::string& path)
{
    trv::GetUserPrompt().ShowMessage(key, trv::params::TranslateKeyWithText(key, path),
                                     trv::MessageKind::Error);
}

std::unique_ptr<CUserParameters>& Instance()
{
    static std::unique_ptr<CUserParameters> instance = std::make_unique<CUserParameters>();
    return instance;
}

} // namespace

CUserParameters& UserParameters()
{
    return *Instance();
}

void ResetUserParameters()
{
    Instance() = std::make_unique<CUserParameters>();
}

bool CUserParameters::Load(const std::string& file)
{
    const std::string& path = FileOrDefault(file);

    int result = PenaltyTable.Load(PntTableFilePath, false);
    if (result == TPenaltyTable::CannotOpen)
        ShowFileError("FileCannotOpen", PntTableFilePath);
    else if (result == TPenaltyTable::BadLineLength)
        ShowFileError("FileReadingError", PntTableFilePath);
    if (result != TPenaltyTable::Loaded) {
        TRV_TRACE(1, "CUserParameters::Load", "Tabla de penalizaciones %s no valida (%d)",
                  PntTableFilePath.c_str(), result);
        return false;
    }
    // The company's rows are optional: a missing or bad custom file changes nothing.
    PenaltyTable.Load(CustomPntTableFilePath, true);

    LoadMultipliers(path);
    LoadServiceTimes(path);
    LoadWorkingTime(path);
    LoadDrivingRest(path);
    LoadCostFactors(path);
    LoadSchedulingDate(path);
    LoadProfileName(path);
    LoadRoutingParams(path);
    LoadDisplayOptions(path);
    LoadVersions(path);
    LoadInfo(path);
    LoadMainParameters(path);

    HasCustomerOrdersDefinition = ProbeDefinition("CUSTOMER_ORDERS");
    HasCustomerResourcesDefinition = ProbeDefinition("CUSTOMER_RESOURCES");
    HasSchedulingResultDefinition = ProbeDefinition("CUSTOMER_SCHEDULING_RESULT");
    TRV_TRACE(2, "CUserParameters::Load", "Parametros leidos de %s", path.c_str());
    return true;
}

bool CUserParameters::Save(const std::string& file, int incumbentSeconds, int solutionSeconds,
                           float incumbentValue, float bestValue)
{
    const std::string& path = FileOrDefault(file);
    // The multipliers are a one-load setting: saving puts them back to neutral and never
    // writes them, so the file's values apply again at the next Load.
    ResetMultipliers();

    bool saved = SaveServiceTimes(path);
    saved = SaveWorkingTime(path) && saved;
    saved = SaveDrivingRest(path) && saved;
    saved = SaveCostFactors(path) && saved;
    saved = SaveSchedulingDate(path) && saved;
    saved = SaveProfileName(path) && saved;
    saved = SaveRoutingParams(path) && saved;
    saved = SaveDisplayOptions(path) && saved;
    saved = SetVersionParams(path) && saved;

    if (incumbentSeconds != -1 && solutionSeconds != -1) {
        TiempoIncumbente = trv::FormatC("%d", incumbentSeconds);
        TiempoSolucion = trv::FormatC("%d", solutionSeconds);
        ValorIncumbente = trv::FormatC("%.02f", incumbentValue);
        ValorMejorGen = trv::FormatC("%.02f", bestValue);
        saved = trv::WriteProfileString("Info", "TiempoSolucion", TiempoSolucion, path) && saved;
        saved =
            trv::WriteProfileString("Info", "TiempoIncumbente", TiempoIncumbente, path) && saved;
        saved = trv::WriteProfileString("Info", "ValorIncumbente", ValorIncumbente, path) && saved;
        saved = trv::WriteProfileString("Info", "ValorMejorGen", ValorMejorGen, path) && saved;
    }
    saved = SaveMainParameters(path) && saved;
    if (!saved)
        TRV_TRACE(1, "CUserParameters::Save", "No se han podido guardar los parametros en %s",
                  path.c_str());
    return saved;
}

void CUserParameters::ResetMultipliers()
{
    LenghtMultiplier = WeightMultiplier = CapacityMultiplier = LongDistanceMultiplier = 1.0f;
    LenghtOffset = WeightOffset = CapacityOffset = LongDistanceOffset = 0.0f;
}

void CUserParameters::LoadMultipliers(const std::string& file)
{
    const std::string& path = FileOrDefault(file);
    ResetMultipliers();
    struct Multiplier
    {
        const char* key;
        float CUserParameters::*member;
    };
    static constexpr Multiplier kMultipliers[] = {
        {"LenghtMultiplier", &CUserParameters::LenghtMultiplier},
        {"WeightMultiplier", &CUserParameters::WeightMultiplier},
        {"CapacityMultiplier", &CUserParameters::CapacityMultiplier},
        {"LongDistanceMultiplier", &CUserParameters::LongDistanceMultiplier},
        {"LenghtOffset", &CUserParameters::LenghtOffset},
        {"WeightOffset", &CUserParameters::WeightOffset},
        {"CapacityOffset", &CUserParameters::CapacityOffset},
        {"LongDistanceOffset", &CUserParameters::LongDistanceOffset},
    };
    for (const Multiplier& multiplier : kMultipliers) {
        std::string text = ReadParamString("Multipliers", multiplier.key, path, "");
        if (!text.empty())
            this->*multiplier.member = static_cast<float>(trv::ParseDouble(text));
    }
}

void CUserParameters::LoadVersions(const std::string& file)
{
    const std::string& path = FileOrDefault(file);
    ExeVersion = ReadIniString("Version", "ExeVersion", path, "");
    DllMapsVersion = ReadIniString("Version", "DllMapsVersion", path, "");
    MapsVersion = ReadIniString("Version", "MapsVersion", path, "");
}

void CUserParameters::LoadInfo(const std::string& file)
{
    const std::string& path = FileOrDefault(file);
    TiempoIncumbente = ReadIniString("Info", "TiempoIncumbente", path, "");
    TiempoSolucion = ReadIniString("Info", "TiempoSolucion", path, "");
}

bool CUserParameters::SetVersionParams(const std::string& file)
{
    const std::string& path = FileOrDefault(file);
    ExeVersion = TRV_VERSION_TEXT;
    MapsVersion = kNoMapVersion;
    DllMapsVersion = kNoMapVersion;
    bool written = trv::WriteProfileString("Version", "ExeVersion", ExeVersion, path);
    written = trv::WriteProfileString("Version", "MapsVersion", MapsVersion, path) && written;
    written = trv::WriteProfileString("Version", "DllMapsVersion", DllMapsVersion, path) && written;
    return written;
}
