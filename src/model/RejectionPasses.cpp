// The passes that turn the per-pair check into the tables the optimiser plans with, and the
// rules of related orders.

#include "KLV/Trace.h"
#include "KLV/Utils.h"
#include "model/LookupTables.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/Orders.h"
#include "model/Rejections.h"
#include "params/ParameterFiles.h"
#include "params/Parameters.h"
#include "platform/Profile.h"

namespace {

constexpr const char* SetMethod = "CRejections::SetRejections";
constexpr const char* InitMethod = "CRejections::InitRejections";

// An order already given to a row keeps only the reasons no assignment overrides.
constexpr uint32_t AssignedKeeps = REJECT_DEACTIVATED_ORDER | REJECT_NOT_LOCATED;
constexpr uint32_t PrefixedKeeps = AssignedKeeps | REJECT_ASSIGNED_OTHER;

bool LinksGroup(int relationType)
{
    return relationType == 1 || relationType == 3 || relationType == 5;
}

bool IsLooseRelation(int relationType)
{
    return relationType == 3 || relationType == 5;
}

const std::string& TrailerPlate(const CLorryDriver& pair)
{
    static const std::string empty;
    const CTrailer* trailer = pair.GetTrailer();
    return trailer ? trailer->plate : empty;
}

// The members of the order's relation group in index order; empty without a group.
std::vector<int> GroupMembers(const COrders& orders, int group)
{
    std::vector<int> members;
    if (group < 0)
        return members;
    for (int i = 0; i < orders.GetSize(); ++i)
        if (orders[i]->plan.relatedOrderIndex == group)
            members.push_back(i);
    return members;
}

// Every group's members by the index of its first order, built once for a pass over all orders.
std::vector<std::vector<int>> GroupsByLeader(const COrders& orders)
{
    std::vector<std::vector<int>> groups(static_cast<size_t>(orders.GetSize()));
    for (int i = 0; i < orders.GetSize(); ++i) {
        const int group = orders[i]->plan.relatedOrderIndex;
        if (group >= 0 && group < orders.GetSize())
            groups[static_cast<size_t>(group)].push_back(i);
    }
    return groups;
}

// A date that is not valid or not set never separates two orders.
bool EndsBefore(const trv::OleDate& end, const trv::OleDate& start)
{
    return !IsZeroDate(end) && !IsZeroDate(start) && end < start;
}

bool HasLocatedStart(const CLorryDriver& pair)
{
    const CTruck* truck = pair.GetTruck();
    return truck && truck->base.IsLocated();
}

bool Bit(const CBoolTable& table, int column, int row)
{
    return column >= 0 && row >= 0 && column < table.GetColumns() && row < table.GetRows() &&
           table.GetBit(column, row) != 0;
}

void PutBit(CBoolTable& table, int column, int row, bool set)
{
    if (column < 0 || row < 0 || column >= table.GetColumns() || row >= table.GetRows())
        return;
    if (set)
        table.SetBit(column, row);
    else
        table.ClearBit(column, row);
}

} // namespace

// ---- Adjusted masks and the possible resource -----------------------------------------------

uint32_t CRejections::AdjustedMask(const COrder& order, const CLorryDriver& pair,
                                   uint32_t mask) const
{
    const TOrderPlanFields& plan = order.plan;
    if (plan.assignedPairRow == pair.row) {
        if (plan.assignedDriverRow == -1)
            return mask & AssignedKeeps;
        const CLorriesDrivers& pairs = Resources().pairs;
        if (pair.driver && plan.assignedDriverRow >= 0 &&
            plan.assignedDriverRow < pairs.GetSize() &&
            pairs[plan.assignedDriverRow]->driver == pair.driver)
            return mask & AssignedKeeps;
    }
    const std::string& prefixed = order.Text(PREFIXED_RESOURCE);
    if (UserParameters().RespectPreFixedResource != 0 && !prefixed.empty() &&
        prefixed == TrailerPlate(pair) && pair.flags == 0)
        return mask & PrefixedKeeps;
    return mask;
}

bool CRejections::IsRowLocatedFor(int order, int row) const
{
    const CLorriesDrivers& pairs = Resources().pairs;
    return row >= 0 && row < pairs.GetSize() && HasLocatedStart(*pairs[row]) &&
           !Bit(m_allRejections, order, row);
}

