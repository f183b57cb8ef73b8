// The key sets of the demand model: the order (entity kind 1), its lines (kind 2) and the
// customer of an order or of a line (kind 15).

#include "model/Orders.h"
#include "model/VariableBuilders.h"
#include "model/VariableRegistration.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <limits>
#include <memory>
#include <typeinfo>

namespace {

using namespace model_variables;

constexpr int kWrittenShown = VAR_USE_WRITE | VAR_USE_SHOWN;
constexpr int kLeadingSecond = kShown | VAR_USE_LEADING_SECOND;
constexpr int kNoWidth = -1;
constexpr int kTimeStartMax = 14390000;
constexpr int kTimeEndMax = 14400000;

// A member of one part of the order: its plan fields, its lines' header, its warehouse copy and
// that copy's place, its customer's place.
template <class Part, class Storage, class Reach>
TVarAccessorPtr Inside(Reach reach, Storage Part::*member)
{
    return VarField<COrder>(
        [reach, member](COrder& order) -> Storage& { return reach(order).*member; });
}
template <class Storage> TVarAccessorPtr Plan(Storage TOrderPlanFields::*member)
{
    return Inside([](COrder& o) -> TOrderPlanFields& { return o.plan; }, member);
}
template <class Storage> TVarAccessorPtr Header(Storage TOrderLinesHeader::*member)
{
    return Inside([](COrder& o) -> TOrderLinesHeader& { return o.lines.header; }, member);
}
template <class Storage> TVarAccessorPtr Lines(Storage COrderLines::*member)
{
    return Inside([](COrder& o) -> COrderLines& { return o.lines; }, member);
}
template <class Storage> TVarAccessorPtr Warehouse(Storage CWareHouse::*member)
{
    return Inside([](COrder& o) -> CWareHouse& { return o.wareHouse; }, member);
}
template <class Storage> TVarAccessorPtr WarehousePlace(Storage TLocationData::*member)
{
    return Inside([](COrder& o) -> TLocationData& { return o.wareHouse.location; }, member);
}
TVarAccessorPtr TextOfOrder(int which)
{
    return VarField<COrder>([which](COrder& o) -> std::string& { return o.Text(which); });
}
// The number of the order's lines, shown but never stored: the count lives in the list itself,
// so a value given to the column lands in a scratch copy and changes nothing.
class CLineCountAccessor : public CVarAccessor
{
  public:
    void* Locate(const TEntityRef& entity) const override
    {
        const COrder* order = entity.Get<COrder>();
        if (!order)
            return nullptr;
        thread_local int32_t count = 0;
        count = order->lines.GetSize();
        return &count;
    }
    const std::type_info& StorageType() const override { return typeid(int32_t); }
};
template <class Storage> TVarAccessorPtr Place(Storage TLocationData::*member)
{
    return VarField<CCustomer>([member](CCustomer& c) -> Storage& { return c.location.*member; });
}

} // namespace

void InitOrderVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    const CUserParameters& parameters = UserParameters();
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    auto text = [&](const char* key, int which, const char* caption, const char* explanation,
                    int usage, int chars) {
        keys.AddString(key, TextOfOrder(which), chars, caption, explanation, "", 0, usage);
    };
    auto flag = [&](const char* key, TVarAccessorPtr member, int defaultValue, const char* caption,
                    const char* explanation = "", int usage = kShown) {
        keys.AddBool(key, std::move(member), caption, explanation, defaultValue, 0, usage);
    };
    auto integer = [&](const char* key, TVarAccessorPtr member, int defaultValue,
                       const char* caption, const char* explanation = "", int usage = kShown,
                       int minimum = -1) {
        keys.AddInt(key, std::move(member), caption, explanation, defaultValue, 0, usage, minimum);
    };
    // Full precision writes every decimal.
    auto decimal = [&](const char* key, TVarAccessorPtr member, float defaultValue,
                       const char* caption, const char* explanation = "", int usage = kShown,
                       bool fullPrecision = false) {
        keys.AddFloat(key, std::move(member), caption, explanation, defaultValue, 0,
                      fullPrecision ? 1 : 0, usage);
    };
    auto date = [&](const char* key, TVarAccessorPtr member, const char* caption) {
        keys.AddDate(key, std::move(member), caption, "", trv::OleDate(), 0, kShown);
    };

    text("ORDER_CODE", ORDER_CODE, "ServiceCode", "", kLeadingSecond, width("ORDER_CODE"));
    integer("PARTITION_NUMBER", Plan(&TOrderPlanFields::partitionNumber), 0, "PartitionNumber", "",
            kShownSecond);
    text("SERVICE_COLOR", SERVICE_COLOR, "ServiceColor", "", kShown, width("SERVICE_COLOR"));
    text("SERVICE_COMMENTS1", SERVICE_COMMENTS1, "ServiceComments1", "", kShown,
         width("SERVICE_COMMENTS1"));
    text("SERVICE_COMMENTS2", SERVICE_COMMENTS2, "ServiceComments2", "", kShown,
         width("SERVICE_COMMENTS2"));
    flag("ORDER_DEACTIVATED", Plan(&TOrderPlanFields::deactivated), 0, "DeactivatedOrder",
         "DeactivatedServiceExplanation");
    flag("ORDER_USER_CHANGE_STATE", Plan(&TOrderPlanFields::changedByUser), 0, "UserChangeState");
    flag("ORDER_AVOID_UNLOAD", Plan(&TOrderPlanFields::avoidUnloading), 0, "EvitarDescargaOrder",
         "EvitarDescargaServiceExplanation");
    decimal("ORDER_BUDGET", Plan(&TOrderPlanFields::budget), 0, "OrderBudget", "", kShown, true);
    flag("DELETE_IF_EXISTS", Plan(&TOrderPlanFields::deleteIfExists), 0, "DeleteIfExists");

    // The order's own copy of its loading warehouse, under the warehouse's older width keys.
    keys.AddString("WAREHOUSE_ID", WarehousePlace(&TLocationData::id), width("ORIGIN_ID"), "", "",
                   "", 0, kReadWrite);
    keys.AddString("WAREHOUSE_CODE", WarehousePlace(&TLocationData::code), width("ORIGIN_CODE"),
                   "FactoryCode", "", "", 0, kShownSecond);
    keys.AddString("WAREHOUSE_DOCK_CODE", Warehouse(&CWareHouse::dockCode), width("ORIGIN_CODE"),
                   "DockCode", "", "", 0, kShownSecond);
    integer("WAREHOUSE_AVAILABLE_DOCKS", Warehouse(&CWareHouse::availableDocks), -1,
            "AvailableDocks", "", kReadWrite);
    keys.AddWordList("LISTA_PAX_DOCKS", Warehouse(&CWareHouse::docksPerSlot), "PaxDocsArray", "", 0,
                     0, kReadWrite);
    flag("ORDER_CONSIDER_DOCKS", Plan(&TOrderPlanFields::considerDocks), 0, "ConsiderDocks", "",
         kReadWrite);
    keys.AddString("WAREHOUSE_NAME", WarehousePlace(&TLocationData::name), width("ORIGIN_NAME"),
                   "FactoryName", "", "", 0, kShownSecond);
    keys.AddString("WAREHOUSE_CITY", WarehousePlace(&TLocationData::city), width("ORIGIN"),
                   "FactoryTown", "", "", 0, kShownSecond);
    keys.AddString("WAREHOUSE_CP", WarehousePlace(&TLocationData::postcode), width("CP_ORIGIN"),
                   "FactoryPostcode", "", "", 0, kShownSecond);
    keys.AddString("WAREHOUSE_STREET", WarehousePlace(&TLocationData::street),
                   width("ORIGIN_STREET"), "FactoryAddress1", "", "", 0, kShownSecond);
    integer("WAREHOUSE_COUNTRY", WarehousePlace(&TLocationData::country), -1, "FactoryCountry", "",
            kShownSecond);
    keys.AddCoordinates("WAREHOUSE_COORDINATES",
                        Names({"WAREHOUSE_LONGITUDE", "WAREHOUSE_LATITUDE", "WAREHOUSE_HEIGHT"}),
                        WarehousePlace(&TLocationData::coordinates), "WareHouse Coordinates",
                        "WareHouseCoordinatesExplanation", 0, kShownSecond, 12345678);
    keys.AddString("WAREHOUSE_NODE_CODE", WarehousePlace(&TLocationData::nodeCode),
                   width("ORIGIN_NODE_CODE"), "", "", "", 0, kReadWrite);
    integer("WAREHOUSE_TIME", WarehousePlace(&TLocationData::serviceMinutes), kUnsetTime,
            "TimeInFactoryMin", "TimeInFactoryExplanation");
    integer("WAREHOUSE_PARKING_TIME", WarehousePlace(&TLocationData::parkingMinutes), 0,
            "ParkingTimeInFactoryMin", "ParkingTimeInFactoryExplanation");
    keys.AddString("WAREHOUSE_FEEDBACK_CODE", WarehousePlace(&TLocationData::feedbackCode),
                   width("ORIGIN_NODE_CODE"), "WarehouseFeedbackCode", "", "", 0, kReadWrite);
    integer("WAREHOUSE_INODENUMBER", WarehousePlace(&TLocationData::nodeIndex), -1, "", "",
            kReadWrite);
    keys.AddString("WAREHOUSE_PHONE_NUMBER", WarehousePlace(&TLocationData::phoneNumber),
                   width("ORIGIN_PHONE_NUMBER"), "", "", "", 0, kReadWrite);
    integer("WAREHOUSE_CLEAN_TIME", WarehousePlace(&TLocationData::cleaningMinutes), 0,
            "CleanTimeInFactoryMin", "CleanTimeInFactoryExplanation");
    // The warehouse's own caption, as its key set shows it.
    decimal("WAREHOUSE_PERCENT_REDUCE_CAPACITY", Warehouse(&CWareHouse::capacityReducePercent), 0,
            "PercentReduceCapacity");

    integer("PREDETERMINATED_SEQ", Plan(&TOrderPlanFields::predeterminedSequence), 0,
            "OrdenDentroDelViaje", "OrdenDentroDelViajeDescription");
    flag("APLICAR_ORDEN_POR_DIA", Plan(&TOrderPlanFields::applyOrderPerDay), 0,
         "AplicarOrdenPorDia");
    text("GROUP_ORDER", GROUP_ORDER, "Nombre Grupo Ordenado", "Nombre Grupo Ordenado Explanation",
         kShown, kNoWidth);
    integer("PREDETERMINATED_SEQ_GROUP", Plan(&TOrderPlanFields::predeterminedSequenceGroup), 0,
            "OrdenDentroDelViajeGrupo", "OrdenDentroDelViajeGrupoDescription");
    integer("ASSIGNED", Plan(&TOrderPlanFields::assigned), 0, "Assigned", "AssigmedExplanation",
            kReadWrite);
    text("ASSIGNED_TRUCK", ASSIGNED_TRUCK, "AssignedTruck", "", kShown, width("ASSIGNED_TRUCK"));
    text("ASSIGNED_TRAILER", ASSIGNED_TRAILER, "AssignedTrailer", "", kShown,
         width("ASSIGNED_TRAILER"));
    text("ASSIGNED_DRIVER", ASSIGNED_DRIVER, "AssignedDriver", "", kShown,
         width("ASSIGNED_DRIVER"));
    text("ASSIGNED_ESCOBADO", ASSIGNED_ESCOBADO, "AssignedEscobado", "", kShown,
         width("ASSIGNED_ESCOBADO"));
    integer("ASSIGNED_TRIP", Plan(&TOrderPlanFields::assignedTrip), -1, "AssignedTrip");
    integer("ASSIGNED_SUBTRIP", Plan(&TOrderPlanFields::assignedSubtrip), -1, "AssignedSubtrip");
    flag("REAL_TIME_LOADED", Plan(&TOrderPlanFields::realTimeLoaded), 0, "RealTimeLoadedName",
         "RealTimeLoadedExplanation");
    integer("REAL_TIME_LOAD_POOL_NUMBER", Plan(&TOrderPlanFields::realTimeLoadPool), -1,
            "RealTimeLoadPoolNumber");
    flag("REAL_TIME_SERVED", Plan(&TOrderPlanFields::realTimeServed), 0, "RealTimeServedName",
         "RealTimeServedExplanation");
    keys.AddTimeWindow("ASSIGNED_WAREHOUSE_TIMETABLE",
                       Names({"ASSIGNED_WAREHOUSE_START_TIME", "ASSIGNED_WAREHOUSE_END_TIME"}),
                       VarTimeWindowField<COrder>(
                           [](COrder& o) -> CTimeWindow& { return o.plan.assignedLoadingWindow; }),
                       0, kTimeStartMax, kTimeEndMax, "AssignedLoadingTimes", "", 0, kShown,
                       kUnsetTime);
    date("FROM_DAY", Plan(&TOrderPlanFields::fromDay), "From");
    date("TO_DAY", Plan(&TOrderPlanFields::toDay), "To");
    date("PREFIXED_DAY", Plan(&TOrderPlanFields::prefixedDay), "PrefixedDay");
    keys.AddTimeTable("WAREHOUSE_TIMETABLE", Names({"WAREHOUSE_START_TIME", "WAREHOUSE_END_TIME"}),
                      VarTimeTableField<COrder>([](COrder& o) -> CTimeTable& {
                          return o.wareHouse.location.openingHours;
                      }),
                      "OpeningTimesFactory", "", 0, kShown, -MinutesPerDay, -1, -1);
    date("WAREHOUSE_FROM_DAY", Warehouse(&CWareHouse::dateFrom), "WarehouseFrom");
    date("WAREHOUSE_TO_DAY", Warehouse(&CWareHouse::dateTo), "WarehouseTo");
    integer("NUM_LINEAS", std::make_shared<CLineCountAccessor>(), 0, "NumLineas", "",
            VAR_USE_SHOWN);

    // Totals and summaries the lines derive: written and shown, never read.
    decimal("TOTAL_QUANTITY", Header(&TOrderLinesHeader::totalQuantity), 0, "TotalQuantity1", "",
            kWrittenShown);
    decimal("TOTAL_VOLUME", Header(&TOrderLinesHeader::totalVolume), 0, "TotalVolume", "",
            kWrittenShown);
    decimal("TOTAL_SURFACE", Header(&TOrderLinesHeader::totalSurface), 0, "TotalSurface", "",
            kWrittenShown);
    decimal("ORDER_MAX_QUANTITY", Header(&TOrderLinesHeader::maximumQuantity),
            std::numeric_limits<float>::max(), "OrderMaxQuantity");
    decimal("ORDER_MIN_QUANTITY_TO_GROUP", Header(&TOrderLinesHeader::minimumQuantityToGroup), 0,
            "OrderMinQuantityToGroup");
    keys.AddString("LISTA_CANTIDADES", Lines(&COrderLines::quantitiesText), kNoWidth, "Cantidades",
                   "", "", 0, kWrittenShown);
    keys.AddString("LISTA_PRODUCTOS", Lines(&COrderLines::productsText), kNoWidth, "Productos", "",
                   "", 0, kWrittenShown);
    keys.AddString("LISTA_INFOS", Lines(&COrderLines::infosText), kNoWidth, "Infos", "", "", 0,
                   kWrittenShown);
    decimal("EXTRA_QUANTITY", Plan(&TOrderPlanFields::extraQuantity), 0, "OrderExtraQuantity", "",
            kShown, true);
    integer("TIENE_OTRO_PEDIDO_DE_REGRESO", Header(&TOrderLinesHeader::hasReturnOrder), 0,
            "TieneOtroPedidoDeRegreso", "", kWrittenShown);
    keys.AddString("PRODUCT_QUANTITIES_STRING", Lines(&COrderLines::productQuantitiesText),
                   width("PRODUCT_QUANTITIES_STRING"), "Products_Quantities_List",
                   "Products_Quantities_List_Explanation", "", 0, VAR_USE_SHOWN);
    flag("PUEDE_PARTIR", Header(&TOrderLinesHeader::maySplit), 0, "PuedePartir");
    keys.AddRequirements("ORDER_REQUIREMENTS", VarMember(&COrder::requirements), "", "", 0, kShown);
    keys.AddVariableOfKind("ORDER_INFORMATIVE_VALUES", VarMember(&COrder::informativeValues),
                           VAR_ORDER_INFO, "", "", 0, kShown);
    CSmartStringArray kindNames;
    COrder::GetOrderKindNames(kindNames);
    keys.AddEnum("ORDER_TYPE", Plan(&TOrderPlanFields::kind), kindNames, 0,
                 parameters.DeliveryProblem == 1 ? ORDER_COLLECTION : ORDER_DELIVERY, "ServiceType",
                 "", 0, kShown);
    keys.AddItemsVariable(
        "ALLOWED_AND_NON_RESOURCES", VAR_RESOURCE_PERMISSIONS,
        Names({"NON_ALLOWED_RESOURCES", "NON_ALLOWED_DRIVERS", "ALLOWED_RESOURCES",
               "ALLOWED_DRIVERS"}),
        kPermissionItems,
        VarField<COrder>([](COrder& o) -> CPermissionListsVariable& { return o; }),
        width("PRODUCTS"), "", "", 0, kReadWrite);
    keys.AddFloatList("ORDER_FIXED_FARES", VarMember(&COrder::fixedFares), "OrderFixCost", "", 0, 0,
                      kShown);
    keys.AddFloatList("ORDER_FIXED_FARES_RETURN", VarMember(&COrder::fixedReturnFares),
                      "OrderFixCostReturn", "", 0, 0, kShown);
    decimal("ORDER_FARE_KM_COST", Plan(&TOrderPlanFields::fareKmCost), 0, "OrderFareKmCost");
    decimal("ORDER_PAY_TO_DRIVER", Plan(&TOrderPlanFields::payToDriver), 0, "OrderPayToDriver");
    flag("NOTBESERVED_ALLOWED", Plan(&TOrderPlanFields::mayStayUnserved), 0, "NotBeServedAllowed");
    integer("ORDER_PRIORITY", Plan(&TOrderPlanFields::priority), 0, "OrderPriority");
    integer("ORDER_SERVED_FACTOR", Plan(&TOrderPlanFields::servedFactor), 0,
            "OrderServedPriorityFactor");
    flag("INVERT_CUSTOMERS", Plan(&TOrderPlanFields::invertCustomers), 0, "");
    flag("AUTO_ORDENAR_DESTINOS", Plan(&TOrderPlanFields::sortDestinations), 0, "");
    flag("AUTOFUSIONAR", Plan(&TOrderPlanFields::mergeAutomatically), 1, "Autofusionar");
    text("RELATION_CODE", RELATION_CODE, "RelationCode", "", kShown, width("RELATION_CODE"));
    integer("OBLIGATED_SAME_VEHICLE_TYPE", Plan(&TOrderPlanFields::sameVehicleType), 0,
            "ObligatedSameVehicleType", "", kShown, 0);
    integer("RELATION_CODE_ORDER", Plan(&TOrderPlanFields::relationPosition), -1,
            "RelationCodeOrder");
    integer("MIN_DAYS_BETWEEN_RELATIONED", Plan(&TOrderPlanFields::minimumDaysBetweenRelated), 0,
            "MinDaysBetweenRelationed");
    integer("MAX_DAYS_BETWEEN_RELATIONED", Plan(&TOrderPlanFields::maximumDaysBetweenRelated),
            10000, "MaxDaysBetweenRelationed");
    integer("MAX_TIME_FIRST_LAST", Plan(&TOrderPlanFields::maximumMinutesFirstToLast),
            parameters.TiempoMaximoReparto, "MaxTimeFirstLast");
    integer("TIME_TO_CHANGE_CITY", Plan(&TOrderPlanFields::minutesToChangeCity),
            parameters.TimeToChangeCity, "TimeToChangeCity");
    integer("ORDER_PENA_SERVICE_BEFORE", Plan(&TOrderPlanFields::penaltyEarlyService), 1,
            "PenaServiceBefore");
    integer("ORDER_PENA_SERVICE_AFTER", Plan(&TOrderPlanFields::penaltyLateService), 1,
            "PenaServiceAfter");
    integer("ORDER_AGRUPATION_CODE", Plan(&TOrderPlanFields::groupingCode), -1,
            "OrderAgrupationCode");
    text("PREFIXED_RESOURCE", PREFIXED_RESOURCE, "PrefixedResource", "", kShown,
         width("PREFIXED_RESOURCE"));
    flag("LOAD_UNLOAD_SAME_DAY", Plan(&TOrderPlanFields::loadUnloadSameDay),
         parameters.SchedulingTime == 1 ? 1 : 0, "LoadUnloadSameDay");
    flag("ALLOW_PAST_DATES", Plan(&TOrderPlanFields::allowPastDates), 0, "AllowPastDates");
    integer("ORDER_NUMBER_OF_LINES", Plan(&TOrderPlanFields::numberOfLines), -1,
            "OrderNumberOfLines", "", kShownSecond);
    flag("TIME_WINDOW_IS_ARRIVAL_AND_LEAVE", Plan(&TOrderPlanFields::windowIsArrivalAndLeave),
         parameters.TimeWindowsIsArrivalAndLeave, "TimeWindowIsArrivalAndLeave");
    text("ZONA_COMPATIBILIDAD", ZONA_COMPATIBILIDAD, "ZonaCompatibilidad", "", kShown,
         width("ZONA_COMPATIBILIDAD"));
    text("ZONA2", ZONA2, "Zona2", "", kShown, width("ZONA2"));
    text("GRUPO_ZONA", GRUPO_ZONA, "GrupoZona", "", kShown, width("GRUPO_ZONA"));
    keys.AddStringList("LISTA_ZONAS_INCOMPATIBILIDAD", VarMember(&COrder::incompatibleZones),
                       "ListaZonasIncompatibilidad", "", 0, kShown);
    decimal("ORDER_ZONA_SPEED_FACTOR", Plan(&TOrderPlanFields::zoneSpeedFactor), 1,
            "OrderZonaSpeedFactor");
    flag("CHECKED_BY_MANAGER", Plan(&TOrderPlanFields::checkedByManager), 0, "CheckedByManager");
    integer("MAX_CLIENTS", Plan(&TOrderPlanFields::maximumCustomers), 2147483647, "MaxClients", "",
            kShownSecond);
    integer("MAX_SPECIAL_CODES", Plan(&TOrderPlanFields::maximumSpecialCodes), 2147483647,
            "MaxSpecialCodes", "", kShownSecond);
    text("SPECIAL_CODE", SPECIAL_CODE, "SpecialCode", "", kShown, width("SPECIAL_CODE"));
    flag("ORDER_APPLY_MARGEN_LLENADO", Plan(&TOrderPlanFields::applyFillMargin), 1,
         "ApplyMargenLlenado");
    text("ORDER_FARE_ID", ORDER_FARE_ID, "Order_Fare_Id", "Order_Fare_Id_Explanation", kShown,
         kNoWidth);
    decimal("ORDER_PALLET_WEIGHT", Plan(&TOrderPlanFields::palletWeight), 0, "OrderPalletWeight");
    text("ZONA_PEAJE", ZONA_PEAJE, "ZonaPeaje", "", kShown, width("ZONA_PEAJE"));
    integer("ZONA_PEAJE_ID", Plan(&TOrderPlanFields::tollZoneIndex), 2147483647, "ZonaPeajeID", "",
            kShownSecond);
    decimal("PRECIO_PEAJE", Plan(&TOrderPlanFields::tollPrice), 0, "PrecioPeaje");
    text("SECCION_ORIGINAL", SECCION_ORIGINAL, "SeccionOrigen", "", kShown, kNoWidth);
    integer("ASSIGNED_CHANGED", Plan(&TOrderPlanFields::assignmentChanged), 0, "AssignedChanged");
    decimal("ORDER_DISTANCE_RETORNO_MAX", Plan(&TOrderPlanFields::maximumReturnDistance), 0.5f,
            "OrderDistanceRetornoMax");
    flag("NO_REDUCIR_CANTIDADES_SALIDA", Plan(&TOrderPlanFields::doNotReduceQuantities), 0,
         "NoReducirCantidades");
    flag("PRIORITARIO_REDUCIR_CANTIDADES_SALIDA", Plan(&TOrderPlanFields::reduceQuantitiesFirst), 0,
         "PrioritarioReducirCantidades");
    flag("LINEAS_ORDENADAS_POR_GENETICO", Plan(&TOrderPlanFields::linesOrderedBySortingEngine), 0,
         "LineasOrdenadasPorGenetico");
    decimal("KM_TO_WAREHOUSE", Plan(&TOrderPlanFields::kmToWarehouse), 0, "KmToWarehouse", "",
            kShown, true);
    integer("TIME_TO_WAREHOUSE", Plan(&TOrderPlanFields::minutesToWarehouse), 0, "TimeToWarehouse",
            "", kWrittenShown);
    decimal("TOTAL_QUANTITY_ZONE_AGRUPACION", Plan(&TOrderPlanFields::zoneGroupingQuantity), 0,
            "TotalQuantityZoneAgrupacion", "", kShown, true);
    decimal("TOTAL_QUANTITY_ZONE2_AGRUPACION", Plan(&TOrderPlanFields::secondZoneGroupingQuantity),
            0, "TotalQuantityZone2Agrupacion", "", kShown, true);
    flag("AUTOASIGNABLE", Plan(&TOrderPlanFields::autoAssignable), 1, "AutoAsignable");
    integer("AGRUPACION", Plan(&TOrderPlanFields::grouping), -1, "Agrupacion", "", kWrittenShown);
    flag("ROUNDTRIP", Plan(&TOrderPlanFields::roundTrip), 0, "RoundTrip");
    flag("PENALTY_BY_LOCATION", Plan(&TOrderPlanFields::penaltyByLocation), 0, "PenaltyByLocation");
    text("GROUPING_INDEX", GROUPING_INDEX, "GroupingIndex", "", kShown, kNoWidth);
    text("GROUPING_CODE_INDIVISIBLE", GROUPING_CODE_INDIVISIBLE, "GroupingCodeIndivisible", "",
         kShown, kNoWidth);
    flag("LAST_ORDER_OF_TRIP", Plan(&TOrderPlanFields::lastOrderOfTrip), 0, "LastOrderOfTrip");
    text("PLATAFORMA_DISTRIBUCION_CODE", PLATAFORMA_DISTRIBUCION_CODE, "PlataformaDistribucionCode",
         "", kShownSecond, width("PLATAFORMA_DISTRIBUCION_CODE"));
    decimal("PLATAFORMA_DISTRIBUCION_COST", Plan(&TOrderPlanFields::distributionPlatformCost), 0,
            "PlataformaDistribucionCost", "", kShown, true);
    decimal("KM_EXTRAS", Plan(&TOrderPlanFields::extraKm), 0, "KmExtras", "", kShown, true);
    keys.AddDuration("EXTRA_DRIVE_TIME", Plan(&TOrderPlanFields::extraDrivingMinutes), 0,
                     MinutesPerDay - 1, "ExtraDriveTime", "", 0, 0, kShownSecond);
    integer("UNLOAD_SPEED_INDEX", Plan(&TOrderPlanFields::unloadSpeedIndex), -1, "UnloadSpeedIndex",
            "", kShownSecond);
    flag("ORDER_ALREADY_EXPORTED", VarMember(&COrder::alreadyExported), 0, "AlreadyExportedOrder",
         "AlreadyExportedExplanation");
    integer("HORA_REAL_LLEGADA_MATADERO", VarMember(&COrder::realArrivalTime), -1,
            "HoraRealLlegadaMatadero", "", kShownSecond);
    keys.AddString("WEBFLEETID", VarMember(&COrder::fleetServiceId), 20, "IdWebfleet",
                   "IdWebFleetExplanation", "", 0, kShownSecond);
    ExplainByCaption(keys);
}

void InitOrderLineVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto width = [&](const char* key) { return catalogue.GetMaxChars(key); };
    auto text = [&](const char* key, std::string COrderLine::*member, const char* caption,
                    const char* explanation, int chars) {
        keys.AddString(key, VarMember(member), chars, caption, explanation, "", 0, kShown);
    };
    auto integer = [&](const char* key, int32_t COrderLine::*member, int defaultValue,
                       const char* caption) {
        keys.AddInt(key, VarMember(member), caption, "", defaultValue, 0, kShown);
    };
    auto decimal = [&](const char* key, float COrderLine::*member, const char* caption,
                       const char* explanation = "", int usage = kShown) {
        keys.AddFloat(key, VarMember(member), caption, explanation, 0, 0, 0, usage);
    };
    auto flag = [&](const char* key, int32_t COrderLine::*member, int defaultValue,
                    const char* caption) {
        keys.AddBool(key, VarMember(member), caption, "", defaultValue, 0, kShown);
    };
    const char* groupExplanation = "ProductIncompatibilityGroupExplanation";

    integer("PRODUCT_LINE_ID", &COrderLine::lineId, 0, "ProductLineID");
    text("PRODUCT_CODE", &COrderLine::productCode, "ProductCode", "", width("PRODUCT_CODE"));
    text("PRODUCT_NAME", &COrderLine::productName, "ProductName", "", width("PRODUCT_NAME"));
    text("PRODUCT_INFO", &COrderLine::productInfo, "ProductInfo", "", width("PRODUCT_INFO"));
    decimal("PRODUCT_QUANTITY", &COrderLine::quantity, "Quantity1", "Quantity1ServiceExplanation");
    decimal("PRODUCT_VOLUME", &COrderLine::volume, "Volume", "VolumeServiceExplanation");
    decimal("PRODUCT_SURFACE", &COrderLine::surface, "Surface", "SurfaceServiceExplanation");
    integer("PRODUCT_HEIGHT", &COrderLine::height, 0, "ProductHeight");
    integer("PRODUCT_LENGTH", &COrderLine::length, 0, "ProductLength");
    decimal("PRODUCT_ADJUSTED_QUANTITY", &COrderLine::adjustedQuantity,
            "CantidadAjustada_Sobrecarga", "", kWrittenShown);
    decimal("PRODUCT_ADJUSTED_VOLUME", &COrderLine::adjustedVolume, "VolumenAjustado_Sobrecarga",
            "", kWrittenShown);
    flag("PRODUCT_IN_BULK", &COrderLine::inBulk, 0, "ProductInBulk");
    flag("PRODUCT_MIX_BULK", &COrderLine::mixBulk, 0, "ProductMixBulk");
    integer("PRODUCT_TYPE", &COrderLine::productType, 0, "ProductType");
    text("PRODUCT_TYPE_GROUP", &COrderLine::typeGroup, "ProductTypeGroup", "", kNoWidth);
    text("PRODUCT_INCOMPATIBILITY_GROUP", &COrderLine::incompatibilityGroup,
         "ProductIncompatibilityGroup", "", kNoWidth);
    text("PRODUCT_CONDITIONED_INCOMPATIBILITY_GROUP_LAST_TRIP", &COrderLine::lastTripGroup,
         "ProductIncompatibilityGroupLastTrip", groupExplanation, kNoWidth);
    text("PRODUCT_CONDITIONED_INCOMPATIBILITY_GROUP_LAST_UNLOAD", &COrderLine::lastUnloadGroup,
         "ProductIncompatibilityGroupLastUnload", groupExplanation, kNoWidth);
    integer("PRODUCT_PRIORITY_COMPARTMENT", &COrderLine::compartmentPriority, 0,
            "ProductPriorityCompartment");
    integer("PRODUCT_PARTITION", &COrderLine::partition, 0, "ProductPartition");
    decimal("PRODUCT_PAY_TO_DRIVER", &COrderLine::payToDriver, "ProductPayToDriver");
    decimal("PRODUCT_MULTIPLICATIVE1", &COrderLine::factor, "Multiplicative1");
    decimal("PRODUCT_MULTIPLICATIVE_VOLUME", &COrderLine::volumeFactor, "MultiplicativeVolume");
    decimal("PRODUCT_NUMBER_OF_ITEMS", &COrderLine::items, "NumberOfItems");
    decimal("PRODUCT_ORIGINAL_NUMBER_OF_ITEMS", &COrderLine::firstItemCount,
            "OriginalNumberOfItems");
    keys.AddFloatList("PRODUCT_NUMBER_OF_ITEMS_PER_DAY", VarMember(&COrderLine::itemsPerDay),
                      "NumberOfItemsPerDay", "", 0, 0, kShown);
    keys.AddFloatList("PRODUCT_NUMBER_OF_SURFACES_PER_DAY", VarMember(&COrderLine::surfacesPerDay),
                      "NumberOfSurfacesPerDay", "", 0, 0, kShown);
    flag("QUANTITY_CHANGED_MANUALLY", &COrderLine::changedByHand, 0, "QuantityChangedManually");
    integer("PRODUCT_TIME_AT_WAREHOUSE", &COrderLine::minutesAtWarehouse, 0,
            "OrderLineTimeAtWarehouse");
    integer("PRODUCT_TIME_AT_CUSTOMER", &COrderLine::minutesAtCustomer, 0,
            "OrderLineTimeAtCustomer");
    keys.AddVariableOfKind("ORDER_LINE_INFORMATIVE_VALUES",
                           VarMember(&COrderLine::informativeValues), VAR_ORDER_LINE_INFO, "", "",
                           0, kShown);
    keys.AddStringList("PRODUCT_POSSIBLE_WAREHOUSES", VarMember(&COrderLine::possibleWarehouses),
                       "ProductPossibleWarehouses", "ProductPossibleWarehousesDescription", 0,
                       kShown);
    text("PRODUCT_AUX_STRING", &COrderLine::auxiliaryText, "ProductAuxString", "", kNoWidth);
    flag("PRODUCT_CUCHARABLE", &COrderLine::scoopable, 1, "ProductCucharable");
    integer("STOCK_PARA_AUTOASIGNABLE", &COrderLine::stockForAutoAssign, -1,
            "StockParaAutoAsignable");
    text("PRODUCT_LOAD_GROUP", &COrderLine::loadGroup, "ProductLoadGroup", "", kNoWidth);
    ExplainByCaption(keys);
}

