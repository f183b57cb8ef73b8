#include "routing/ParticionMatrices.h"

#include "KLV/Folders.h"
#include "KLV/Trace.h"
#include "model/Locations.h"
#include "params/Parameters.h"
#include "platform/Text.h"
#include "routing/PlanLocations.h"
#include "routing/SchNodesList.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

constexpr uint32_t kOrderNotLocated = 0x100;
constexpr uint32_t kPairNotLocated = 0x200;

} // namespace

void CClasificacionNodos::SeparaEnEquivalentes(const CPlanLocations& plan)
{
    m_classes.clear();
    const bool partitioned = UserParameters().PartirMatricesDistancias != 0;
    const int orderCount = plan.GetOrderCount();
    // The class holding each order.
    std::vector<TNodeClass*> owner(static_cast<std::size_t>(std::max(orderCount, 0)), nullptr);
    std::vector<TNodeClass*> merge;
    for (int pair = 0; pair < plan.GetPairCount(); ++pair) {
        auto created = std::make_unique<TNodeClass>();
        created->identifier = GetClassCount();
        created->pairs.push_back(pair);
        TNodeClass* current = created.get();
        m_classes.push_back(std::move(created));
        merge.clear();
        for (int order = 0; order < orderCount; ++order) {
            if (partitioned) {
                const uint32_t mask = plan.GetRejectionMask(order, pair);
                if (mask != 0 && mask != kOrderNotLocated && mask != kPairNotLocated)
                    continue;
            }
            TNodeClass*& holder = owner[static_cast<std::size_t>(order)];
            if (holder == nullptr) {
                holder = current;
                current->orders.push_back(order);
            } else if (std::find(merge.begin(), merge.end(), holder) == merge.end()) {
                merge.push_back(holder);
            }
        }
        if (merge.empty())
            continue;
        // The pair links classes met before: all of them join the first met.
        merge.push_back(current);
        TNodeClass* target = merge.front();
        for (std::size_t position = 1; position < merge.size(); ++position) {
            TNodeClass* merged = merge[position];
            if (merged == target)
                continue;
            for (int order : merged->orders) {
                owner[static_cast<std::size_t>(order)] = target;
                target->orders.push_back(order);
            }
            target->pairs.insert(target->pairs.end(), merged->pairs.begin(), merged->pairs.end());
            std::erase_if(m_classes, [merged](const std::unique_ptr<TNodeClass>& record) {
                return record.get() == merged;
            });
        }
    }
    const CUserParameters& parameters = UserParameters();
    if (!m_classes.empty() && parameters.LoadingProblem == 3 && !partitioned)
        for (int warehouse = 0; warehouse < plan.GetWarehouseCount(); ++warehouse)
            m_classes.front()->warehouses.push_back(warehouse);
}

void CClasificacionNodos::AsignaMatrizPedido(const CPlanLocations& plan)
{
    m_orderClass.assign(static_cast<std::size_t>(std::max(plan.GetOrderCount(), 0)), -1);
    m_pairClass.assign(static_cast<std::size_t>(std::max(plan.GetPairCount(), 0)), -1);
    m_warehouseClass.assign(static_cast<std::size_t>(std::max(plan.GetWarehouseCount(), 0)), -1);
    for (int position = 0; position < GetClassCount(); ++position) {
        const TNodeClass& record = *m_classes[static_cast<std::size_t>(position)];
        for (int order : record.orders)
            if (order >= 0 && static_cast<std::size_t>(order) < m_orderClass.size())
                m_orderClass[static_cast<std::size_t>(order)] = position;
        for (int pair : record.pairs)
            if (pair >= 0 && static_cast<std::size_t>(pair) < m_pairClass.size())
                m_pairClass[static_cast<std::size_t>(pair)] = position;
    }
    // Without a partition every warehouse serves every class; it keeps the last number.
    const CUserParameters& parameters = UserParameters();
    if (parameters.LoadingProblem == 3 && parameters.PartirMatricesDistancias == 0 &&
        GetClassCount() > 0)
        std::fill(m_warehouseClass.begin(), m_warehouseClass.end(), GetClassCount() - 1);
}