int CRejections::FindCompatibleDriverRow(int row, int order) const
{
    const CDriverVehicleMatrix* matrix = Resources().driverVehicleMatrix;
    if (!matrix)
        return -1;
    const CLorriesDrivers& pairs = Resources().pairs;
    for (int candidate = 0; candidate < pairs.GetSize(); ++candidate)
        if (pairs[candidate]->driver && matrix->MayDrive(candidate, row) &&
            !Bit(m_driverRejections, order, candidate))
            return candidate;
    return -1;
}

bool CRejections::CanRowServeOrder(int order, int row, int driverRow)
{
    if (!IsRowLocatedFor(order, row))
        return false;
    const CLorryDriver& pair = *Resources().pairs[row];
    const COrder& served = *ModelContext().orders[order];
    if (pair.flags & PAIR_WAREHOUSE_REJECTED) {
        const std::string& prefixed = served.Text(PREFIXED_RESOURCE);
        return !prefixed.empty() &&
               Resources().pairs.FindByTrailerPlate(prefixed, 0, -2, true) == row;
    }
    if (pair.driver)
        return true;
    if (served.plan.assignedDriverRow != -1)
        return driverRow == served.plan.assignedDriverRow;
    return driverRow == FindCompatibleDriverRow(row, order);
}

bool CRejections::CanServeRelated(int row, int driverRow, int order)
{
    const COrders& orders = ModelContext().orders;
    const COrder& served = *orders[order];
    if (served.plan.relatedOrderIndex < 0 || !LinksGroup(served.plan.sameVehicleType))
        return true;
    const CLorriesDrivers& pairs = Resources().pairs;
    const CTruck* truck = row >= 0 && row < pairs.GetSize() ? pairs[row]->GetTruck() : nullptr;
    for (const int member : GroupMembers(orders, served.plan.relatedOrderIndex)) {
        if (member == order || orders[member]->plan.deactivated)
            continue;
        bool ok = CanRowServeOrder(member, row, driverRow);
        // Orders that must share a truck may still go on another lorry of that truck.
        if (!ok && served.plan.sameVehicleType == 1 && truck) {
            const int memberDriverRow = orders[member]->plan.assignedDriverRow;
            for (int other = 0; other < pairs.GetSize() && !ok; ++other)
                if (pairs[other]->GetTruck() == truck)
                    ok = CanRowServeOrder(member, other, memberDriverRow);
        }
        if (!ok)
            return false;
    }
    return true;
}

void CRejections::FindPossibleResource(int order, std::vector<int>& unlinkList)
{
    COrder& served = *ModelContext().orders[order];
    const CLorriesDrivers& pairs = Resources().pairs;
    int candidateRow = -1;
    int candidateDriverRow = -1;
    auto found = [&](int row, int driverRow) {
        served.plan.possibleRow = row;
        served.plan.possibleDriverRow = driverRow;
    };

    const std::string& prefixed = served.Text(PREFIXED_RESOURCE);
    const int prefixedRow = prefixed.empty() ? -1 : pairs.FindByTrailerPlate(prefixed, 0, -2, true);
    if (prefixedRow >= 0 && IsRowLocatedFor(order, prefixedRow)) {
        if (CanServeRelated(prefixedRow, prefixedRow, order))
            return found(prefixedRow, prefixedRow);
        candidateRow = candidateDriverRow = prefixedRow;
    }
    for (int row = 0; row < pairs.GetSize(); ++row) {
        const CLorryDriver& pair = *pairs[row];
        const CTrailer* trailer = pair.GetTrailer();
        if (!pair.lorry || (trailer && trailer->towedClass != 0))
            continue;
        if (!IsRowLocatedFor(order, row) || (pair.flags & PAIR_WAREHOUSE_REJECTED) ||
            Bit(m_driverRejections, order, row))
            continue;
        int driverRow = row;
        if (!pair.driver) {
            if (served.plan.assignedDriverRow != -1)
                return found(row, served.plan.assignedDriverRow);
            driverRow = FindCompatibleDriverRow(row, order);
            if (driverRow == -1)
                continue;
        }
        if (CanServeRelated(row, driverRow, order))
            return found(row, driverRow);
        if (candidateRow == -1) {
            candidateRow = row;
            candidateDriverRow = driverRow;
        }
    }
    found(candidateRow, candidateDriverRow);
    // It could be served, but not together with its group.
    if (!served.plan.deactivated && served.plan.relatedOrderIndex >= 0 && candidateRow != -1 &&
        LinksGroup(served.plan.sameVehicleType))
        unlinkList.push_back(order);
}

