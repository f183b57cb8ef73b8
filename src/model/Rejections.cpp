#include "model/Rejections.h"

#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/Orders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The reasons in the order their texts are listed, with their one-vehicle key (null when the
// reason has none) and their all-vehicles key.
struct TReasonText
{
    uint32_t bit;
    const char* oneVehicleKey;
    const char* allVehiclesKey;
};

constexpr TReasonText ReasonTexts[] = {
    {REJECT_USER, "UserRejectionThisVehicle", "UserRejection"},
    {REJECT_DEACTIVATED_LORRY, "DeactivatedLorryRejection", "DeactivatedLorriesRejection"},
    {REJECT_FROZEN_LORRY, "FrozenLorryRejection", "FrozenLorriesRejection"},
    {REJECT_NO_FIT, "NoFitThisVehicle", "NoFit"},
    {REJECT_DEACTIVATED_ORDER, nullptr, "DeactivatedOrderRejection"},
    {REJECT_OUT_OF_DATE, "NonVehiclesDateThisVehicle", "NonVehiclesDate"},
    {REJECT_OUT_OF_TIME, "NonVehiclesTimeThisVehicle", "NonVehiclesTime"},
    {REJECT_ORDER_NOT_LOCATED, nullptr, "NotLocatedOrder"},
    {REJECT_WAREHOUSE_NOT_LOCATED, nullptr, "NotLocatedWarehouse"},
    {REJECT_LORRY_NOT_LOCATED, "NotLocatedLorry", "NotLocatedLorries"},
    {REJECT_PRODUCT_TYPES, nullptr, "IncompatibleProductTypes"},
    {REJECT_TRANSPORT_CARD, nullptr, "TransportCardRejection"},
    {REJECT_ALLOWED_DRIVER, "AllowedDriverNotMatch", "AllowedDriverNotMatchAll"},
    {REJECT_ALLOWED_RESOURCE, "AllowedResourceNotMatch", "AllowedResourceNotMatchAll"},
    {REJECT_NON_ALLOWED_DRIVER, "NonAllowedDriverMatch", "NonAllowedDriverMatchAll"},
    {REJECT_NON_ALLOWED_RESOURCE, "NonAllowedResourceMatch", "NonAllowedResourceMatchAll"},
    {REJECT_ASSIGNED_OTHER, nullptr, "AssignedOtherResource"},
    {REJECT_PREFIXED_RESOURCE, "PrefixedResourceNotMatch", "PrefixedResourceNotMatchAll"},
    {REJECT_WAREHOUSE_REJECTED, "OrderWarehouseRejectedResource",
     "OrderWarehouseRejectedAllResources"},
};

bool CoversCell(const CBoolTable& table, int column, int row)
{
    return column >= 0 && row >= 0 && column < table.GetColumns() && row < table.GetRows();
}

void TrimTrailingBlanks(std::string& text)
{
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
}

// A mask array with one more order column: every cell moves to its new index, the new
// column's cells are 0. Cells the array does not hold stay out of it.
template <class Cell>
void InsertMaskColumn(std::vector<Cell>& cells, int orders, int rows, int column)
{
    std::vector<Cell> grown;
    grown.reserve(static_cast<size_t>(rows) * static_cast<size_t>(orders + 1));
    for (size_t index = 0; index < cells.size(); ++index) {
        const int order = static_cast<int>(index % static_cast<size_t>(orders));
        if (order == column)
            grown.push_back(0);
        grown.push_back(cells[index]);
        if (order == orders - 1 && column == orders)
            grown.push_back(0);
    }
    cells = std::move(grown);
}

template <class Cell> void RemoveMaskColumn(std::vector<Cell>& cells, int orders, int column)
{
    std::vector<Cell> kept;
    kept.reserve(cells.size());
    for (size_t index = 0; index < cells.size(); ++index)
        if (static_cast<int>(index % static_cast<size_t>(orders)) != column)
            kept.push_back(cells[index]);
    cells = std::move(kept);
}

