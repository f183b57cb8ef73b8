// The key sets of vehicles: the truck (entity kind 3) and the trailer (entity kind 4), in the
// order the resource records and dialogs list them.

#include "model/HourSpeeds.h"
#include "model/Trailer.h"
#include "model/VariableBuilders.h"
#include "model/VariableRegistration.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <string>

using namespace model_variables;

namespace {

// A truck's base and end base share their layout; only the names differ.
struct TBaseKeys
{
    std::string prefix;        // "TRUCK_BASE_" / "TRUCK_END_BASE_"
    const char* nodeNumberKey; // "TRUCK_INODENUMBER" / "TRUCK_END_INODENUMBER"
    std::string caption;       // "Depot" / "EndDepot"
    std::string longCaption;   // "TruckBase" / "TruckEndBase"
    const char* coordinates;   // the coordinates' caption
    int codeRequired;
};

void AddTruckBase(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys,
                  TLocationData CTruck::*location, const TBaseKeys& names)
{
    auto at = [location](auto member) { return LocationMember(location, member); };
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    const std::string& p = names.prefix;
    const std::string& c = names.caption;
    keys.AddString(p + "CODE", at(&TLocationData::code), width("TRUCK_BASE_CODE"), c + "Code", "",
                   "", names.codeRequired, kShown);
    keys.AddString(p + "CP", at(&TLocationData::postcode), width("TRUCK_CP_BASE"), c + "Postcode",
                   "", "", 0, kShown);
    keys.AddString(p + "CITY", at(&TLocationData::city), width("TRUCK_BASE"), c + "Point", "", "",
                   0, kShown);
    keys.AddString(p + "STREET", at(&TLocationData::street), width("TRUCK_BASE_STREET"),
                   c + "Address1", "", "", 0, kShown);
    keys.AddInt(p + "COUNTRY", at(&TLocationData::country), c + "Country", "", -1, 0, kShownSecond);
    keys.AddString(p + "NAME", at(&TLocationData::name), width("TRUCK_BASE_NAME"), c + "Name", "",
                   "", 0, kShown);
    keys.AddString(p + "ID", at(&TLocationData::id), width("TRUCK_BASE_ID"), "", "", "", 0,
                   kReadWrite);
    // Each part bound by its own name: longitude, latitude, height.
    keys.AddCoordinates(
        p + "COORDINATES",
        Names({(p + "LONGITUDE").c_str(), (p + "LATITUDE").c_str(), (p + "HEIGHT").c_str()}),
        at(&TLocationData::coordinates), names.coordinates,
        names.longCaption + "CoordinatesExplanation", 0, kShown, 12345678);
    keys.AddInt(names.nodeNumberKey, at(&TLocationData::nodeIndex), "", "", -1, 0, kReadWrite);
    keys.AddString(p + "NODE_CODE", at(&TLocationData::nodeCode), width("TRUCK_BASE_NODE_CODE"), "",
                   "", "", 0, kReadWrite);
    keys.AddString(p + "FEEDBACK_CODE", at(&TLocationData::feedbackCode),
                   width("TRUCK_BASE_NODE_CODE"), names.longCaption + "FeedbackCode", "", "", 0,
                   kReadWrite);
    keys.AddString(p + "PHONE_NUMBER", at(&TLocationData::phoneNumber),
                   width("TRUCK_BASE_PHONE_NUMBER"), c + "PhoneNumber", "", "", 0, kShown);
}

void AddTruckWarehouse(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    TLocationData CTruck::*const location = &CTruck::warehouse;
    auto at = [location](auto member) { return LocationMember(location, member); };
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    keys.AddString("TRUCK_WAREHOUSE_CODE", at(&TLocationData::code), width("TRUCK_WAREHOUSE_CODE"),
                   "TruckWarehouseCode", "", "", 0, kShown);
    keys.AddString("TRUCK_WAREHOUSE_NAME", at(&TLocationData::name), width("TRUCK_WAREHOUSE_NAME"),
                   "TruckWarehouseName", "", "", 0, kShown);
    keys.AddString("TRUCK_WAREHOUSE_CP", at(&TLocationData::postcode), width("TRUCK_WAREHOUSE_CP"),
                   "TruckWarehousePostcode", "", "", 0, kShown);
    keys.AddString("TRUCK_WAREHOUSE_CITY", at(&TLocationData::city), width("TRUCK_WAREHOUSE_CITY"),
                   "TruckWarehouseCity", "", "", 0, kShown);
    keys.AddString("TRUCK_WAREHOUSE_STREET", at(&TLocationData::street),
                   width("TRUCK_WAREHOUSE_STREET"), "TruckWarehouseAddress1", "", "", 0, kShown);
    keys.AddInt("TRUCK_WAREHOUSE_COUNTRY", at(&TLocationData::country), "TruckWarehouseCountry", "",
                -1, 0, kShownSecond);
    keys.AddInt("TRUCK_WAREHOUSE_TIME", at(&TLocationData::serviceMinutes), "TruckWarehouseTime",
                "", -1, 0, kShownSecond);
    keys.AddString("TRUCK_WAREHOUSE_ID", at(&TLocationData::id), width("TRUCK_WAREHOUSE_ID"), "",
                   "", "", 0, kReadWrite);
    keys.AddCoordinates(
        "TRUCK_WAREHOUSE_COORDINATES",
        Names({"TRUCK_WAREHOUSE_LONGITUDE", "TRUCK_WAREHOUSE_LATITUDE", "TRUCK_WAREHOUSE_HEIGHT"}),
        at(&TLocationData::coordinates), "TruckWarehouseCoordinates", "", 0, kShown, 12345678);
    keys.AddString("TRUCK_WAREHOUSE_NODE_CODE", at(&TLocationData::nodeCode),
                   width("TRUCK_WAREHOUSE_NODE_CODE"), "", "", "", 0, kReadWrite);
    keys.AddString("TRUCK_WAREHOUSE_FEEDBACK_CODE", at(&TLocationData::feedbackCode),
                   width("TRUCK_WAREHOUSE_FEEDBACK_CODE"), "TruckWarehouseFeedbackCode", "", "", 0,
                   kReadWrite);
    keys.AddInt("TRUCK_WAREHOUSE_INODENUMBER", at(&TLocationData::nodeIndex), "", "", -1, 0,
                kReadWrite);
}

template <int Index> TVarAccessorPtr Capacity(float (CTrailer::*array)[3])
{
    return VarField<CTrailer>(
        [array](CTrailer& trailer) -> float& { return (trailer.*array)[Index]; });
}

} // namespace

void InitTruckVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    keys.AddString("TRUCK_PLATE", DerivedMember<CTruck>(&CTruck::plate), width("TRUCK_PLATE"),
                   "TruckPlate", "", "", 0, kShown);
    keys.AddString("TRUCK_CODE", DerivedMember<CTruck>(&CTruck::code), width("TRUCK_CODE"),
                   "TruckCode", "", "", 0, kShown);
    const int baseRequired = UserParameters().PermitirVehiculosSinConductor == 0 ? 1 : 0;
    AddTruckBase(catalogue, keys, &CTruck::base,
                 {"TRUCK_BASE_", "TRUCK_INODENUMBER", "Depot", "TruckBase",
                  "Truck Base Coordinates", baseRequired});
    AddTruckWarehouse(catalogue, keys);
    AddTruckBase(catalogue, keys, &CTruck::endBase,
                 {"TRUCK_END_BASE_", "TRUCK_END_INODENUMBER", "EndDepot", "TruckEndBase",
                  "Truck End Base Coordinates", 0});
    keys.AddFloatAltFormat("TRUCK_KM_COST", DerivedMember<CTruck>(&CTruck::kmCost), "KmCost", "", 0,
                           0, 0, kShown);
    keys.AddFloatAltFormat("TRUCK_KM_COST_FIRST_AND_LAST_KM",
                           DerivedMember<CTruck>(&CTruck::firstAndLastKmCost),
                           "KmCostFirstAndLastKm", "", 0, 0, 0, kShown);
    CSmartStringArray speedClasses;
    FillSpeedClassNames(speedClasses);
    keys.AddVariableWithItems(speedClasses, VAR_ENUM, DerivedMember<CTruck>(&CTruck::speedLevel),
                              int32_t{2}, "VEH_SPEED_TYPE", "VEH_SPEED_TYPE_Explanation", 0, kShown,
                              1, "SPEED_LEVEL_ID", 4, 1, -1);
    keys.AddBool("TRUCK_MUST_REST", DerivedMember<CTruck>(&CTruck::mustRest), "TruckMustRest", "",
                 1, 0, kShown);
    keys.AddInt("TIENE_BOLA_REMOLQUE", DerivedMember<CTruck>(&CTruck::trailerHitch),
                "TieneBolaRemolque", "", 0, 0, kShown);
    keys.AddFloat("RESOURCE_HABILITY", DerivedMember<CTruck>(&CTruck::ability), "ResourceHability",
                  "", 1.0f, 0, 0, kShown);
}

void InitTrailerVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    TLocationData CTrailer::*const location = &CTrailer::base;
    auto base = [location](auto member) { return LocationMember(location, member); };
    keys.AddString("TRAILER_PLATE", DerivedMember<CTrailer>(&CTrailer::plate),
                   width("TRAILER_PLATE"), "TrailerPlate", "", "", 0, kShown);
    keys.AddString("TRAILER_CODE", DerivedMember<CTrailer>(&CTrailer::code), width("TRAILER_CODE"),
                   "TrailerCode", "", "", 0, kShown);
    keys.AddString("TRAILER_BASE_NAME", base(&TLocationData::name), width("TRAILER_BASE_NAME"), "",
                   "", "", 0, kReadWrite);
    keys.AddString("TRAILER_CP_BASE", base(&TLocationData::postcode), width("TRAILER_CP_BASE"), "",
                   "", "", 0, kReadWrite);
    keys.AddString("TRAILER_BASE", base(&TLocationData::city), width("TRAILER_BASE"), "", "", "", 0,
                   kReadWrite);
    keys.AddCoordinates("TRAILER_COORDINATES",
                        Names({"TRAILER_LONGITUDE", "TRAILER_LATITUDE", "TRAILER_HEIGHT"}),
                        base(&TLocationData::coordinates), "Trailer Coordinates",
                        "TrailerCoordinatesExplanation", 0, kReadWrite, 12345678);
    keys.AddInt("TRAILER_INODENUMBER", base(&TLocationData::nodeIndex), "", "", -1, 0, kReadWrite);
    const char* capacities[3] = {"TRAILER_CAPACITY", "TRAILER_CAPACITY2", "TRAILER_CAPACITY3"};
    const char* minimums[3] = {"TRAILER_MIN_CAPACITY", "TRAILER_MIN_CAPACITY2",
                               "TRAILER_MIN_CAPACITY3"};
    const TVarAccessorPtr capacityMembers[3] = {Capacity<0>(&CTrailer::capacity),
                                                Capacity<1>(&CTrailer::capacity),
                                                Capacity<2>(&CTrailer::capacity)};
    const TVarAccessorPtr minimumMembers[3] = {Capacity<0>(&CTrailer::minimumCapacity),
                                               Capacity<1>(&CTrailer::minimumCapacity),
                                               Capacity<2>(&CTrailer::minimumCapacity)};
    for (int k = 0; k < 3; ++k)
        keys.AddFloat(capacities[k], capacityMembers[k],
                      "Capacity" + std::to_string(k + 1) + "Short", "", 0, 0, 0, kShown);
    for (int k = 0; k < 3; ++k)
        keys.AddFloat(minimums[k], minimumMembers[k],
                      "MinCapacity" + std::to_string(k + 1) + "Short", "", 0, 0, 0, kShown);
    keys.AddInt("ALLOWED_PRODUCT_TYPES", DerivedMember<CTrailer>(&CTrailer::allowedProductTypes),
                "AllowedProductTypes", "", 0, 0, kShown);
    keys.AddBool("TRAILER_IN_BULK", DerivedMember<CTrailer>(&CTrailer::inBulk), "InBulk", "", 0, 0,
                 kShown);
    keys.AddBool("TRAILER_MIX_BULK", DerivedMember<CTrailer>(&CTrailer::mixBulk), "MixBulk", "", 0,
                 0, kShown);
    keys.AddFloat("NOT_IN_BULK_CAPACITY1", DerivedMember<CTrailer>(&CTrailer::notInBulkCapacity1),
                  "NotInBulkCapacity", "", 0, 0, 0, kShown);
    keys.AddFloat("UNLOAD_SPEED", DerivedMember<CTrailer>(&CTrailer::unloadSpeed), "UnloadSpeed",
                  "", 0, 0, 0, kShown);
    keys.AddFloat("LOAD_SPEED", DerivedMember<CTrailer>(&CTrailer::loadSpeed), "LoadSpeed", "", 0,
                  0, 0, kShown);
    keys.AddWordList("UNLOAD_SPEED_ARRAY", DerivedMember<CTrailer>(&CTrailer::unloadSpeeds),
                     "UnloadSpeedArray", "", 0, 0, kShown);
    keys.AddWordList("UNLOAD_FIXED_TIME_ARRAY",
                     DerivedMember<CTrailer>(&CTrailer::unloadFixedTimes), "UnloadFixedTimeArray",
                     "", 0, 0, kShown);
    keys.AddWordList("TIEMPO_MINIMO_REPARTO_ARRAY",
                     DerivedMember<CTrailer>(&CTrailer::minimumDeliveryTimes),
                     "TiempoMinimoRepartoArray", "", 0, 0, kShown);
    keys.AddWordList("TIEMPO_MINIMO_CARGA_ARRAY",
                     DerivedMember<CTrailer>(&CTrailer::minimumLoadingTimes),
                     "LoadTiempoMinimoArray", "", 0, 0, kShown);
    keys.AddString("TANKS_CAPACITIES", DerivedMember<CTrailer>(&CTrailer::tanksCapacitiesText),
                   width("TANKS_CAPACITIES"), "TanksCapacities", "", "", 0, VAR_USE_SHOWN);
    keys.AddString("RESOURCE_FARE_ID", DerivedMember<CTrailer>(&CTrailer::fareId), -1, "FareID", "",
                   "", 0, kShown);
    keys.AddString("RESOURCE_FARE_SUBID", DerivedMember<CTrailer>(&CTrailer::fareSubId), -1,
                   "FareSubID", "", "", 0, kShown);
    keys.AddInt("RESOURCE_FARE_RETURN_PERCENT",
                DerivedMember<CTrailer>(&CTrailer::fareReturnPercent), "FareReturnPercent", "", -1,
                0, kShown);
    keys.AddInt("RESOURCE_FARE_MIN_WEIGHT", DerivedMember<CTrailer>(&CTrailer::fareMinimumWeight),
                "FareMinWeight", "", -1, 0, kShown);
    keys.AddInt("CONDITIONED_INCOMPATIBILITY_RESOURCE_TYPE",
                DerivedMember<CTrailer>(&CTrailer::resourceType), "Tipo Veh Incompatibilidades",
                "TipoVehIncompatibilidadesExplanation", 0, 0, kReadWrite);
    keys.AddInt("CONDITIONED_INCOMPATIBILITY_RESOURCE_TYPE_ALTERNATIVE",
                DerivedMember<CTrailer>(&CTrailer::alternativeResourceType),
                "Tipo Veh Incompatibilidades Alternativo",
                "TipoVehIncompatibilidadesAlternativoExplanation", -1, 0, kReadWrite);
    keys.AddInt("NUM_MANGUERAS", DerivedMember<CTrailer>(&CTrailer::hoseCount),
                "NumManguerasIncompatibilidades", "", 2, 0, kReadWrite);
    keys.AddString("PRODUCTO_MANGUERA1", DerivedMember<CTrailer>(&CTrailer::hoseProduct1),
                   width("PRODUCTO_MANGUERA1"), "ProductoDedicadoManguera1", "", "", 0, kShown);
    keys.AddString("PRODUCTO_MANGUERA2", DerivedMember<CTrailer>(&CTrailer::hoseProduct2),
                   width("PRODUCTO_MANGUERA2"), "ProductoDedicadoManguera2", "", "", 0, kShown);
    keys.AddString("PRODUCTO_COLECTOR", DerivedMember<CTrailer>(&CTrailer::collectorProduct),
                   width("PRODUCTO_COLECTOR"), "ProductoColector", "", "", 0, kShown);
    keys.AddStringList(
        "TRAILER_GRUPOS_INCOMPATIBLES_CARGADOS_INICIALMENTE_CISTERNAS_ULTIMA_DESCARGA",
        DerivedMember<CTrailer>(&CTrailer::lastUnloadGroupNames),
        "Grupos Incompaibilidades Dia Anterior Ultima Descarga",
        "Grupos Incompaibilidades Dia Anterior", 0, kShown);
    keys.AddStringList(
        "TRAILER_CANTIDADES_INCOMPATIBLES_CARGADOS_INICIALMENTE_CISTERNAS_ULTIMA_DESCARGA",
        DerivedMember<CTrailer>(&CTrailer::lastUnloadQuantityTexts),
        "Cantidades Incompaibilidades Dia Anterior Ultima Descarga",
        "Cantidades Incompaibilidades Dia Anterior", 0, kShown);
    keys.AddStringList("TRAILER_GRUPOS_INCOMPATIBLES_CARGADOS_INICIALMENTE_CISTERNAS_ULTIMO_VIAJE",
                       DerivedMember<CTrailer>(&CTrailer::lastTripGroupNames),
                       "Grupos Incompaibilidades Dia Anterior Ultimo Viaje",
                       "Grupos Incompaibilidades Dia Anterior", 0, kShown);
    keys.AddStringList("LISTA_PRODUCTOS_PROBLEMATICOS_FINAL_ULTIMO_VIAJE",
                       DerivedMember<CTrailer>(&CTrailer::lastTripProblemNames),
                       "ProductosProblematicosFinalUltimoViaje", "", 0, kShown);
    keys.AddStringList("LISTA_PRODUCTOS_PROBLEMATICOS_FINAL_ULTIMA_DESCARGA",
                       DerivedMember<CTrailer>(&CTrailer::lastUnloadProblemNames),
                       "ProductosProblematicosFinalUltimaDescarga", "", 0, kShown);
    keys.AddBool("EXCLUDED_FROM_INCOMPATIBILITIES_BETWEEN_TRIPS",
                 DerivedMember<CTrailer>(&CTrailer::excludedBetweenTrips),
                 "ExcluidoIncompatibilidadesUltimoViaje",
                 "bExcluidoIncompatibilidadesUltimoViajeExplanation", 0, 0, kReadWrite);
    keys.AddBool("EXCLUDED_FROM_INCOMPATIBILITIES_SAME_TRIP",
                 DerivedMember<CTrailer>(&CTrailer::excludedSameTrip),
                 "ExcluidoProductTypeGroupingIndex", "", 0, 0, kReadWrite);
    keys.AddInt("IF_THEN_USE", DerivedMember<CTrailer>(&CTrailer::ifThenUse), "TipoIfThen", "", 1,
                0, kReadWrite);
    keys.AddBool("COCHE_ESCOBA", DerivedMember<CTrailer>(&CTrailer::sweeper), "CocheEscoba", "", 0,
                 0, kShown);
    keys.AddBool("TRANSPORTE_PUBLICO_EN_VACIO",
                 DerivedMember<CTrailer>(&CTrailer::publicTransportWhenEmpty),
                 "TransportePublicoEnVacio", "", 0, 0, kShown);
    keys.AddInt("REMOLQUE", DerivedMember<CTrailer>(&CTrailer::towedClass), "Remolque", "", 0, 0,
                kShown);
    keys.AddItemsVariable(
        "TANKS_VARIABLES", VAR_TANK_SET,
        Names({"TANKS", "TANKS_IDS", "INITIAL_IFES_FOR_EACH_TANKS", "INITIAL_IFES",
               "PRODUCTS_LOADED", "QUANTITIES_LOADED", "IFES_FIJOS", "PRODUCT_COMPATIBILITY_GROUPS",
               "COMPARTMENT_RULES"}),
        kTankSetItems,
        VarField<CTrailer>([](CTrailer& trailer) -> CTankSetVariable& { return trailer.tanks; }),
        -1, "", "", 0, kReadWrite);
    const struct
    {
        const char* key;
        int32_t CTrailer::*member;
        const char* caption;
    } decks[] = {
        {"PESO_MAXIMO_CUCHARA", &CTrailer::maximumRampWeight, "PesoMaximoCuchara"},
        {"LONG_PLATAFORMA_INFERIOR", &CTrailer::lowerDeckLength, "LongPlataformaInferior"},
        {"LONG_PLATAFORMA_INFERIOR_SI_SE_USA_LA_SUPERIOR", &CTrailer::lowerDeckLengthWithUpper,
         "LongPlataformaInteriorSiSeUsaLaSuperior"},
        {"LONG_PLATAFORMA_SUPERIOR", &CTrailer::upperDeckLength, "LongPlataformaSuperior"},
        {"ALTURA_MAXIMA_VEHICULO_PLATAFORMA_SUPERIOR", &CTrailer::upperDeckMaximumHeight,
         "AlturaMaximaVehiculoPlataformaSuperior"},
        {"ALTURA_MAXIMA_VEHICULO_DEBAJO_PLATAFORMA", &CTrailer::underDeckMaximumHeight,
         "AltruaMaximaVehiculoDebajoPlataforma"},
    };
    for (const auto& deck : decks)
        keys.AddInt(deck.key, DerivedMember<CTrailer>(deck.member), deck.caption, "", 0, 0,
                    kReadWrite);
}