bool CRejections::IsOrderNotServable(int order) const
{
    const COrders& orders = ModelContext().orders;
    if (order < 0 || order >= orders.GetSize())
        return false;
    if (CheckNotLocated(*orders[order]) & (REJECT_ORDER_NOT_LOCATED | REJECT_WAREHOUSE_NOT_LOCATED))
        return true;
    const CLorriesDrivers& pairs = Resources().pairs;
    if (pairs.GetSize() == 0)
        return false;
    for (const CLorryDriver* pair : pairs)
        if (!pair->IsNotLocated())
            return false;
    return true;
}

// ---- Relation groups ------------------------------------------------------------------------

void CRejections::UnlinkRelationGroup(int order)
{
    COrders& orders = ModelContext().orders;
    const int leader = orders[order]->plan.relatedOrderIndex;
    if (leader < 0 || leader >= orders.GetSize())
        return;
    const int leaderKind = orders[leader]->plan.kind;
    for (const int member : GroupMembers(orders, leader)) {
        TOrderPlanFields& plan = orders[member]->plan;
        if (!IsLooseRelation(plan.sameVehicleType) || plan.deactivated || plan.kind != leaderKind)
            continue;
        plan.sameVehicleType += 1; // 3 becomes 4, 5 becomes 6
    }
}

void CRejections::CompruebaRelacionados(int order)
{
    COrders& orders = ModelContext().orders;
    const int rows = Resources().pairs.GetSize();
    if (rows == 0 || order >= orders.GetSize())
        return;
    std::vector<bool> listed(static_cast<size_t>(orders.GetSize()), false);
    bool anyListed = false;
    const int first = order < 0 ? 0 : order;
    const int last = order < 0 ? orders.GetSize() - 1 : order;
    const std::vector<std::vector<int>> groups =
        order < 0 ? GroupsByLeader(orders) : std::vector<std::vector<int>>();
    for (int i = first; i <= last; ++i) {
        const TOrderPlanFields& plan = orders[i]->plan;
        if (plan.deactivated || !LinksGroup(plan.sameVehicleType) || plan.relatedOrderIndex < 0 ||
            plan.relatedOrderIndex >= orders.GetSize())
            continue;
        const std::vector<int> members = order < 0
                                             ? groups[static_cast<size_t>(plan.relatedOrderIndex)]
                                             : GroupMembers(orders, plan.relatedOrderIndex);
        for (const int j : members) {
            const TOrderPlanFields& other = orders[j]->plan;
            if (j == i || other.deactivated)
                continue;
            bool compatible = false;
            for (int row = 0; row < rows && !compatible; ++row)
                compatible = GetRejectionMask(i, row, false, false) == 0 &&
                             GetRejectionMask(j, row, false, false) == 0;
            if (compatible && IsLooseRelation(plan.sameVehicleType))
                compatible = !EndsBefore(plan.toDay, other.fromDay) &&
                             !EndsBefore(other.toDay, plan.fromDay);
            if (!compatible) {
                listed[static_cast<size_t>(i)] = listed[static_cast<size_t>(j)] = true;
                anyListed = true;
            }
        }
    }
    if (!anyListed)
        return;
    for (int k = 0; k < orders.GetSize(); ++k) {
        if (!listed[static_cast<size_t>(k)])
            continue;
        UnlinkRelationGroup(k);
        orders[k]->lines.header.hasReturnOrder = 0;
    }
}