void CClasificacionNodos::RegeneraINodeNumber(CPlanLocations& plan, CSchNodesList& nodes,
                                              bool addCopies)
{
    const int classCount = GetClassCount();
    int nextFree = nodes.GetMaxIndex() + 1;
    // Per original node index, the index each class uses for it.
    std::map<int, std::vector<int>> indexes;
    const auto visit = [&](TLocationData* location, int matrixClass) {
        if (location == nullptr || location->nodeIndex < 0 || matrixClass < 0 ||
            matrixClass >= classCount)
            return;
        const int node = location->nodeIndex;
        const auto [found, created] = indexes.try_emplace(node);
        std::vector<int>& perClass = found->second;
        if (created) {
            perClass.assign(static_cast<std::size_t>(classCount), -1);
            perClass[static_cast<std::size_t>(matrixClass)] = node;
            return;
        }
        int& index = perClass[static_cast<std::size_t>(matrixClass)];
        if (index < 0) {
            index = nextFree++;
            if (addCopies) {
                const CNode* original = static_cast<const CSchNodesList&>(nodes).GetNode(node);
                CNode* copy = nodes.GetOrCreateNode(index);
                if (original != nullptr)
                    *copy = *original;
                copy->state = CNode::STATE_ADDED;
            }
        }
        location->nodeIndex = index;
    };

    const int loadingProblem = UserParameters().LoadingProblem;
    std::vector<TLocationData*> deliveries;
    for (int order = 0; order < plan.GetOrderCount(); ++order) {
        const int matrixClass = GetOrderClass(order);
        deliveries.clear();
        plan.GetOrderDeliveries(order, deliveries);
        for (TLocationData* delivery : deliveries)
            visit(delivery, matrixClass);
        if (loadingProblem == 2)
            visit(plan.GetOrderOrigin(order), matrixClass);
    }
    for (int pair = 0; pair < plan.GetPairCount(); ++pair) {
        const int matrixClass = GetPairClass(pair);
        const TPairLocations locations = plan.GetPairLocations(pair);
        visit(locations.truckBase, matrixClass);
        visit(locations.trailerBase, matrixClass);
        visit(locations.truckEndBase, matrixClass);
        visit(locations.trailerEndBase, matrixClass);
        visit(locations.driverBase, matrixClass);
    }
    if (loadingProblem == 3)
        for (int warehouse = 0; warehouse < plan.GetWarehouseCount(); ++warehouse)
            visit(plan.GetWarehouseLocation(warehouse), GetWarehouseClass(warehouse));
}

void CClasificacionNodos::SetSingleMatrixTranslation(const CSchNodesList& nodes)
{
    std::vector<char> met(static_cast<std::size_t>(nodes.GetSize()), 0);
    for (std::unique_ptr<TNodeClass>& record : m_classes) {
        for (int node = 0; node < nodes.GetSize(); ++node) {
            const CNode* point = nodes.GetNode(node);
            if (point == nullptr || point->x < -1234 || point->x > 1234 || point->y < -1234 ||
                point->y > 1234)
                continue;
            GetEntry(node) = {0, node};
            if (met[static_cast<std::size_t>(node)])
                continue;
            met[static_cast<std::size_t>(node)] = 1;
            record->nodes.push_back(node);
            m_allNodes.push_back(node);
        }
        record->lastRow = nodes.GetSize() - 1;
    }
}

TTranslationEntry& CClasificacionNodos::GetEntry(int node)
{
    if (static_cast<std::size_t>(node) >= m_entries.size())
        m_entries.resize(static_cast<std::size_t>(node) + 1);
    TTranslationEntry& entry = m_entries[static_cast<std::size_t>(node)];
    if (!entry.Exists())
        entry = {0, 0};
    return entry;
}

bool CClasificacionNodos::Save(const std::string& path) const
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        TRV_TRACE(1, "CClasificacionNodos::Save",
                  "TraduccionPosRealMatriz::Save, No se ha podido abrir el fichero %s",
                  path.c_str());
        return false;
    }
    std::string text;
    for (const TTranslationEntry& entry : m_entries)
        text += entry.Exists() ? trv::FormatC("%d\t%d\n", entry.matrixClass, entry.row)
                               : std::string("-1\t-1\n");
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

bool CClasificacionNodos::Load(const std::string& path)
{
    std::string text;
    if (!trv::ReadFileBytes(path, text)) {
        TRV_TRACE(1, "CClasificacionNodos::Load",
                  "TraduccionPosRealMatriz::Load, no se ha podido abrir el fichero %s",
                  path.c_str());
        return false;
    }
    std::string_view rest = text;
    for (int node = 0; !rest.empty(); ++node) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty())
            break;
        const std::size_t tab = line.find('\t');
        const int matrixClass = trv::ParseInt(line.substr(0, tab));
        const int row = tab == std::string_view::npos ? 0 : trv::ParseInt(line.substr(tab + 1));
        if (matrixClass == -1 && row == -1)
            continue;
        TTranslationEntry& entry = GetEntry(node);
        entry.matrixClass = matrixClass;
        entry.row = row;
    }
    return true;
}

bool CClasificacionNodos::Init(const std::string& planPath)
{
    m_entries.clear();
    const std::string path = PlanFileStem(planPath) + ".ttm";
    if (!Load(path)) {
        TRV_TRACE(1, "CClasificacionNodos::Init",
                  "No se ha podido cargar el fichero de tabla de traduccion de matrices %s",
                  path.c_str());
        return false;
    }
    std::error_code ignored;
    std::filesystem::create_directories(GetTempFolder(1), ignored);
    Save(GetTempFolder(1) + "TablaTraducDist.dat");
    return true;
}

const std::vector<int>* CClasificacionNodos::GetClassNodes(int position) const
{
    const TNodeClass* record = GetClass(position);
    return record != nullptr ? &record->nodes : nullptr;
}

int CClasificacionNodos::GetClassLastRow(int position) const
{
    const TNodeClass* record = GetClass(position);
    return record != nullptr ? record->lastRow : -1;
}

const TNodeClass* CClasificacionNodos::GetClass(int position) const
{
    if (position < 0 || position >= GetClassCount())
        return nullptr;
    return m_classes[static_cast<std::size_t>(position)].get();
}

void CClasificacionNodos::Clear()
{
    m_entries.clear();
    m_allNodes.clear();
}

void CClasificacionNodos::RemoveAll()
{
    Clear();
    m_classes.clear();
    m_orderClass.clear();
    m_pairClass.clear();
    m_warehouseClass.clear();
}