template <class Cell> void InsertMaskRow(std::vector<Cell>& cells, int orders, int row)
{
    const size_t position = static_cast<size_t>(row) * static_cast<size_t>(orders);
    if (position <= cells.size())
        cells.insert(cells.begin() + static_cast<std::ptrdiff_t>(position),
                     static_cast<size_t>(orders), Cell{0});
}

template <class Cell> void RemoveMaskRow(std::vector<Cell>& cells, int orders, int row)
{
    const size_t first = std::min(cells.size(), static_cast<size_t>(row) * orders);
    const size_t last = std::min(cells.size(), first + static_cast<size_t>(orders));
    cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(first),
                cells.begin() + static_cast<std::ptrdiff_t>(last));
}

// The fleet outlives a plan's model: it asks whichever rejection tables the context holds now.
class CContextWarehouseRejections : public CPairWarehouseRejections
{
  public:
    int GetWarehouseCount() const override
    {
        const CRejections& rejections = ModelContext().rejectionModel;
        return rejections.GetWareHouseRejections().GetRows() > 0 ? rejections.GetWarehouseCount()
                                                                 : 0;
    }
    bool IsRejected(int pairRow, int warehouse) const override
    {
        const CBoolTable& table = ModelContext().rejectionModel.GetWareHouseRejections();
        return CoversCell(table, warehouse, pairRow) && table.GetBit(warehouse, pairRow) != 0;
    }
};

} // namespace

CRejections::CRejections() : m_gene(std::make_unique<CRejectionGene>()) {}

CRejections::~CRejections() = default;

void CRejections::SetGene(std::unique_ptr<CRejectionGene> gene)
{
    m_gene = gene ? std::move(gene) : std::make_unique<CRejectionGene>();
}

void CRejections::Install()
{
    static const CContextWarehouseRejections warehouseRejections;
    ModelContext().rejections = &m_answers;
    ModelContext().stopRejections = &m_answers;
    Resources().warehouseRejections = &warehouseRejections;
}

// ---- Masks ----------------------------------------------------------------------------------

uint32_t CRejections::GetRejectionMask(int order, int row, bool dropUserBit, bool keepNotLocated)
{
    // An order beyond the stored columns would read another pair's cell.
    if (order >= 0 && row >= 0 && order < m_orders) {
        const size_t index =
            static_cast<size_t>(row) * static_cast<size_t>(m_orders) + static_cast<size_t>(order);
        if (index < m_masks.size()) {
            uint32_t mask = m_masks[index];
            if (!keepNotLocated)
                mask &= ~REJECT_NOT_LOCATED;
            if (dropUserBit)
                mask &= ~REJECT_USER;
            return mask;
        }
    }
    return ComputeRejectionMask(order, row, dropUserBit, keepNotLocated, true, 0);
}

int CRejections::GetPreferentRejection(int order, int row) const
{
    const size_t index =
        static_cast<size_t>(row) * static_cast<size_t>(m_orders) + static_cast<size_t>(order);
    return order >= 0 && row >= 0 && order < m_orders && index < m_preferent.size()
               ? m_preferent[index]
               : 0;
}

int CRejections::GetSecondPreferentRejection(int order, int row) const
{
    const size_t index =
        static_cast<size_t>(row) * static_cast<size_t>(m_orders) + static_cast<size_t>(order);
    return order >= 0 && row >= 0 && order < m_orders && index < m_secondPreferent.size()
               ? m_secondPreferent[index]
               : 0;
}

bool CRejections::IsWarehouseRejected(int row, int warehouse) const
{
    return CoversCell(m_wareHouseRejections, warehouse, row) &&
           m_wareHouseRejections.GetBit(warehouse, row) != 0;
}

uint32_t CRejections::CAnswers::GetMask(int orderIndex, int pairRow) const
{
    return m_owner.GetRejectionMask(orderIndex, pairRow, false, false);
}