bool CRejections::GroupFitsTogether(int order)
{
    const CLorriesDrivers& pairs = Resources().pairs;
    if (pairs.GetSize() == 0)
        return true;
    const COrders& orders = ModelContext().orders;
    const std::vector<int> members = GroupMembers(orders, orders[order]->plan.relatedOrderIndex);
    if (members.empty())
        return true;
    const int groupKind = orders[members.front()]->plan.kind;
    const CUserParameters& parameters = UserParameters();
    static const float none[3] = {0, 0, 0};

    for (int row = 0; row < pairs.GetSize(); ++row) {
        const CLorryDriver& pair = *pairs[row];
        if (pair.flags != 0 || !pair.lorry || !HasLocatedStart(pair))
            continue;
        const CTrailer* trailer = pair.GetTrailer();
        if (trailer)
            m_gene->ClearUnfixedTankLoads(*trailer);
        float sums[3] = {0, 0, 0};
        CTruckOrderLines onBoard;
        bool rejected = false;
        for (const int member : members) {
            const COrder& grouped = *orders[member];
            const TOrderPlanFields& plan = grouped.plan;
            if (plan.deactivated || plan.mayStayUnserved || plan.sameVehicleType < 3 ||
                plan.sameVehicleType > 6 || plan.kind != groupKind)
                continue;
            if (Bit(m_allRejections, member, row)) {
                rejected = true;
                break;
            }
            // Lines with quantities per day count with the first day the first line loads.
            int day = -1;
            if (grouped.lines.GetSize() > 0 && grouped.lines[0]->quantitiesPerDay.GetSize() > 0) {
                const CSmartFloatArray& firstLine = grouped.lines[0]->quantitiesPerDay;
                for (int d = 0; d < firstLine.GetSize() && day < 0; ++d)
                    if (firstLine[d] > 0)
                        day = d;
                if (day < 0)
                    return false;
            }
            for (const COrderLine* line : grouped.lines) {
                if (line->volume == 0)
                    continue;
                auto ofDay = [day](const CSmartFloatArray& values, float whole) {
                    return day < 0 ? whole : (day < values.GetSize() ? values[day] : 0.0f);
                };
                const float volume = ofDay(line->volumesPerDay, line->volume);
                sums[0] += ofDay(line->quantitiesPerDay, line->quantity);
                sums[1] += volume;
                sums[2] += ofDay(line->surfacesPerDay, line->surface);
                onBoard.AddLine(line, volume);
            }
            if (trailer)
                m_gene->LoadVehicleLinesIntoTanks(*trailer, onBoard, trailer->mixBulk != 0);
        }
        if (rejected)
            continue;
        const float* capacity = trailer ? trailer->overloadedCapacity : none;
        if (sums[0] > capacity[0] || sums[1] > capacity[1] || sums[2] > capacity[2])
            continue;
        if (parameters.Tanks != 0 && trailer && trailer->inBulk &&
            !m_gene->LoadOrderInTanks(*trailer, onBoard))
            continue;
        return true;
    }
    return false;
}

void CRejections::PreferenciarPedidosQueNoCabenJuntos()
{
    CModelContext& context = ModelContext();
    COrders& orders = context.orders;
    bool codesChanged = false;
    // Rewriting codes leaves the groups as they are until the list is derived again.
    const std::vector<std::vector<int>> groups = GroupsByLeader(orders);
    for (int i = 0; i < orders.GetSize(); ++i) {
        const TOrderPlanFields& plan = orders[i]->plan;
        if (plan.relatedOrderIndex < 0 || plan.relatedOrderIndex >= orders.GetSize() ||
            !IsLooseRelation(plan.sameVehicleType))
            continue;
        const std::vector<int>& members = groups[static_cast<size_t>(plan.relatedOrderIndex)];
        int typeGroup = 0;
        int groupingIndex = 0;
        bool differ = false;
        for (const int member : members) {
            const int memberTypeGroup = orders[member]->lines.header.commonTypeGroup;
            const int memberGrouping = orders[member]->plan.groupingIndex;
            if (memberTypeGroup > 0) {
                differ = differ || (typeGroup > 0 && typeGroup != memberTypeGroup);
                typeGroup = memberTypeGroup;
            }
            if (memberGrouping > 0) {
                differ = differ || (groupingIndex > 0 && groupingIndex != memberGrouping);
                groupingIndex = memberGrouping;
            }
        }
        if (differ) {
            for (const int member : members) {
                COrder& rewritten = *orders[member];
                rewritten.Text(RELATION_CODE) = trv::FormatC(
                    "%s-%d-%d", rewritten.Text(RELATION_CODE).c_str(), rewritten.plan.groupingIndex,
                    rewritten.lines.header.commonTypeGroup);
            }
            codesChanged = true;
        }
        if ((plan.kind == ORDER_DELIVERY || plan.kind == ORDER_COLLECTION) && !GroupFitsTogether(i))
            UnlinkRelationGroup(i);
    }
    if (!codesChanged)
        return;
    if (context.rederiveOrderList) {
        context.rederiveOrderList();
    } else {
        for (COrder* order : orders)
            order->CalculateFields(context.planningDate, true, false, false, nullptr);
    }
    m_gene->CollectRelationGroups();
}

