// The keys of section "Parameters" as tables: name, type, member, value when absent, the check
// applied after reading, and the order of reading and writing. The block readers and writers
// of CUserParameters walk these tables.

#include "KLV/IniFiles.h"
#include "KLV/Trace.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "platform/Path.h"
#include "platform/Profile.h"
#include "platform/ProgramFolder.h"
#include "platform/Text.h"

#include <cstdint>
#include <span>
#include <string>

namespace {

using P = CUserParameters;
using IntMember = int P::*;
using FloatMember = float P::*;
using TextMember = std::string P::*;

enum class KeyType
{
    Int,         // typed reader, written "%d"
    IntAsFloat,  // typed reader, written "%f" (1.000000 reads back as 1)
    Float,       // typed reader, written "%f"
    Text,        // typed reader, written as it is
    Time,        // "HH:MM" text, held as minutes
    Hours,       // hours in the file, minutes in the member
    DirectInt,   // the given file only, never the maker's override file
    DirectFloat, // the given file only
};

struct KeyEntry
{
    const char* key;
    KeyType type;
    IntMember intMember = nullptr;
    FloatMember floatMember = nullptr;
    TextMember textMember = nullptr;
    double absent = 0;                     // value when the key is absent (numbers)
    const char* absentText = "";           // value when the key is absent (texts and times)
    int (*absentFrom)(const P&) = nullptr; // absent value taken from keys read before
    void (*check)(P&) = nullptr;           // correction applied after reading
    bool read = true;
    bool written = true;
    bool emptyIsUnset = false; // a time whose empty text means -1 (and -1 writes empty)
};

// ---- Entry builders ------------------------------------------------------------------------

KeyEntry Int(const char* key, IntMember member, int absent, void (*check)(P&) = nullptr)
{
    KeyEntry entry{key, KeyType::Int};
    entry.intMember = member;
    entry.absent = absent;
    entry.check = check;
    return entry;
}

KeyEntry IntAsFloat(const char* key, IntMember member, int absent)
{
    KeyEntry entry = Int(key, member, absent);
    entry.type = KeyType::IntAsFloat;
    return entry;
}

KeyEntry IntFrom(const char* key, IntMember member, int (*absentFrom)(const P&),
                 void (*check)(P&) = nullptr)
{
    KeyEntry entry = Int(key, member, 0, check);
    entry.absentFrom = absentFrom;
    return entry;
}

KeyEntry Float(const char* key, FloatMember member, double absent, void (*check)(P&) = nullptr)
{
    KeyEntry entry{key, KeyType::Float};
    entry.floatMember = member;
    entry.absent = absent;
    entry.check = check;
    return entry;
}

KeyEntry Text(const char* key, TextMember member, const char* absent)
{
    KeyEntry entry{key, KeyType::Text};
    entry.textMember = member;
    entry.absentText = absent;
    return entry;
}

KeyEntry Time(const char* key, IntMember member, const char* absent = "")
{
    KeyEntry entry{key, KeyType::Time};
    entry.intMember = member;
    entry.absentText = absent;
    return entry;
}

KeyEntry DirectInt(const char* key, IntMember member, int absent)
{
    KeyEntry entry = Int(key, member, absent);
    entry.type = KeyType::DirectInt;
    return entry;
}

KeyEntry DirectFloat(const char* key, FloatMember member, double absent)
{
    KeyEntry entry = Float(key, member, absent);
    entry.type = KeyType::DirectFloat;
    return entry;
}

KeyEntry ReadOnly(KeyEntry entry)
{
    entry.written = false;
    return entry;
}

KeyEntry WriteOnly(KeyEntry entry)
{
    entry.read = false;
    return entry;
}

// A minute count outside 0..`maximum` becomes `replacement`.
template <IntMember member, int maximum, int replacement> void Limit(P& p)
{
    if (p.*member < 0 || p.*member > maximum)
        p.*member = replacement;
}

// 0 means "no limit", which the members hold as -1.
template <FloatMember member> void ZeroIsNone(P& p)
{
    if (p.*member == 0.0f)
        p.*member = -1.0f;
}

void CheckWorkingWindow(P& p)
{
    if (p.WTFrom < 0 || p.WTFrom > 1439)
        p.WTFrom = 540;
    if (p.WTTo < 0 || p.WTTo > 1440)
        p.WTTo = 1020;
    if (p.WTTo < p.WTFrom) {
        p.WTFrom = 540;
        p.WTTo = 1020;
    }
}

int WindowLength(const P& p)
{
    return p.WTTo - p.WTFrom;
}

void CheckMaxWorkingTime(P& p)
{
    if (p.MaxWorkingTime < 0 || p.MaxWorkingTime > 1439)
        p.MaxWorkingTime = WindowLength(p);
}

void CheckCountry(P& p)
{
    if (p.CountryIDC < -1 || p.CountryIDC > 999)
        p.CountryIDC = 34;
}

void CheckRestsAsWork(P& p)
{
    if (p.ContarDescansosComoTrabajo != 0)
        p.ContarDescansosComoTrabajo = 1;
}

// ---- Tables --------------------------------------------------------------------------------

const KeyEntry kServiceTimes[] = {
    Int("LoadTime", &P::LoadTime, 30),
    Int("UnloadTime", &P::UnloadTime, 20),
};
const char* const kServiceTimesWriteOrder[] = {"UnloadTime", "LoadTime"};

const KeyEntry kWorkingTime[] = {
    Int("MaxDrivingTime", &P::MaxDrivingTime, 480, Limit<&P::MaxDrivingTime, 1439, 480>),
    Int("WTFrom", &P::WTFrom, 540),
    Int("WTTo", &P::WTTo, 1020, CheckWorkingWindow),
    IntFrom("MaxWorkingTime", &P::MaxWorkingTime, WindowLength, CheckMaxWorkingTime),
    Int("AvailableDays", &P::AvailableDays, 7,
        [](P& p) {
            if (p.AvailableDays > 1000)
                p.AvailableDays = 1000;
        }),
};

KeyEntry WeeklyRestHours()
{
    KeyEntry entry = Int("HorasDescansoSemanal", &P::HorasDescansoSemanal, 0);
    entry.type = KeyType::Hours;
    return entry;
}

const KeyEntry kDrivingRest[] = {
    Int("MaxDrivingNoStops", &P::MaxDrivingNoStops, 270, Limit<&P::MaxDrivingNoStops, 1439, 270>),
    Int("MinutesToRest", &P::MinutesToRest, 45, Limit<&P::MinutesToRest, 1439, 45>),
    Int("MinMinutesToBeRest", &P::MinMinutesToBeRest, 15, Limit<&P::MinMinutesToBeRest, 1439, 15>),
    Int("RestAtCustomer", &P::RestAtCustomer, 1),
    Int("RestAtWarehouse", &P::RestAtWarehouse, 1),
    Int("PuedeRetrasarSalida", &P::PuedeRetrasarSalida, 1),
    Int("RelacionadosNoCoincidentesEnCliente", &P::RelacionadosNoCoincidentesEnCliente, 0),
    Int("HayEscobas", &P::HayEscobas, 0),
    ReadOnly(Float("FactorLentitudTransportePublico", &P::FactorLentitudTransportePublico, 2.0)),
    Int("MinimumSleep", &P::MinimumSleep, 540, Limit<&P::MinimumSleep, 1440, 540>),
    WeeklyRestHours(),
    Int("DiasDescansoIntraSemanal", &P::DiasDescansoIntraSemanal, 0),
    Int("MargenTiempoMultidia", &P::MargenTiempoMultidia, 0),
    Int("ContinueWorkingNextDay", &P::ContinueWorkingNextDay, 0),
    Int("FixTimeStartStop", &P::FixTimeStartStop, 0),
    Int("FixTimeStartStopDistance0", &P::FixTimeStartStopDistance0, 0),
    Int("MinimoTiempoTrayecto", &P::MinimoTiempoTrayecto, 0),
};

const KeyEntry kSchedulingDate[] = {
    Int("SchedulingTime", &P::SchedulingTime, 0),
    Int("AskForDate", &P::AskForDate, 1),
    Int("OutOfDate", &P::OutOfDate, 1),
    Int("PastServiceDates", &P::PastServiceDates, 1),
};

const KeyEntry kCostFactors[] = {
    Int("KmFactor", &P::KmFactor, 1),
    Float("KmFactorCorrection", &P::KmFactorCorrection, 1.0),
    Int("CostFactor", &P::CostFactor, 1),
    Float("CostFactorCorrection", &P::CostFactorCorrection, 1.0),
    Int("CostPerQuantity", &P::CostPerQuantity, 0),
    Float("WorkingFactorCorrection", &P::WorkingFactorCorrection, 1.0),
    Int("TimeRatio", &P::TimeRatio, 0),
    Float("PonderaCostePorTonelada", &P::PonderaCostePorTonelada, 0.0),
    IntAsFloat("PntLate", &P::PntLate, 1),
    Int("WorkingFactor", &P::WorkingFactor, 0),
    IntAsFloat("PntDrive", &P::PntDrive, 1),
    IntAsFloat("PntWork", &P::PntWork, 1),
    IntAsFloat("PntASAP", &P::PntASAP, 1),
    IntAsFloat("EqualizeHours", &P::EqualizeHours, 0),
    IntAsFloat("DivisorMultidayTime", &P::DivisorMultidayTime, 1),
    Int("LongTripFactor", &P::LongTripFactor, 0),
    Int("FarCustomerFactor", &P::FarCustomerFactor, 0),
    Int("FarCustomerMargen", &P::FarCustomerMargen, 0),
    Int("SameNodeFactor", &P::SameNodeFactor, 0),
    Int("SameLocationFactor", &P::SameLocationFactor, 0),
    Int("AmbiguousAsValid", &P::AmbiguousAsValid, 1),
    Int("SameCPFactor", &P::SameCPFactor, 0),
    Int("SameLocationFullFactor", &P::SameLocationFullFactor, 0),
    Int("RompeCompletoFactor", &P::RompeCompletoFactor, 0),
    Float("DistanciaAceleracion", &P::DistanciaAceleracion, 0.0),
    Int("SameSpecialCodeFactor", &P::SameSpecialCodeFactor, 0),
};
const char* const kCostFactorsWriteOrder[] = {"PntLate",
                                              "PntDrive",
                                              "PntWork",
                                              "PntASAP",
                                              "EqualizeHours",
                                              "DivisorMultidayTime",
                                              "KmFactor",
                                              "KmFactorCorrection",
                                              "CostFactor",
                                              "CostFactorCorrection",
                                              "WorkingFactorCorrection",
                                              "CostPerQuantity",
                                              "TimeRatio",
                                              "PonderaCostePorTonelada",
                                              "WorkingFactor",
                                              "LongTripFactor",
                                              "FarCustomerFactor",
                                              "FarCustomerMargen",
                                              "SameNodeFactor",
                                              "SameLocationFactor",
                                              "AmbiguousAsValid",
                                              "SameLocationFullFactor",
                                              "SameCPFactor",
                                              "RompeCompletoFactor",
                                              "DistanciaAceleracion",
                                              "SameSpecialCodeFactor"};

const KeyEntry kRouting[] = {
    Int("VehTypeForRouting", &P::VehTypeForRouting, 1),
    Int("RouteModeForRouting", &P::RouteModeForRouting, 0),
};
const char* const kRoutingWriteOrder[] = {"RouteModeForRouting", "VehTypeForRouting"};

const KeyEntry kDisplayOptions[] = {
    Int("AutomaticLoad", &P::AutomaticLoad, 0),
    Int("FlatEditing", &P::FlatEditing, 0),
    Int("PaintOnlyCustomers", &P::PaintOnlyCustomers, 0),
    Int("PintaDesdeHastaBase", &P::PintaDesdeHastaBase, 1),
    Int("PaintDeactivatedOrdersInfo", &P::PaintDeactivatedOrdersInfo, 1),
    Int("OneLinePerTrip", &P::OneLinePerTrip, 0),
    Int("ResourcesAutomaticLoadFromSolution", &P::ResourcesAutomaticLoadFromSolution, 0),
    Int("TomTomFiles", &P::TomTomFiles, 0),
    Text("UrlTomTomWork", &P::UrlTomTomWork, ""),
    Text("CuentaTomTomWork", &P::CuentaTomTomWork, ""),
    Text("UserTomTomWork", &P::UserTomTomWork, ""),
    Text("PassTomTomWork", &P::PassTomTomWork, ""),
    Text("APIKEYTomTomWork", &P::APIKEYTomTomWork, ""),
};
const char* const kDisplayOptionsWriteOrder[] = {
    "AutomaticLoad",       "FlatEditing",
    "PaintOnlyCustomers",  "PaintDeactivatedOrdersInfo",
    "OneLinePerTrip",      "ResourcesAutomaticLoadFromSolution",
    "PintaDesdeHastaBase", "TomTomFiles",
    "UrlTomTomWork",       "CuentaTomTomWork",
    "UserTomTomWork",      "PassTomTomWork",
    "APIKEYTomTomWork"};

KeyEntry NoLunchCostLimit()
{
    KeyEntry entry = Time("MaxWorkingTimeNoLunchCost", &P::MaxWorkingTimeNoLunchCost);
    entry.emptyIsUnset = true;
    return entry;
}

int AddingOrders(const P& p)
{
    return p.SiempreAñadirPedidos;
}
int IgnoringLoadedOrders(const P& p)
{
    return p.IgnorarPedidosYaCargadosAlAgregar;
}
int AddingOrdersDeleting(const P& p)
{
    return p.SiempreAñadirPedidosBorrando;
}

// The main block in its writing order; it is read in the same order (the keys whose absent
// value comes from another key follow that key), then the read-only keys.
const KeyEntry kMainBlock[] = {
    Int("CheapestTime", &P::CheapestTime, 300),
    Int("CalidadImpresion", &P::CalidadImpresion, 12000),
    Int("GrosorLinea", &P::GrosorLinea, 2),
    Int("HideDeactivated", &P::HideDeactivated, 0),
    Int("HideNotWorking", &P::HideNotWorking, 0),
    Int("HideRepeatedDrivers", &P::HideRepeatedDrivers, 0),
    Int("HideAuxStopPoints", &P::HideAuxStopPoints, 0),
    Int("ControlStocks", &P::ControlStocks, 0),
    Int("OnlyOneProductOverload", &P::OnlyOneProductOverload, 0),
    Float("CostForCleaning", &P::CostForCleaning, 0.0),
    Float("CostForOverload", &P::CostForOverload, 0.0),
    Float("CostForResourceUsed", &P::CostForResourceUsed, 0.0),
    Float("CostForChangeVehicle", &P::CostForChangeVehicle, 0.0),
    Int("TimeForChangeVehicle", &P::TimeForChangeVehicle, 0),
    Int("TimeForChangeDriver", &P::TimeForChangeDriver, 0),
    Int("TiempoMaximoAnticiparSalidaEnCollections", &P::TiempoMaximoAnticiparSalidaEnCollections,
        0),
    Float("FactorPrimerDesplazamiento", &P::FactorPrimerDesplazamiento, 1.0),
    Int("CountryIDC", &P::CountryIDC, -1, CheckCountry),
    Int("CoordTestCountry", &P::CoordTestCountry, 0),
    Int("MinPorcentajeLlenado", &P::MinPorcentajeLlenado, 0),
    Int("MinPorcentajeLlenadoPrimerViaje", &P::MinPorcentajeLlenadoPrimerViaje, 0),
    Int("MargenLibreLlenado", &P::MargenLibreLlenado, 0),
    Int("EqualizeAcumulatedHours", &P::EqualizeAcumulatedHours, 0),
    Int("EqualizeAcumulatedCost", &P::EqualizeAcumulatedCost, 0),
    Int("EqualizeKm", &P::EqualizeKm, 0),
    Int("EqualTanksPerCent", &P::EqualTanksPerCent, 0),
    Int("Fares", &P::Fares, 0),
    Int("LoadBonusFactor", &P::LoadBonusFactor, 0),
    Float("MaxDstBetweenCustomers", &P::MaxDstBetweenCustomers, 10000.0),
    Float("PorcentajeDistanceBetweenCustomers", &P::PorcentajeDistanceBetweenCustomers, 0.0),
    Int("MaxTimeToWait", &P::MaxTimeToWait, 10000),
    Int("NoEsperarNunca", &P::NoEsperarNunca, 0),
    Int("CastigoMaxViajes", &P::CastigoMaxViajes, 10000),
    Int("OnlyOneLocationType", &P::OnlyOneLocationType, 0),
    Int("OutputFileToImport", &P::OutputFileToImport, 0),
    Int("DistanciaRodeoFactor", &P::DistanciaRodeoFactor, 100000),
    Int("TiempoRodeoFactor", &P::TiempoRodeoFactor, 100000),
    Int("PatrasFactor", &P::PatrasFactor, 100000),
    Int("RodeoDistanciaMinima", &P::RodeoDistanciaMinima, 1000000),
    Int("RodeoTiempoMinimo", &P::RodeoTiempoMinimo, 1000000),
    Float("PenaKmPatras", &P::PenaKmPatras, 1.0),
    Float("PenaKmRodeo", &P::PenaKmRodeo, 1.0),
    Int("FactorRetorno", &P::FactorRetorno, 100000),
    Int("FactorPenalizaTiempoExtraEnCliente", &P::FactorPenalizaTiempoExtraEnCliente, 0),
    Int("SendPCToLocator", &P::SendPCToLocator, 1),
    Int("ShowWholeDirection", &P::ShowWholeDirection, 0),
    Int("TimeForCleaning", &P::TimeForCleaning, 0),
    Int("ClosePointsFactor", &P::ClosePointsFactor, 0),
    Int("ExtraPenaltiesFactor", &P::ExtraPenaltiesFactor, 0),
    Float("ExtraPenaJuntarEspaciados", &P::ExtraPenaJuntarEspaciados, 0.0),
    Int("CastigoSaltarseReglas", &P::CastigoSaltarseReglas, 1000000),
    Int("ControlDiasApertura", &P::ControlDiasApertura, 0),
    Int("IgualarCostesConductorSoloServicios", &P::IgualarCostesConductorSoloServicios, 0),
    Int("TotalNumberOfCustomersBonusFactor", &P::TotalNumberOfCustomersBonusFactor, 0),
    DirectFloat("PremioPorMismoVehiculoFactor", &P::PremioPorMismoVehiculoFactor, 0.0),
    DirectFloat("PremioPresupuesto", &P::PremioPresupuesto, 0.0),
    DirectFloat("FactorLlenado", &P::FactorLlenado, 0.0),
    Float("MaxDstNoDrive", &P::MaxDstNoDrive, 0.0),
    Float("WalkSpeed", &P::WalkSpeed, 5.0),
    Int("UseHabilityForLoadAndUnload", &P::UseHabilityForLoadAndUnload, 0),
    Float("MaxPercentajeToChangePreasignedDriver", &P::MaxPercentajeToChangePreasignedDriver,
          100.0),
    Int("MaximoServiciosVirtual", &P::MaximoServiciosVirtual, 1000000),
    Int("PorcentajeConduccionDisposicion", &P::PorcentajeConduccionDisposicion, 100),
    Int("TimeToChangeCity", &P::TimeToChangeCity, 0),
    Float("PenaltyToChangeCity", &P::PenaltyToChangeCity, 0.0),
    Int("MinPriorityToNotify", &P::MinPriorityToNotify, 10000),
    Int("UpdateLocationOnlyIfSameAddress", &P::UpdateLocationOnlyIfSameAddress, 0),
    Int("RespectPreFixedResource", &P::RespectPreFixedResource, 1),
    Int("RespectPreFixedServiceDate", &P::RespectPreFixedServiceDate, 1),
    Int("PermitirTurnos", &P::PermitirTurnos, 0),
    Float("DiferentProductsInTruckFactor", &P::DiferentProductsInTruckFactor, 0.0),
    Time("NightGapStart", &P::NightGapStart),
    Time("NightGapEnd", &P::NightGapEnd),
    Time("BreakfastGapStart", &P::BreakfastGapStart),
    Time("BreakfastGapEnd", &P::BreakfastGapEnd),
    Time("LunchGapStart", &P::LunchGapStart),
    Time("LunchGapEnd", &P::LunchGapEnd),
    Time("DinnerGapStart", &P::DinnerGapStart),
    Time("DinnerGapEnd", &P::DinnerGapEnd),
    NoLunchCostLimit(),
    Time("MaxFirstTimeToApplyRest", &P::MaxFirstTimeToApplyRest),
    Time("MinTimeToConsiderRest", &P::MinTimeToConsiderRest),
    Time("MaxTimeToConsiderRest", &P::MaxTimeToConsiderRest),
    Time("MinTimeCorte", &P::MinTimeCorte, "0:00"),
    Time("MaxTimeCorte", &P::MaxTimeCorte, "99:00"),
    Int("CastigoHoraCorte", &P::CastigoHoraCorte, 0),
    Int("ContarDescansosComoTrabajo", &P::ContarDescansosComoTrabajo, 0, CheckRestsAsWork),
    Float("OrderMaxCapacity", &P::OrderMaxCapacity, -1.0, ZeroIsNone<&P::OrderMaxCapacity>),
    Float("OrderMaxVolume", &P::OrderMaxVolume, -1.0, ZeroIsNone<&P::OrderMaxVolume>),
    Float("ProductMaxQuantity", &P::ProductMaxQuantity, -1.0, ZeroIsNone<&P::ProductMaxQuantity>),
    Time("StartTimeToday", &P::StartTimeToday),
    Int("PermitirVehiculosSinConductor", &P::PermitirVehiculosSinConductor, 0),
    Int("UnPedidoUnCliente", &P::UnPedidoUnCliente, 0),
    Int("DayOff", &P::DayOff, 0),
    Int("DayOffShow", &P::DayOffShow, 0),
    Int("VariableTimeOnlyOneLine", &P::VariableTimeOnlyOneLine, 0),
    Float("DistanceToFly", &P::DistanceToFly, -1.0),
    Int("TimeForDistanceToFly", &P::TimeForDistanceToFly, -1),
    Float("TwoMuchNigthsOutPenalty", &P::TwoMuchNigthsOutPenalty, 0.0),
    Int("GenerateXML", &P::GenerateXML, 0),
    Int("CalcularNumerosDeAgrupacion", &P::CalcularNumerosDeAgrupacion, 0),
    Int("PartirMatricesDistancias", &P::PartirMatricesDistancias, 0),
    Int("TiempoMaximoReparto", &P::TiempoMaximoReparto, -1),
    Int("SiempreAñadirPedidos", &P::SiempreAñadirPedidos, 1),
    IntFrom("SiempreAñadirRecursos", &P::SiempreAñadirRecursos, AddingOrders),
    Int("UsarProductCodeAlAgregar", &P::UsarProductCodeAlAgregar, 0),
    Int("IgnorarPedidosYaCargadosAlAgregar", &P::IgnorarPedidosYaCargadosAlAgregar, 0),
    IntFrom("IgnorarRecursosYaCargadosAlAgregar", &P::IgnorarRecursosYaCargadosAlAgregar,
            IgnoringLoadedOrders),
    Int("MantenerAsignaciones", &P::MantenerAsignaciones, 1),
    Int("MantenerFechasFrecuenciasYOrdenEnMultidia", &P::MantenerFechasFrecuenciasYOrdenEnMultidia,
        1),
    Int("SimpleFilter", &P::SimpleFilter, 1),
    Int("AskAlwaysFilterForResources", &P::AskAlwaysFilterForResources, 0),
    Int("SiempreAñadirPedidosBorrando", &P::SiempreAñadirPedidosBorrando, 1),
    IntFrom("SiempreAñadirRecursosBorrando", &P::SiempreAñadirRecursosBorrando,
            AddingOrdersDeleting),
    Int("NuncaDuplicarLineas", &P::NuncaDuplicarLineas, 0),
    Int("MostrarInformacionAñadidos", &P::MostrarInformacionAñadidos, 0),
    Int("SalirSiempreCargado", &P::SalirSiempreCargado, 0),
    Int("ContarKmEnVacioDeVirtual", &P::ContarKmEnVacioDeVirtual, 0),
    Int("ContarRetrasosEnElVirtual", &P::ContarRetrasosEnElVirtual, 0),
    Int("ShowDuplicatedLocations", &P::ShowDuplicatedLocations, 1),
    Int("UsarCosteForResourceUsedComoMinimo", &P::UsarCosteForResourceUsedComoMinimo, 0),
    Int("CortesEnLaBase", &P::CortesEnLaBase, 0),
    Int("SegundaOptimizacion", &P::SegundaOptimizacion, 0),
    Int("EvitarDescargasUltimoViaje", &P::EvitarDescargasUltimoViaje, 0),
    Int("DesactivaVirtualesAlPrincipio", &P::DesactivaVirtualesAlPrincipio, 0),
    Int("DesactivarAsignacionesErroneas", &P::DesactivarAsignacionesErroneas, 1),
    Int("SegundosVirtualesDesactivados", &P::SegundosVirtualesDesactivados, 180),
    Float("TiempoNodoMatriz", &P::TiempoNodoMatriz, 1.0),
    Int("ControlDocks", &P::ControlDocks, 0),
    Int("VisualizarTrackVehiculos", &P::VisualizarTrackVehiculos, 0),
    Int("Euclideas", &P::Euclideas, -1),
    Int("PrimerCalculoSinEuclideas", &P::PrimerCalculoSinEuclideas, 0),
    Float("FactorDistanciasEuclideas", &P::FactorDistanciasEuclideas, 1.0),
    Int("CargaRealAlAñadirPedidos", &P::CargaRealAlAñadirPedidos, 0),
    Int("ImpresionMapaBN", &P::ImpresionMapaBN, 1),
    Int("LateTimeAtCustomerExit", &P::LateTimeAtCustomerExit, 0),
    Int("MercanciasPeligrosas", &P::MercanciasPeligrosas, 0),
    Text("PathDatos", &P::PathDatos, "Datos"),
    Int("ComenzarPlanificacionConHoraReal", &P::ComenzarPlanificacionConHoraReal, 0),
    Int("PullOrdersTime", &P::PullOrdersTime, -1),
    Int("PullResources", &P::PullResources, 0),
    Int("MostrarTodosSimbolosCarreteras", &P::MostrarTodosSimbolosCarreteras, 1),
    Float("PorcentajeMargenDiasFrecuencia", &P::PorcentajeMargenDiasFrecuencia, 30.0),
    Float("PenalizacionNoCombinables", &P::PenalizacionNoCombinables, 1.0),
    Int("AplicarordenPorDia", &P::AplicarordenPorDia, 0),
    Int("IncompatibilidadesPorDia", &P::IncompatibilidadesPorDia, 0),
    Int("ApuraHorarioFactoriaHastaElFinal", &P::ApuraHorarioFactoriaHastaElFinal, 0),
    Int("FastestCheapest", &P::FastestCheapest, 0),
    Int("MismoPedidoMismaHora", &P::MismoPedidoMismaHora, 0),
    Int("CastigoProductosUltimoViaje", &P::CastigoProductosUltimoViaje, 30),
    Int("MaxNoChangesTime", &P::MaxNoChangesTime, -1),
    Int("PrimerViajePrecargado", &P::PrimerViajePrecargado, 0),
    Int("NoContarKmBaseFactoria", &P::NoContarKmBaseFactoria, 0),
    Int("PartirPedidosAutomaticamente", &P::PartirPedidosAutomaticamente, 0),
    Int("GrabarWebBDD", &P::GrabarWebBDD, 0),
    Int("MinutosRefrescoWeb", &P::MinutosRefrescoWeb, 0),
    Int("PrioridadTrevantorSobreLocations", &P::PrioridadTrevantorSobreLocations, 0),
    Float("PercentMaximoReducir", &P::PercentMaximoReducir, 0.0),
    Int("RedondeoReducir", &P::RedondeoReducir, 1),
    Int("SaltarBloqueosCarreterasDefecto", &P::SaltarBloqueosCarreterasDefecto, 0),
    Float("DistanciaMaximaTenerEnCuentaZonaCondicionantes",
          &P::DistanciaMaximaTenerEnCuentaZonaCondicionantes, 100000.0),
    DirectInt("LockOrdersToResourcesOnReportGenerate", &P::LockOrdersToResourcesOnReportGenerate,
              0),
    Int("Particiones", &P::Particiones, 0),
    WriteOnly(Int("MostrarAgrupacionesViajes", &P::MostrarAgrupacionesViajes, 0)),
    Int("DocksDisponiblesPorHora", &P::DocksDisponiblesPorHora, 4),
    Int("TipoPenalizacionPorcentajeEficiencia", &P::TipoPenalizacionPorcentajeEficiencia, 0),
    Int("FactorPorcentajeEficiencia", &P::FactorPorcentajeEficiencia, 0),
    Int("FactorPorcentajeEficienciaPrimero", &P::FactorPorcentajeEficienciaPrimero, 0),
    Int("MinimoPorcentajeEficiencia", &P::MinimoPorcentajeEficiencia, 0),
    Int("HoraPrimeraHora", &P::HoraPrimeraHora, 1000000),
    Int("KmViajeLargo", &P::KmViajeLargo, -1),
    DirectInt("StopAndClose", &P::StopAndClose, 1),
    Int("CompruebaEstadoServiciosWebfleet", &P::CompruebaEstadoServiciosWebfleet, 0),
    Int("TiempoCompruebaEstadoServiciosWebfleet", &P::TiempoCompruebaEstadoServiciosWebfleet, 5),
    Int("EnableDragDrop", &P::EnableDragDrop, 1),
    Int("TiempoMaximoAvisoEmailTiempoReal", &P::TiempoMaximoAvisoEmailTiempoReal, 15),
    Int("TiempoRealConfirmacionesAleatorias", &P::TiempoRealConfirmacionesAleatorias, 0),
    ReadOnly(Int("ScheduleDayRealTime", &P::ScheduleDayRealTime, -1)),
};

// ---- "HH:MM" texts -----------------------------------------------------------------------

// "H:M" as minutes: hours x 100 + minutes taken as an unsigned 16-bit number, then split again
// (so "25:00" is 1500 and "13:30" is 810).
int TimeTextToMinutesOfDay(const std::string& text)
{
    std::string_view view(text);
    std::size_t colon = view.find(':');
    int hours = trv::ParseInt(view.substr(0, colon));
    int minutes = colon == std::string_view::npos ? 0 : trv::ParseInt(view.substr(colon + 1));
    auto hhmm = static_cast<std::uint16_t>(hours * 100 + minutes);
    return (hhmm / 100) * 60 + hhmm % 100;
}

std::string MinutesToTimeText(int minutes)
{
    auto hhmm = static_cast<std::uint16_t>((minutes / 60) * 100 + minutes % 60);
    return trv::FormatC("%02d:%02d", hhmm / 100, hhmm % 100);
}

// ---- Walking the tables --------------------------------------------------------------------

void ReadEntry(P& p, const KeyEntry& entry, const std::string& file)
{
    const std::string section = "Parameters";
    switch (entry.type) {
    case KeyType::Int:
    case KeyType::IntAsFloat:
    case KeyType::Hours: {
        int absent = entry.absentFrom ? entry.absentFrom(p) : static_cast<int>(entry.absent);
        int value = P::ReadParamInt(section, entry.key, file, absent);
        p.*entry.intMember = entry.type == KeyType::Hours ? value * 60 : value;
        break;
    }
    case KeyType::Float:
        p.*entry.floatMember =
            P::ReadParamFloat(section, entry.key, file, static_cast<float>(entry.absent));
        break;
    case KeyType::Text:
        p.*entry.textMember = P::ReadParamString(section, entry.key, file, entry.absentText);
        break;
    case KeyType::Time: {
        std::string text = P::ReadParamString(section, entry.key, file, entry.absentText);
        p.*entry.intMember = entry.emptyIsUnset && text.empty() ? -1 : TimeTextToMinutesOfDay(text);
        break;
    }
    case KeyType::DirectInt:
        p.*entry.intMember =
            trv::GetProfileInt(section, entry.key, static_cast<int>(entry.absent), file);
        break;
    case KeyType::DirectFloat:
        p.*entry.floatMember =
            ReadIniFloat(section, entry.key, file, static_cast<float>(entry.absent));
        break;
    }
    if (entry.check)
        entry.check(p);
}

bool WriteEntry(const P& p, const KeyEntry& entry, const std::string& file)
{
    const std::string section = "Parameters";
    switch (entry.type) {
    case KeyType::Int:
    case KeyType::DirectInt:
        return WriteIniInt(p.*entry.intMember, section, entry.key, file);
    case KeyType::IntAsFloat:
        return WriteIniFloat(static_cast<float>(p.*entry.intMember), section, entry.key, file);
    case KeyType::Hours:
        return WriteIniInt(p.*entry.intMember / 60, section, entry.key, file);
    case KeyType::Float:
    case KeyType::DirectFloat:
        return WriteIniFloat(p.*entry.floatMember, section, entry.key, file);
    case KeyType::Text:
        return trv::WriteProfileString(section, entry.key, p.*entry.textMember, file);
    case KeyType::Time: {
        int minutes = p.*entry.intMember;
        std::string text = entry.emptyIsUnset && minutes == -1 ? "" : MinutesToTimeText(minutes);
        return trv::WriteProfileString(section, entry.key, text, file);
    }
    }
    return false;
}

const std::string& FileOrDefault(const std::string& file)
{
    return file.empty() ? ParamsFilePath : file;
}

void ReadBlock(P& p, std::span<const KeyEntry> block, const std::string& file)
{
    const std::string& path = FileOrDefault(file);
    for (const KeyEntry& entry : block)
        if (entry.read)
            ReadEntry(p, entry, path);
}

const KeyEntry* FindEntry(std::span<const KeyEntry> block, std::string_view key)
{
    for (const KeyEntry& entry : block)
        if (key == entry.key)
            return &entry;
    return nullptr;
}

// Writes every key of the block, in `order` when given, else in the table's order. Goes on
// after a failed key so that as much as possible is kept, and reports the failure.
bool WriteBlock(const P& p, std::span<const KeyEntry> block, const std::string& file,
                const char* blockName, std::span<const char* const> order = {})
{
    const std::string& path = FileOrDefault(file);
    bool written = true;
    auto write = [&](const KeyEntry& entry) {
        if (entry.written && !WriteEntry(p, entry, path)) {
            TRV_TRACE(1, blockName, "No se ha podido escribir %s en %s", entry.key, path.c_str());
            written = false;
        }
    };
    if (order.empty()) {
        for (const KeyEntry& entry : block)
            write(entry);
    } else {
        for (const char* key : order)
            write(*FindEntry(block, key));
    }
    return written;
}

} // namespace