void CRejections::CAnswers::CheckRelatedOrders(int orderIndex) const
{
    m_owner.CompruebaRelacionados(orderIndex);
}

uint32_t CRejections::CAnswers::ComputeMask(int orderIndex, int pairRow) const
{
    return m_owner.ComputeRejectionMask(orderIndex, pairRow, false, true, false, 0);
}

uint32_t CRejections::CAnswers::GetStoredMask(int orderIndex, int pairRow) const
{
    return m_owner.GetRejectionMask(orderIndex, pairRow, false, false);
}

bool CRejections::CAnswers::IsUserRejected(int orderIndex, int pairRow) const
{
    return m_owner.IsUserRejected(orderIndex, pairRow);
}

std::string CRejections::CAnswers::GetRejectionText(uint32_t mask, int orderIndex,
                                                    int pairRow) const
{
    return m_owner.GetRejectionText(mask, orderIndex, pairRow, false);
}

// ---- User rejections ------------------------------------------------------------------------

bool CRejections::IsUserRejected(int order, int row) const
{
    return CoversCell(m_userRejections, order, row) && m_userRejections.GetBit(order, row) != 0;
}

TUserRejection CRejections::MakeUserRecord(int order, int row) const
{
    TUserRejection record;
    const COrders& orders = ModelContext().orders;
    if (order >= 0 && order < orders.GetSize()) {
        record.orderCode = orders[order]->Text(ORDER_CODE);
        record.partition = orders[order]->plan.partitionNumber;
    }
    const CLorriesDrivers& pairs = Resources().pairs;
    if (row >= 0 && row < pairs.GetSize()) {
        record.lorryCode = pairs[row]->GetTrailerCode();
        record.driverCode = pairs[row]->GetDriverCode();
    }
    return record;
}

void CRejections::FindUserRecords(const TUserRejection& key, bool remove)
{
    auto matches = [&key](const TUserRejection& record) {
        return record.orderCode == key.orderCode && record.partition == key.partition &&
               record.lorryCode == key.lorryCode && record.driverCode == key.driverCode;
    };
    if (remove) {
        for (int i = m_userList.GetSize() - 1; i >= 0; --i)
            if (matches(*m_userList[i]))
                m_userList.RemoveAt(i);
        return;
    }
    for (const TUserRejection* record : m_userList)
        if (matches(*record))
            return;
    m_userList.Add(new TUserRejection(key));
}

void CRejections::SetUserRejection(int order, int row, bool set)
{
    if (!CoversCell(m_userRejections, order, row))
        return;
    if (set)
        m_userRejections.SetBit(order, row);
    else
        m_userRejections.ClearBit(order, row);
    FindUserRecords(MakeUserRecord(order, row), !set);
}

void CRejections::BackupUserRejections()
{
    m_userList.SetSize(0);
    for (int order = 0; order < m_orders; ++order)
        for (int row = 0; row < m_rows; ++row)
            if (IsUserRejected(order, row))
                m_userList.Add(new TUserRejection(MakeUserRecord(order, row)));
}

void CRejections::RestoreUserRejections()
{
    const COrders& orders = ModelContext().orders;
    const CLorriesDrivers& pairs = Resources().pairs;
    for (const TUserRejection* record : m_userList) {
        const int order =
            orders.FindOrderByCodeAndPartition(record->orderCode, record->partition, 0);
        if (order < 0)
            continue;
        const int row = pairs.FindByTrailerAndDriver(record->lorryCode, record->driverCode, 0);
        if (row >= 0 && CoversCell(m_userRejections, order, row))
            m_userRejections.SetBit(order, row);
    }
}

