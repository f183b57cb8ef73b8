#pragma once

#include "containers/BoolTable.h"
#include "containers/SmartArray.h"
#include "model/OrderServices.h"
#include "model/Resources.h"
#include "model/StopPoint.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class COrder;
class COrderLines;
class CTrailer;
class CTruckOrderLines;

// Why an order may not go with a lorry-driver pair: one bit per reason, 0 when the pair may
// serve the order.
inline constexpr uint32_t REJECT_USER = 0x1;
inline constexpr uint32_t REJECT_DEACTIVATED_LORRY = 0x2;
inline constexpr uint32_t REJECT_NO_FIT = 0x4;
inline constexpr uint32_t REJECT_DEACTIVATED_ORDER = 0x8;
inline constexpr uint32_t REJECT_REQUIREMENTS = 0x10;
inline constexpr uint32_t REJECT_OUT_OF_DATE = 0x40;
inline constexpr uint32_t REJECT_OUT_OF_TIME = 0x80; // never set by the checks; it keeps its texts
inline constexpr uint32_t REJECT_ORDER_NOT_LOCATED = 0x100;
inline constexpr uint32_t REJECT_LORRY_NOT_LOCATED = 0x200;
inline constexpr uint32_t REJECT_PRODUCT_TYPES = 0x400;
inline constexpr uint32_t REJECT_TRANSPORT_CARD = 0x800;
inline constexpr uint32_t REJECT_FROZEN_LORRY = 0x1000;
inline constexpr uint32_t REJECT_ALLOWED_DRIVER = 0x2000;
inline constexpr uint32_t REJECT_ALLOWED_RESOURCE = 0x4000;
inline constexpr uint32_t REJECT_NON_ALLOWED_DRIVER = 0x8000;
inline constexpr uint32_t REJECT_NON_ALLOWED_RESOURCE = 0x10000;
inline constexpr uint32_t REJECT_WAREHOUSE_NOT_LOCATED = 0x20000;
inline constexpr uint32_t REJECT_ASSIGNED_OTHER = 0x40000;
inline constexpr uint32_t REJECT_PREFIXED_RESOURCE = 0x80000;
inline constexpr uint32_t REJECT_WAREHOUSE_REJECTED = 0x100000;
// The not-located reasons, masked out together.
inline constexpr uint32_t REJECT_NOT_LOCATED = 0x20300;

// A rejection by the planner, kept by keys that survive a rebuild of the lists.
struct TUserRejection
{
    std::string orderCode;
    int32_t partition = 0;
    std::string lorryCode; // the trailer's code; empty without lorry or trailer
    std::string driverCode;
};

// The planning gene the rejections own: it tests whether an order's lines fit the
// compartments of a trailer and resets the problem's initial data. The optimiser supplies the
// real one; this one resets nothing, puts each line on board whole and lets everything fit.
class CRejectionGene
{
  public:
    virtual ~CRejectionGene() = default;
    virtual void ResetInitialData() {}
    virtual void ClearUnfixedTankLoads(const CTrailer& /*trailer*/) {}
    virtual void LoadOrderLinesIntoTanks(const CTrailer& trailer, CTruckOrderLines& onBoard,
                                         const COrderLines& lines, bool mixBulk);
    virtual void LoadVehicleLinesIntoTanks(const CTrailer& /*trailer*/,
                                           CTruckOrderLines& /*onBoard*/, bool /*mixBulk*/)
    {
    }
    // Whether every quantity on board fits the compartments.
    virtual bool LoadOrderInTanks(const CTrailer& /*trailer*/, const CTruckOrderLines& /*onBoard*/)
    {
        return true;
    }
    // The relation groups changed: the optimiser collects them again.
    virtual void CollectRelationGroups() {}
};

// The list of orders no pair can serve, shown to the planner.
class CNonPossibleDialog
{
  public:
    virtual ~CNonPossibleDialog() = default;
    // True when the planner cancelled.
    virtual bool Show(const std::vector<int>& orderIndexes, bool singleOrder) = 0;
};