// ---- Block readers and writers ---------------------------------------------------------------

void CUserParameters::LoadServiceTimes(const std::string& file)
{
    ReadBlock(*this, kServiceTimes, file);
}

bool CUserParameters::SaveServiceTimes(const std::string& file)
{
    return WriteBlock(*this, kServiceTimes, file, "CUserParameters::SaveServiceTimes",
                      kServiceTimesWriteOrder);
}

void CUserParameters::LoadWorkingTime(const std::string& file)
{
    ReadBlock(*this, kWorkingTime, file);
}

bool CUserParameters::SaveWorkingTime(const std::string& file)
{
    return WriteBlock(*this, kWorkingTime, file, "CUserParameters::SaveWorkingTime");
}

void CUserParameters::LoadDrivingRest(const std::string& file)
{
    ReadBlock(*this, kDrivingRest, file);
}

bool CUserParameters::SaveDrivingRest(const std::string& file)
{
    return WriteBlock(*this, kDrivingRest, file, "CUserParameters::SaveDrivingRest");
}

void CUserParameters::LoadSchedulingDate(const std::string& file)
{
    ReadBlock(*this, kSchedulingDate, file);
}

bool CUserParameters::SaveSchedulingDate(const std::string& file)
{
    return WriteBlock(*this, kSchedulingDate, file, "CUserParameters::SaveSchedulingDate");
}