bool CRejections::ExportUserRejections(const std::string& path) const
{
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    bool written = true;
    for (int order = 0; order < m_orders && written; ++order) {
        const uint32_t bit = 1u << (order % 32);
        for (int row = 0; row < m_rows && written; ++row) {
            const auto value = static_cast<int32_t>(IsUserRejected(order, row) ? bit : 0u);
            written = std::fprintf(file, "%d\t%d\t%d\n", order, row, value) > 0;
        }
    }
    // Buffered lines reach the disk only at the close: a full disk shows there.
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

bool CRejections::ImportUserRejections(const std::string& path, int orders, int rows)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    m_userList.SetSize(0);
    bool outOfRange = false;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        size_t length = std::strlen(line);
        while (length > 0 &&
               (line[length - 1] == '\n' || line[length - 1] == '\r' || line[length - 1] == ' '))
            line[--length] = '\0';
        int values[3] = {0, 0, 0};
        char* field = line;
        for (int& value : values) {
            if (!field)
                break;
            char* tab = std::strchr(field, '\t');
            if (tab)
                *tab = '\0';
            value = std::atoi(field);
            field = tab ? tab + 1 : nullptr;
        }
        const int order = values[0];
        const int row = values[1];
        if (order < 0 || order >= orders || row < 0 || row >= rows) {
            outOfRange = true;
            break;
        }
        if (!CoversCell(m_userRejections, order, row))
            continue;
        if (values[2] != 0) {
            m_userRejections.SetBit(order, row);
            m_userList.Add(new TUserRejection(MakeUserRecord(order, row)));
        } else {
            m_userRejections.ClearBit(order, row);
        }
    }
    std::fclose(file);
    if (outOfRange)
        m_userRejections.ClearAll();
    return true;
}

// ---- Keeping in step with the lists ---------------------------------------------------------

void CRejections::InsertLorry(int row)
{
    if (row < m_rows)
        return;
    if (m_tablesAllocated) {
        m_userRejections.InsertRow(m_rows);
        m_allRejections.InsertRow(m_rows);
        m_driverRejections.InsertRow(m_rows);
    }
    InsertMaskRow(m_masks, m_orders, m_rows);
    InsertMaskRow(m_preferent, m_orders, m_rows);
    InsertMaskRow(m_secondPreferent, m_orders, m_rows);
    ++m_rows;
    CompruebaRelacionados(-1);
}

void CRejections::RemoveLorry(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    if (m_tablesAllocated) {
        m_userRejections.RemoveRow(row);
        m_allRejections.RemoveRow(row);
        m_driverRejections.RemoveRow(row);
    }
    RemoveMaskRow(m_masks, m_orders, row);
    RemoveMaskRow(m_preferent, m_orders, row);
    RemoveMaskRow(m_secondPreferent, m_orders, row);
    --m_rows;
}

void CRejections::InsertOrder(int order)
{
    if (order < m_orders)
        return;
    if (m_tablesAllocated) {
        m_userRejections.InsertColumn(m_orders);
        m_allRejections.InsertColumn(m_orders);
        m_driverRejections.InsertColumn(m_orders);
    }
    // Without columns there are no cells to move: the cache stays empty and masks are computed.
    if (m_orders > 0) {
        InsertMaskColumn(m_masks, m_orders, m_rows, m_orders);
        InsertMaskColumn(m_preferent, m_orders, m_rows, m_orders);
        InsertMaskColumn(m_secondPreferent, m_orders, m_rows, m_orders);
    }
    ++m_orders;
    CompruebaRelacionados(m_orders - 1);
}

void CRejections::RemoveOrder(int order)
{
    if (order < 0 || order >= m_orders)
        return;
    if (m_tablesAllocated) {
        m_userRejections.RemoveColumn(order);
        m_allRejections.RemoveColumn(order);
        m_driverRejections.RemoveColumn(order);
    }
    RemoveMaskColumn(m_masks, m_orders, order);
    RemoveMaskColumn(m_preferent, m_orders, order);
    RemoveMaskColumn(m_secondPreferent, m_orders, order);
    --m_orders;
}

// ---- Texts ----------------------------------------------------------------------------------