// Which pair may serve which order, why not, and the planner's own rejections. Tables are
// addressed (order column, pair row); masks are indexed row × orders + order. Every operation
// works with the counts the tables were built for, not the lists' current sizes.
class CRejections
{
  public:
    CRejections();
    ~CRejections();
    CRejections(const CRejections&) = delete;
    CRejections& operator=(const CRejections&) = delete;

    // ---- Masks (mask of a pair) ----------------------------------------------------------------
    // From the cache when it covers the pair, else computed with the lorry state.
    uint32_t GetRejectionMask(int order, int row, bool dropUserBit, bool keepNotLocated);
    uint32_t ComputeRejectionMask(int order, int row, bool dropUserBit, bool keepNotLocated,
                                  bool withLorryState, int requirementMode);
    uint32_t ComputeRejectionMask(const COrder& order, const CLorryDriver& pair, bool dropUserBit,
                                  bool keepNotLocated, bool withLorryState, int requirementMode);
    uint32_t CheckNoFit(const COrder& order, const CLorryDriver& pair);
    uint32_t CheckRequirements(const COrder& order, const CLorryDriver& pair,
                               int requirementMode) const;
    uint32_t CheckOutOfDate(const COrder& order, const CLorryDriver& pair) const;
    uint32_t CheckProductTypes(const COrder& order, const CLorryDriver& pair) const;
    uint32_t CheckTransportCard(const COrder& order, const CLorryDriver& pair) const;
    uint32_t CheckLorryState(const COrder& order, const CLorryDriver& pair) const;
    uint32_t CheckAssignedOtherResource(const COrder& order, const CLorryDriver& pair) const;
    uint32_t CheckAllowedResources(const COrder& order, const CLorryDriver& pair,
                                   bool withLorryState) const;
    uint32_t CheckNotLocated(const COrder& order) const;
    uint32_t CheckWarehouseRejected(const COrder& order, const CLorryDriver& pair) const;

    // ---- User rejections ----------------------------------------------------------------------
    bool IsUserRejected(int order, int row) const;
    // Sets or clears the bit and keeps the list in step.
    void SetUserRejection(int order, int row, bool set);
    void BackupUserRejections();
    // Sets the bits of the listed rejections whose order and pair still exist; never clears.
    void RestoreUserRejections();
    // One line per order and row; false when the file could not be written whole.
    bool ExportUserRejections(const std::string& path) const;
    // False when the file cannot be opened. A line outside the counts stops the reading and
    // clears every user bit.
    bool ImportUserRejections(const std::string& path, int orders, int rows);
    const CSmartPtrArray<TUserRejection>& GetUserRejectionList() const { return m_userList; }

    // ---- Keeping in step with the lists -------------------------------------------------------
    // Only a new row or order at the end is inserted; only an existing one is removed.
    void InsertLorry(int row);
    void RemoveLorry(int row);
    void InsertOrder(int order);
    void RemoveOrder(int order);

    // ---- Texts --------------------------------------------------------------------------------
    // The reasons of the mask, one-vehicle texts when a row is given (not -1).
    std::string GetRejectionText(uint32_t mask, int order, int row, bool requirementListOnly);
    std::string GetRejectionTextOfPair(int order, int row);
    std::string GetUserRejectionKindText(int kind);
    // Why no pair serves the order; kind 0 rejected, 1 unlinked, -1 nothing to say.
    std::string GetOrderRejectionText(int order, int& kind);
    int FindLargestRejectingRow(int order);

    // ---- Passes -------------------------------------------------------------------------------
    // Sizes or rebuilds the tables keeping the user rejections, then a full SetRejections.
    int InitRejections(int orders, int rows, int warehouses, bool force, bool report,
                       bool splitGroups);
    // 1, or 0 when the planner cancelled the non-possible dialog of a full pass.
    int SetRejections(bool report, int orderFilter, int rowFilter, bool splitGroups);
    void DeactivateWareHouseRejectedLorries();
    void CompruebaRelacionados(int order);
    void PreferenciarPedidosQueNoCabenJuntos();
    void FindPossibleResource(int order, std::vector<int>& unlinkList);
    bool CanServeRelated(int row, int driverRow, int order);
    bool CanRowServeOrder(int order, int row, int driverRow);
    int FindCompatibleDriverRow(int row, int order) const;
    bool GroupFitsTogether(int order);
    void UnlinkRelationGroup(int order);
    bool IsOrderNotServable(int order) const;