void CUserParameters::LoadCostFactors(const std::string& file)
{
    ReadBlock(*this, kCostFactors, file);
}

bool CUserParameters::SaveCostFactors(const std::string& file)
{
    return WriteBlock(*this, kCostFactors, file, "CUserParameters::SaveCostFactors",
                      kCostFactorsWriteOrder);
}

void CUserParameters::LoadRoutingParams(const std::string& file)
{
    ReadBlock(*this, kRouting, file);
    // The vehicle type is chosen per route by the routing provider, never from the file.
    VehTypeForRouting = 0;
}

bool CUserParameters::SaveRoutingParams(const std::string& file)
{
    return WriteBlock(*this, kRouting, file, "CUserParameters::SaveRoutingParams",
                      kRoutingWriteOrder);
}

void CUserParameters::LoadDisplayOptions(const std::string& file)
{
    ReadBlock(*this, kDisplayOptions, file);
}

bool CUserParameters::SaveDisplayOptions(const std::string& file)
{
    return WriteBlock(*this, kDisplayOptions, file, "CUserParameters::SaveDisplayOptions",
                      kDisplayOptionsWriteOrder);
}

void CUserParameters::LoadMainParameters(const std::string& file)
{
    ReadBlock(*this, kMainBlock, file);

    if (Euclideas != -1) {
        EuclideanInEffect = Euclideas;
    } else {
        std::string text =
            trv::ToUpper(ReadParamString("DISTANCE", "Euclidean", ConfigurationFile(), "NO"));
        EuclideanInEffect = !text.empty() && text[0] == 'Y' ? 1 : 0;
    }
    if (PullOrdersTime == -1)
        PullOrdersTime = trv::GetProfileInt("TIMER", "PullOrdersTime", -1,
                                            trv::JoinPath(trv::GetProgramFolder(), "Config.ini"));

    PartirMatricesDistancias = 0;
    MostrarAgrupacionesViajes = 0;
}

bool CUserParameters::SaveMainParameters(const std::string& file)
{
    return WriteBlock(*this, kMainBlock, file, "CUserParameters::SaveMainParameters");
}
