// Reading warehouses and their products from data definitions, and saving them with a plan.

#include "KLV/AppGlobals.h"
#include "KLV/Fetch.h"
#include "KLV/FetchFilter.h"
#include "KLV/Trace.h"
#include "KLV/Translate.h"
#include "model/ModelContext.h"
#include "model/ModelDates.h"
#include "model/ModelDialogs.h"
#include "model/WareHouses.h"
#include "params/FetchFieldRecord.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"
#include "platform/Path.h"
#include "platform/Progress.h"
#include "platform/Text.h"

#include <cstdio>
#include <map>

namespace {

constexpr const char* kLoadMethod = "CWareHouses::LoadWareHouseData";

const char* ProductsDefinition(int sourceKind)
{
    switch (sourceKind) {
    case 1:
        return "INT_WAREHOUSE_PRODUCTS";
    case 2:
        return "EXT_WAREHOUSE_PRODUCTS";
    case 3:
        return "CUSTOMER_WAREHOUSE_PRODUCTS";
    default:
        return nullptr;
    }
}

// The rows of one products file grouped by warehouse code (exact, as a filter on the code
// selects them), each group in file order: read once, however many warehouses ask.
class CProductRows
{
  public:
    struct Row
    {
        std::string code;
        std::string name;
        float stock = 0;
        float cost = 0;
        float speed = 0;
    };

    bool Read(int sourceKind, const std::string& file, const std::string& filter)
    {
        const char* definition = ProductsDefinition(sourceKind);
        if (!definition)
            return false;
        CFetch fetch;
        if (!fetch.Init(definition, "", "", FETCH_MODE_READ, file, filter)) {
            fetch.Close();
            return false;
        }
        CFetchFieldRecord record(fetch);
        const TFieldRead plain;
        while (!record.IsEOF()) {
            if (!record.MoveNext())
                continue;
            Row row;
            const std::string wareHouse = record.GetFieldString("WAREHOUSE_CODE", "", -1, plain);
            row.code = record.GetFieldString("PRODUCT_CODE", "", -1, plain);
            row.name = record.GetFieldString("PRODUCT_NAME", "", -1, plain);
            row.stock = record.GetFieldFloat("PRODUCT_STOCK", 0, plain);
            row.cost = record.GetFieldFloat("PRODUCT_COST", 0, plain);
            row.speed = record.GetFieldFloat("PRODUCT_SPEED", 0, plain);
            m_rowsByWareHouse[wareHouse].push_back(std::move(row));
        }
        fetch.Close();
        m_opened = true;
        return true;
    }

    bool IsOpened() const { return m_opened; }

    void AddTo(CWareHouse& wareHouse, CProducts& products) const
    {
        const auto found = m_rowsByWareHouse.find(wareHouse.GetCode());
        if (found == m_rowsByWareHouse.end())
            return;
        for (const Row& row : found->second) {
            TProductWareHouse* product = wareHouse.products.AddProduct();
            product->code = row.code;
            product->name = row.name;
            product->productIndex = products.FindOrAddProduct(row.code, row.name, "");
            product->stock = row.stock;
            product->cost = row.cost;
            product->loadingSpeed = row.speed;
        }
    }

  private:
    bool m_opened = false;
    std::unordered_map<std::string, std::vector<Row>> m_rowsByWareHouse;
};

// The name of the file the definition's current record comes from.
std::string CurrentFile(const CFetch& fetch)
{
    return fetch.m_strCurrentFile.empty() ? fetch.m_strFile : fetch.m_strCurrentFile;
}

// The wait caption while reading: which source out of how many.
std::string WaitCaption(CFetch& fetch)
{
    std::string caption = Translate("LoadingWarehouses");
    if (fetch.m_nKind == FETCH_KIND_FOLDER && fetch.m_arrFiles.GetSize() > 0)
        return caption + " " + std::to_string(fetch.m_nNextFile) + "/" +
               std::to_string(fetch.m_arrFiles.GetSize()) + " " + CurrentFile(fetch);
    return caption + " " + fetch.m_strName;
}

} // namespace