void CRejections::ApplyRelatedRejections()
{
    const COrders& orders = ModelContext().orders;
    const int count = std::min(orders.GetSize(), m_orders);
    const std::vector<std::vector<int>> groups = GroupsByLeader(orders);
    for (int i = 0; i < count; ++i) {
        const int group = orders[i]->plan.relatedOrderIndex;
        if (group < 0 || group >= orders.GetSize())
            continue;
        const std::vector<int>& members = groups[static_cast<size_t>(group)];
        const int groupKind = orders[members.front()]->plan.kind;
        for (const int s : members) {
            const TOrderPlanFields& plan = orders[s]->plan;
            if (s == i || s >= count || !IsLooseRelation(plan.sameVehicleType) ||
                plan.deactivated || plan.kind != groupKind)
                continue;
            for (int row = 0; row < m_rows; ++row)
                if (Bit(m_allRejections, s, row))
                    m_allRejections.SetBit(i, row);
        }
    }
}

void CRejections::DeactivateWareHouseRejectedLorries()
{
    CLorriesDrivers& pairs = Resources().pairs;
    const bool tableExists = m_warehouses > 0 && m_wareHouseRejections.GetRows() > 0;
    for (CLorryDriver* pair : pairs) {
        bool rejectsAll = tableExists;
        for (int w = 0; w < m_warehouses && rejectsAll; ++w)
            rejectsAll = IsWarehouseRejected(pair->row, w);
        pair->flags = rejectsAll ? (pair->flags | PAIR_WAREHOUSE_REJECTED)
                                 : (pair->flags & ~PAIR_WAREHOUSE_REJECTED);
        pair->deactivated = (pair->flags & PAIR_DEACTIVATED) ? 1 : 0;
        pair->frozen = (pair->flags & PAIR_FROZEN) ? 1 : 0;
        pair->warehouseRejected = (pair->flags & PAIR_WAREHOUSE_REJECTED) ? 1 : 0;
    }
    // Once for all rows: the drivers read every pair's flags.
    for (CLorryDriver* pair : pairs)
        if (pair->driver)
            pair->driver->CalculateFields(pair->row);
}

// ---- The passes -----------------------------------------------------------------------------