std::string CRejections::RequirementList(int order, int row) const
{
    const CListaCondicionantes& definitions = ModelContext().requirementDefinitions;
    const COrders& orders = ModelContext().orders;
    const CLorriesDrivers& pairs = Resources().pairs;
    if (order < 0 || order >= orders.GetSize())
        return {};
    CSmartIntArray failed;
    failed.SetSize(definitions.GetSize());
    for (int& flag : failed)
        flag = 1;
    const TRequirementValues& wanted = orders[order]->requirements;
    if (row != -1) {
        if (row < 0 || row >= pairs.GetSize())
            return {};
        definitions.MarkFailedRequirements(failed, pairs[row]->requirements, wanted);
    } else {
        for (const CLorryDriver* pair : pairs)
            definitions.MarkFailedRequirements(failed, pair->requirements, wanted);
    }
    return definitions.GetFailedNamesText(failed);
}

std::string CRejections::GetRejectionText(uint32_t mask, int order, int row,
                                          bool requirementListOnly)
{
    std::string text;
    for (const TReasonText& reason : ReasonTexts) {
        if ((mask & reason.bit) == 0)
            continue;
        const char* key =
            row != -1 && reason.oneVehicleKey ? reason.oneVehicleKey : reason.allVehiclesKey;
        text += Translate(key) + ". ";
    }
    if (requirementListOnly) {
        text += RequirementList(order, row);
    } else if (mask & REJECT_REQUIREMENTS) {
        text += Translate(row != -1 ? "RejectionOneResource" : "RejectionResources");
        const std::string list = order >= 0 ? RequirementList(order, row) : std::string();
        if (!list.empty())
            text += " " + list;
        text += ". ";
    }
    TrimTrailingBlanks(text);
    return text;
}

std::string CRejections::GetRejectionTextOfPair(int order, int row)
{
    return GetRejectionText(ComputeRejectionMask(order, row, false, true, true, 0), order, row,
                            false);
}

std::string CRejections::GetUserRejectionKindText(int kind)
{
    if (kind == 0)
        return " ";
    if (m_userText.empty()) {
        m_userText = Translate("User");
        m_systemText = Translate("System");
        m_systemAndUserText = Translate("SystemAndUser");
    }
    if (kind == 1)
        return m_userText;
    return kind % 2 != 0 ? m_systemAndUserText : m_systemText;
}

std::string CRejections::GetOrderRejectionText(int order, int& kind)
{
    kind = -1;
    uint32_t all = 0;
    uint32_t common = 0;
    const int rows = Resources().pairs.GetSize();
    for (int row = 0; row < rows; ++row) {
        uint32_t mask = ComputeRejectionMask(order, row, false, true, true, 0);
        // A deactivated order is not a pair's fault.
        if (mask & REJECT_DEACTIVATED_ORDER)
            mask = 0;
        common = all == 0 ? mask : (common & mask);
        all |= mask;
    }
    if (all != 0) {
        kind = 0;
        if (common != 0) {
            std::string text = GetRejectionText(common, order, -1, false);
            if (!text.empty())
                return text;
        }
        return Translate("MoreOne");
    }
    const COrders& orders = ModelContext().orders;
    if (order >= 0 && order < orders.GetSize() && orders[order]->plan.unlinkedMark) {
        kind = 1;
        return Translate("DesvinculadoPedido");
    }
    return {};
}

int CRejections::FindLargestRejectingRow(int order)
{
    const CLorriesDrivers& pairs = Resources().pairs;
    int best = -1;
    float bestCapacity = 0;
    float bestSecondCapacity = 0;
    for (int row = 0; row < pairs.GetSize(); ++row) {
        const uint32_t mask = GetRejectionMask(order, row, false, false);
        if (mask == 0)
            return -1;
        const CTrailer* trailer = pairs[row]->GetTrailer();
        if (mask != REJECT_NO_FIT || !trailer)
            continue;
        if (trailer->capacity[0] > bestCapacity && trailer->capacity[1] > bestSecondCapacity) {
            best = row;
            bestCapacity = trailer->capacity[0];
            bestSecondCapacity = trailer->capacity[1];
        }
    }
    return best;
}