    // ---- State --------------------------------------------------------------------------------
    int GetOrderCount() const { return m_orders; }
    int GetRowCount() const { return m_rows; }
    int GetWarehouseCount() const { return m_warehouses; }
    bool FoundRejection() const { return m_foundRejection; }
    bool MatricesExist() const { return m_tablesAllocated; }
    const CBoolTable& GetAllRejections() const { return m_allRejections; }
    const CBoolTable& GetUserRejections() const { return m_userRejections; }
    const CBoolTable& GetDriverRejections() const { return m_driverRejections; }
    const CBoolTable& GetWareHouseRejections() const { return m_wareHouseRejections; }
    int GetPreferentRejection(int order, int row) const;
    int GetSecondPreferentRejection(int order, int row) const;
    // Orders that cannot be served because they or every pair are not located.
    const std::vector<int>& GetNotLocatedOrders() const { return m_notLocatedOrders; }
    bool WasNonPossibleDialogShown() const { return m_dialogShown; }

    CRejectionGene& GetGene() { return *m_gene; }
    void SetGene(std::unique_ptr<CRejectionGene> gene);

    // Makes these tables answer the orders' rejection questions, and the context's tables the
    // pairs' warehouse questions.
    void Install();

  private:
    // What orders and stops ask, answered from the owner's tables.
    class CAnswers : public COrderRejections, public CStopRejections
    {
      public:
        explicit CAnswers(CRejections& owner) : m_owner(owner) {}
        uint32_t GetMask(int orderIndex, int pairRow) const override;
        bool MatricesExist() const override { return m_owner.MatricesExist(); }
        void CheckRelatedOrders(int orderIndex) const override;
        uint32_t ComputeMask(int orderIndex, int pairRow) const override;
        uint32_t GetStoredMask(int orderIndex, int pairRow) const override;
        bool IsUserRejected(int orderIndex, int pairRow) const override;
        std::string GetRejectionText(uint32_t mask, int orderIndex, int pairRow) const override;

      private:
        CRejections& m_owner;
    };

    bool IsWarehouseRejected(int row, int warehouse) const;
    uint32_t AdjustedMask(const COrder& order, const CLorryDriver& pair, uint32_t mask) const;
    bool IsRowLocatedFor(int order, int row) const;
    std::string RequirementList(int order, int row) const;
    void FindUserRecords(const TUserRejection& key, bool remove);
    TUserRejection MakeUserRecord(int order, int row) const;
    void ApplyRelatedRejections();
    bool ShowNonPossible(bool report, bool anyNonPossible, bool anyNotLocated, int orderFilter,
                         bool filteredNonPossible, const std::vector<int>& listed);
    void SendNonPossibleMail(bool report, bool anyNonPossible);

    bool m_foundRejection = false;
    std::unique_ptr<CRejectionGene> m_gene;
    int m_orders = 0;
    int m_rows = 0;
    int m_warehouses = 0;
    int m_warehouseRows = 0; // the rows the warehouse table was built for
    bool m_tablesAllocated = false;
    CBoolTable m_allRejections;
    CBoolTable m_userRejections;
    CBoolTable m_driverRejections;
    CBoolTable m_wareHouseRejections;
    std::vector<uint32_t> m_masks; // "Rejections": the cache of full masks
    std::vector<int32_t> m_preferent;
    std::vector<int32_t> m_secondPreferent;
    CSmartPtrArray<TUserRejection> m_userList;
    std::string m_userText;
    std::string m_systemText;
    std::string m_systemAndUserText;
    bool m_dialogShown = false;
    std::vector<int> m_notLocatedOrders;
    CAnswers m_answers{*this};
};