int CRejections::SetRejections(bool report, int orderFilter, int rowFilter, bool splitGroups)
{
    CModelContext& context = ModelContext();
    COrders& orders = context.orders;
    CLorriesDrivers& pairs = Resources().pairs;
    const CListaCondicionantes& definitions = context.requirementDefinitions;

    TRV_TRACE(2, SetMethod, "Entro en la funcion SetRejections");
    m_foundRejection = false;
    std::vector<int> listed;
    if (orderFilter == -1 && rowFilter == -1) {
        m_allRejections.ClearAll();
        m_driverRejections.ClearAll();
        m_masks.clear();
    }
    if (report)
        listed.reserve(static_cast<size_t>(orders.GetSize()));
    m_notLocatedOrders.clear();

    TRV_TRACE(2, SetMethod, "Antes del bucle por warehouses");
    const CWareHouses& wareHouses = context.wareHouses;
    const int warehouses = std::min(m_warehouses, wareHouses.GetSize());
    for (int w = 0; w < warehouses; ++w)
        for (const CLorryDriver* pair : pairs)
            PutBit(m_wareHouseRejections, w, pair->row,
                   definitions.CompareValues(pair->requirements, wareHouses[w]->requirements, false,
                                             false, true) != 0);
    TRV_TRACE(2, SetMethod, "Antes del DeactivateWareHouseRejectedLorries");
    DeactivateWareHouseRejectedLorries();

    TRV_TRACE(2, SetMethod, "Antes del bucle por orders");
    const int orderCount = std::min(m_orders, orders.GetSize());
    const int rowCount = std::min(m_rows, pairs.GetSize());
    const size_t cells = static_cast<size_t>(m_rows) * static_cast<size_t>(m_orders);
    if (m_masks.size() < cells)
        m_masks.resize(cells, 0);
    if (m_preferent.size() < cells)
        m_preferent.resize(cells, 0);
    if (m_secondPreferent.size() < cells)
        m_secondPreferent.resize(cells, 0);
    for (int i = 0; i < orderCount; ++i) {
        if (orderFilter != -1 && orderFilter != i)
            continue;
        COrder& order = *orders[i];
        int accepting = 0;
        bool examined = false;
        for (int r = 0; r < rowCount; ++r) {
            if (rowFilter != -1 && rowFilter != r)
                continue;
            examined = true;
            const CLorryDriver& pair = *pairs[r];
            const uint32_t mask = ComputeRejectionMask(order, pair, false, true, true, 0);
            if (mask != 0)
                m_foundRejection = true;
            const bool rejected = AdjustedMask(order, pair, mask) != 0;
            PutBit(m_allRejections, i, r, rejected);
            if (!rejected)
                ++accepting;
            const size_t index =
                static_cast<size_t>(r) * static_cast<size_t>(m_orders) + static_cast<size_t>(i);
            m_preferent[index] = definitions.CompareValues(pair.requirements, order.requirements,
                                                           true, false, false);
            m_secondPreferent[index] =
                definitions.CompareValues(pair.requirements, order.requirements, true, true, false);
            m_masks[index] = mask;
            bool driverRejected = definitions.CompareValues(pair.requirements, order.requirements,
                                                            false, true, false) != 0;
            if (!driverRejected && order.plan.assignedDriverRow != -1 && pair.driver)
                driverRejected = pair.driver->pairRow != order.plan.assignedDriverRow;
            PutBit(m_driverRejections, i, r, driverRejected);
        }
        if (examined)
            order.plan.acceptingRows = accepting;
    }

    TRV_TRACE(2, SetMethod, "Antes del CompruebaRelacionados");
    CompruebaRelacionados(-1);
    TRV_TRACE(2, SetMethod, "Antes del PreferenciarPedidosQueNoCabenJuntos");
    if (splitGroups)
        PreferenciarPedidosQueNoCabenJuntos();
    ApplyRelatedRejections();

    TRV_TRACE(2, SetMethod, "Antes del segundo bucle por orders");
    std::vector<int> unlinkList;
    bool anyNonPossible = false;
    bool filteredNonPossible = false;
    for (int i = 0; i < orders.GetSize(); ++i) {
        FindPossibleResource(i, unlinkList);
        const bool notLocated = IsOrderNotServable(i);
        const COrder& order = *orders[i];
        if (notLocated) {
            m_notLocatedOrders.push_back(i);
            if (context.runningPlan)
                TRV_TRACE(2, SetMethod,
                          "El pedido %d con código %s no se puede servir por bNotLocated", i,
                          order.Text(ORDER_CODE).c_str());
        }
        if ((notLocated || order.plan.possibleRow == -1) && report) {
            TRV_TRACE(2, SetMethod,
                      "El pedido %d con código %s no se puede servir por rechazo con todos los "
                      "recursos",
                      i, order.Text(ORDER_CODE).c_str());
            anyNonPossible = true;
            if (orderFilter == -1 || orderFilter == i)
                listed.push_back(i);
            if (orderFilter == i)
                filteredNonPossible = true;
        }
    }
    TRV_TRACE(2, SetMethod, "Antes del segundo bucle por ListaDesrelacionados");
    for (const int i : unlinkList) {
        orders[i]->plan.unlinkedMark = 1;
        orders[i]->plan.relatedOrderIndex = -1;
    }
    TRV_TRACE(2, SetMethod, "Antes del DeactivateNotLocatedLorries");

    const bool cancelled = ShowNonPossible(report, anyNonPossible, !m_notLocatedOrders.empty(),
                                           orderFilter, filteredNonPossible, listed);
    SendNonPossibleMail(report, anyNonPossible);
    TRV_TRACE(2, SetMethod, "Salgo de la funcion SetRejections");
    return cancelled ? 0 : 1;
}