void InitCustomerVariables(CTrevantorVariables& catalogue, CTrevantorVariablesKeys& keys)
{
    auto text = [&](const char* key, std::string TLocationData::*member, const char* caption,
                    int usage, const char* widthKey) {
        keys.AddString(key, Place(member), catalogue.GetMaxChars(widthKey), caption, "", "", 0,
                       usage);
    };
    auto integer = [&](const char* key, int32_t TLocationData::*member, int defaultValue,
                       const char* caption, const char* explanation, int usage) {
        keys.AddInt(key, Place(member), caption, explanation, defaultValue, 0, usage);
    };

    text("CUSTOMER_ID", &TLocationData::id, "", kReadWrite, "CUSTOMER_ID");
    text("CUSTOMER_CODE", &TLocationData::code, "CustomerCode", kShownSecond, "CUSTOMER_CODE");
    text("CUSTOMER_NAME", &TLocationData::name, "CustomerName", kShownSecond, "CUSTOMER_NAME");
    text("CUSTOMER_CITY", &TLocationData::city, "CustomerTown", kShownSecond, "CUSTOMER_CITY");
    text("CUSTOMER_CP", &TLocationData::postcode, "CustomerPostcode", kShownSecond, "CUSTOMER_CP");
    text("CUSTOMER_STREET", &TLocationData::street, "CustomerAddress1", kShownSecond,
         "CUSTOMER_STREET");
    integer("CUSTOMER_COUNTRY", &TLocationData::country, -1, "CustomerCountry", "", kShownSecond);
    integer("CUSTOMER_CLUSTER", &TLocationData::cluster, -1, "CustomerCluster", "", kShownSecond);
    keys.AddCoordinates("CUSTOMER_COORDINATES",
                        Names({"CUSTOMER_LONGITUDE", "CUSTOMER_LATITUDE", "CUSTOMER_HEIGHT"}),
                        Place(&TLocationData::coordinates), "Customer Coordinates",
                        "CustomerCoordinatesExplanation", 0, kShownSecond, 12345678);
    text("CUSTOMER_NODE_CODE", &TLocationData::nodeCode, "", kReadWrite, "CUSTOMER_NODE_CODE");
    integer("CUSTOMER_TIME", &TLocationData::serviceMinutes, kUnsetTime, "TimeInCustomerMin",
            "TimeInCustomerExplanation", kShownSecond);
    integer("CUSTOMER_PARKING_TIME", &TLocationData::parkingMinutes, 0, "ParkingTimeInCustomerMin",
            "ParkingTimeInCustomerExplanation", kShownSecond);
    text("CUSTOMER_FEEDBACK_CODE", &TLocationData::feedbackCode, "CustomerFeedbackCode", kReadWrite,
         "CUSTOMER_NODE_CODE");
    integer("CUSTOMER_INODENUMBER", &TLocationData::nodeIndex, -1, "", "", kReadWrite);
    text("CUSTOMER_PHONE_NUMBER", &TLocationData::phoneNumber, "CustomerPhoneNumber", kShownSecond,
         "CUSTOMER_PHONE_NUMBER");
    integer("CUSTOMER_PRODUCT_CHANGE_TIME", &TLocationData::productChangeMinutes, 0,
            "ProductChangeTimeInCustomerMin", "", kShownSecond);
    keys.AddTimeTable("CUSTOMER_TIMETABLE", Names({"CUSTOMER_START_TIME", "CUSTOMER_END_TIME"}),
                      VarTimeTableField<CCustomer>(
                          [](CCustomer& c) -> CTimeTable& { return c.location.openingHours; }),
                      "OpeningTimesCustomer", "", 0, kShownSecond, -MinutesPerDay, -1, -1);
    keys.AddInt("CUSTOMER_DIAS_APERTURA", VarField<CCustomer>([](CCustomer& c) -> int32_t& {
                    return c.location.openingHours.weekDayMask;
                }),
                "DiasApertura", "", 0, 0, kShownSecond);
    keys.AddTimeWindow("ASSIGNED_CUSTOMER_TIME_WINDOW",
                       Names({"ASSIGNED_CUSTOMER_START_TIME", "ASSIGNED_CUSTOMER_END_TIME"}),
                       VarTimeWindow(&CCustomer::assignedWindow), 0, kTimeStartMax, kTimeEndMax,
                       "AssignedCustomerTimes", "", 0, kShown, kUnsetTime);
    keys.AddTimeWindow("CUSTOMER_DELIVERY_TIME_WINDOW",
                       Names({"CUSTOMER_DELIVERY_START_TIME", "CUSTOMER_DELIVERY_END_TIME"}),
                       VarTimeWindowField<CCustomer>(
                           [](CCustomer& c) -> CTimeWindow& { return c.location.deliveryWindow; }),
                       -MinutesPerDay, kTimeStartMax, kTimeEndMax, "OpeningServiceTimeCustomer", "",
                       0, kShownSecond, kUnsetTime);
    ExplainByCaption(keys);
}