std::string WareHouseProductsFile(const std::string& wareHousesFile)
{
    std::string products = trv::ReplaceFinalExtension(wareHousesFile, ".wrh", ".prd-wrh");
    return products.empty() ? wareHousesFile : products;
}

std::string WareHousesFileOfOrders(const std::string& ordersFile)
{
    return trv::ReplaceFinalExtension(ordersFile, ".ord", ".wrh");
}

// ---- One warehouse's products -------------------------------------------------------------

bool CWareHouse::LoadProducts(int sourceKind, const std::string& file)
{
    CProductRows rows;
    if (!rows.Read(sourceKind, file, "WAREHOUSE_CODE=" + QuoteFilterValue(GetCode())))
        return false;
    rows.AddTo(*this, ModelContext().products);
    return true;
}

// ---- Reading the list ---------------------------------------------------------------------

int CWareHouses::FindCode(const std::string& code) const
{
    const auto found = m_codeIndex.find(trv::ToUpper(code));
    return found == m_codeIndex.end() ? -1 : found->second;
}

void CWareHouses::IndexCodes()
{
    m_codeIndex.clear();
    for (int i = 0; i < GetSize(); ++i)
        m_codeIndex.emplace(trv::ToUpper((*this)[i]->GetCode()), i);
}

bool CWareHouses::LoadWareHouseData(CFieldRecord& record, const trv::OleDate& planningDate,
                                    bool completeFromLocations)
{
    (void)planningDate; // the days are derived for the whole list once it is read
    CTrevantorVariables& catalogue = TrevantorVariables();
    TFieldRead required;
    required.required = true;
    const std::string code = record.GetFieldString(
        "WAREHOUSE_CODE", "", catalogue.GetMaxChars("WAREHOUSE_CODE"), required);
    // Outside an import the index is not kept; look the list over instead.
    const bool indexed = !m_codeIndex.empty() || GetSize() == 0;
    if (code.empty() || (indexed ? FindCode(code) : FindWareHouse(code, 0)) >= 0)
        return false;

    CWareHouse* wareHouse = AddWareHouse();
    wareHouse->index = GetSize() - 1;
    wareHouse->requirements.Init(ModelContext().requirementDefinitions.GetSize());
    if (!wareHouse->ReadRecord(record)) {
        RemoveAt(GetSize() - 1);
        return false;
    }
    const CUserParameters& parameters = UserParameters();
    TLocationData& location = wareHouse->location;
    location.MakeUpper();
    location.openingHours.Normalize(parameters.StartTimeToday);
    if (location.serviceMinutes == kUnsetTime)
        location.serviceMinutes = parameters.LoadTime;
    const int hours = wareHouse->fixedTimes.GetSize();
    if (hours > 0 && hours != CWareHouse::FixedTimeHours) {
        wareHouse->fixedTimes.SetSize(0);
        TRV_TRACE(2, kLoadMethod,
                  "No estaban definidos todas las franjas horarias de los tiempos fijos en "
                  "factoría");
    } else if (hours == CWareHouse::FixedTimeHours) {
        wareHouse->BuildFixedTimeTables();
    }
    if (completeFromLocations)
        ModelContext().locations.CompleteLocation(1, location, nullptr);
    m_codeIndex.emplace(trv::ToUpper(code), GetSize() - 1);
    return true;
}