bool CRejections::ShowNonPossible(bool report, bool anyNonPossible, bool anyNotLocated,
                                  int orderFilter, bool filteredNonPossible,
                                  const std::vector<int>& listed)
{
    CModelContext& context = ModelContext();
    const int showSetting =
        trv::GetProfileInt("Parameters", "ShowNonPossibleDlg", 1, ParamsFilePath);
    if (!report || !anyNonPossible || context.batchMode || (showSetting & 1) == 0 ||
        (!anyNotLocated && m_dialogShown))
        return false;
    CNonPossibleDialog* dialog = context.nonPossibleDialog;
    // Headless there is nobody to show it to.
    if (!dialog)
        return false;
    TRV_TRACE(2, SetMethod, "Antes de mostrar el diálogo de non possible");
    m_dialogShown = true;
    bool cancelled = false;
    if (orderFilter == -1)
        cancelled = dialog->Show(listed, false);
    else if (filteredNonPossible)
        dialog->Show(listed, true);
    TRV_TRACE(2, SetMethod, "Después de mostrar el diálogo de non possible");
    return cancelled;
}

void CRejections::SendNonPossibleMail(bool report, bool anyNonPossible)
{
    CModelContext& context = ModelContext();
    TRV_TRACE(2, SetMethod,
              "Antes del si hubieramos tenido que mostrar una pantalla de error mandamos un "
              "correo.");
    if (!report || !context.batchMode)
        return;
    if (!anyNonPossible) {
        context.errorMailArmed = true;
        return;
    }
    if (!context.errorMailArmed)
        return;
    if (context.sendMail)
        context.sendMail(2);
    context.errorMailArmed = false;
}

int CRejections::InitRejections(int orders, int rows, int warehouses, bool force, bool report,
                                bool splitGroups)
{
    TRV_TRACE(2, InitMethod, "Entro en la funcion InitRejections");
    if (force || !m_tablesAllocated || orders != m_orders || rows != m_rows) {
        if (orders > 0 && rows > 0) {
            TRV_TRACE(2, InitMethod, "Antes de BackupUserRejections");
            BackupUserRejections();
        }
        m_userRejections = CBoolTable();
        m_allRejections = CBoolTable();
        m_driverRejections = CBoolTable();
        m_wareHouseRejections = CBoolTable();
        m_tablesAllocated = false;
        m_masks.clear();
        m_preferent.clear();
        m_secondPreferent.clear();
        m_orders = std::max(orders, 0);
        m_rows = std::max(rows, 0);
        if (m_orders > 0 && m_rows > 0) {
            TRV_TRACE(2, InitMethod, "Antes de UserRejections.Create");
            m_userRejections.Create(m_orders, m_rows);
            TRV_TRACE(2, InitMethod, "Antes de AllRejections.Create");
            m_allRejections.Create(m_orders, m_rows);
            TRV_TRACE(2, InitMethod, "Antes de DriverRejections.Create");
            m_driverRejections.Create(m_orders, m_rows);
            m_tablesAllocated = true;
        }
        if (trv::ProvinceNeighbours().GetRows() != ProvinceCount)
            BuildProvinceNeighbours();
        if (trv::PortugalProvinces().GetRows() != 1)
            BuildPortugalProvinces();
        const size_t cells = static_cast<size_t>(m_rows) * static_cast<size_t>(m_orders);
        TRV_TRACE(2, InitMethod, "Antes de Rejections.SetSize");
        m_masks.assign(cells, 0);
        TRV_TRACE(2, InitMethod, "Antes de PreferentRejections.SetSize");
        m_preferent.assign(cells, 0);
        m_secondPreferent.assign(cells, 0);
    }
    if (force || m_wareHouseRejections.GetRows() == 0 || warehouses != m_warehouses ||
        rows != m_warehouseRows) {
        TRV_TRACE(2, InitMethod, "Dentro del if de warehouses");
        m_warehouses = std::max(warehouses, 0);
        m_warehouseRows = std::max(rows, 0);
        m_wareHouseRejections = CBoolTable();
        if (m_warehouses > 0 && m_warehouseRows > 0) {
            TRV_TRACE(2, InitMethod, "Antes del WareHouseRejections.Create");
            m_wareHouseRejections.Create(m_warehouses, m_warehouseRows);
        }
    }
    TRV_TRACE(2, InitMethod, "Antes del pGenito->ResetInitialData");
    m_gene->ResetInitialData();
    TRV_TRACE(2, InitMethod, "Antes del RestoreUserRejections");
    RestoreUserRejections();
    // Orders and pairs ask these tables from now on.
    Install();
    TRV_TRACE(2, InitMethod, "Salgo de la funcion InitRejections");
    return SetRejections(report, -1, -1, splitGroups);
}