bool CWareHouses::GeneralImport(int sourceKind, const std::string& file,
                                const trv::OleDate& planningDate, CSmartStringArray& messages,
                                bool completeFromLocations, bool append, int planningPeriod)
{
    const CUserParameters& parameters = UserParameters();
    const std::string dateText = FetchDateText(planningDate);
    const std::string periodText = std::to_string(planningPeriod);

    std::string filter;
    if (sourceKind == 3 || sourceKind == 4) {
        std::unique_ptr<CFilterDialog> dialog =
            GetFilterDialogFactory().Create(FILTER_WAREHOUSES, parameters.SimpleFilter != 0);
        if (dialog->HasFilterableFields() && !dialog->Ask(filter))
            return false; // the list stays as it was
    }

    std::string definition;
    std::string source = file;
    switch (sourceKind) {
    case 1:
        definition = "INT_WAREHOUSES";
        source = WareHousesFileOfOrders(file);
        if (source.empty())
            return false;
        break;
    case 2:
        definition = "EXT_WAREHOUSES";
        break;
    case 3:
        definition = "CUSTOMER_WAREHOUSES";
        break;
    case 4: {
        definition = "INT_WAREHOUSESDB";
        const std::string company = "EMPRESA=" + QuoteFilterValue(trv::GetCompanyAlias());
        filter = filter.empty() ? company : filter + " FETCH_AND " + company;
        break;
    }
    default:
        // Nothing to read from; the list is derived as it stands.
        if (!append)
            RemoveAll();
        CalculateFields(planningDate);
        return true;
    }

    CFetch fetch;
    if (!fetch.Init(definition, dateText, periodText, FETCH_MODE_READ, source, filter)) {
        fetch.Close();
        return false;
    }
    if (!append)
        RemoveAll();
    IndexCodes();

    trv::Progress& progress = trv::GetProgress();
    progress.SetCaption(Translate("LoadingWarehouses..."));
    CFetchFieldRecord record(fetch);
    ModelContext().locations.SetSchedulingDate(planningDate);
    std::map<std::string, CProductRows> productFiles;
    CProducts& products = ModelContext().products;
    std::string currentSource;
    long long read = 0;
    long long total = 0;
    while (!record.IsEOF() && !progress.IsCancelled()) {
        const std::string name =
            fetch.m_nKind == FETCH_KIND_FOLDER ? CurrentFile(fetch) : fetch.m_strName;
        if (name != currentSource) {
            currentSource = name;
            total = fetch.GetRecordCount();
            if (total > 0)
                progress.SetCaption(WaitCaption(fetch));
        }
        if (!record.MoveNext())
            continue;
        ++read;
        if (LoadWareHouseData(record, planningDate, completeFromLocations)) {
            // Each products file is read once and shared by its warehouses.
            const std::string productsFile = WareHouseProductsFile(CurrentFile(fetch));
            auto [found, added] = productFiles.try_emplace(productsFile);
            if (added)
                found->second.Read(sourceKind, productsFile, "");
            if (found->second.IsOpened())
                found->second.AddTo(*(*this)[GetSize() - 1], products);
        }
        progress.SetPosition(read, total > 0 ? total : read);
    }

    for (const std::string& message : fetch.m_arrRequiredMessages)
        messages.Add(message);
    fetch.m_arrRequiredMessages.SetSize(0);
    fetch.Close();
    m_codeIndex.clear();
    CalculateFields(planningDate);
    ModelContext().locations.Close();
    return messages.GetSize() == 0;
}

// ---- Saving -------------------------------------------------------------------------------

bool CWareHouses::SaveWareHouses(const std::string& file, const trv::OleDate& planningDate,
                                 int planningPeriod)
{
    CFetch fetch;
    if (!fetch.Init("INT_WAREHOUSES", FetchDateText(planningDate), std::to_string(planningPeriod),
                    FETCH_MODE_WRITE, file)) {
        fetch.Close();
        return false;
    }
    CFetchFieldRecord record(fetch);
    bool written = true;
    for (CWareHouse* wareHouse : *this) {
        record.ClearRecord();
        written = wareHouse->WriteRecord(record) && written;
        written = record.WriteRecord() && written;
    }
    // A target that could not be completed is a failed save, not a saved plan.
    return fetch.Close() != 0 && written;
}

bool CWareHouses::SaveWareHouseProducts(const std::string& file)
{
    CFetch fetch;
    if (!fetch.Init("INT_WAREHOUSE_PRODUCTS", "", "", FETCH_MODE_WRITE, file)) {
        fetch.Close();
        return false;
    }
    CFetchFieldRecord record(fetch);
    for (const CWareHouse* wareHouse : *this)
        wareHouse->WriteProducts(record);
    return fetch.Close() != 0;
}
