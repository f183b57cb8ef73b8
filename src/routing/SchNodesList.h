#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CClasificacionNodos;
class CDistancesArray;
class CPlanLocations;
struct TLocationData;

// One planning node: a point a vehicle can drive to.
class CNode
{
  public:
    enum State
    {
        STATE_NEW = 0,
        STATE_IN_USE = 1,
        STATE_RESET = 2,
        STATE_ADDED = 3,
    };

    // Postcode, city, feedback code and point of the location; its node code when it has one.
    void SetFromLocation(const TLocationData& location);
    // Postcode, city and point into the location; the node code becomes its identifier.
    void ApplyToLocation(TLocationData& location) const;
    bool HasPoint() const;
    // Both coordinate differences squared at most 1e-10.
    bool IsSamePoint(double otherX, double otherY) const;

    std::string postcode;
    std::string city;
    std::string feedbackCode;
    double x = 12345678.0; // longitude, degrees
    double y = 12345678.0; // latitude, degrees
    double savedX = 12345678.0;
    double savedY = 12345678.0;
    std::string nodeCode;
    int state = STATE_NEW;
};

// Travel figures measured between customer zones, read from "CUSTOMER_FEEDBACK_BY_ZONES".
struct TFeedbackTable
{
    static constexpr int kNoTime = -1;
    static constexpr int kNoDifferential = 2147483647;
    static constexpr int kNoDistance = -1;

    std::vector<std::string> firstZones;
    std::vector<std::string> secondZones;
    // firstZones x secondZones cells, first-zone position x second-zone count + second position.
    std::vector<int> times;
    std::vector<int> differentials;
    std::vector<int> distances;

    void Clear();
    // Position of a zone in its list, -1 when absent.
    int FindFirstZone(const std::string& zone) const;
    int FindSecondZone(const std::string& zone) const;
    // The zone lists must already hold both zones.
    void Set(const std::string& firstZone, const std::string& secondZone, int minutes,
             int differentialMinutes, int km);
};

// The plan's planning nodes: the index in the list is the node's identity shared by locations
// and matrices; slots may be empty.
class CSchNodesList
{
  public:
    CSchNodesList();
    virtual ~CSchNodesList();
    CSchNodesList(const CSchNodesList&) = delete;
    CSchNodesList& operator=(const CSchNodesList&) = delete;

    // Deletes every node; maximum index -1.
    virtual void RemoveAll();
    // Same length and, slot by slot, both empty or both the same point.
    virtual bool SameNodes(const CSchNodesList& other) const;
    // Deep copy of the nodes, empty slots kept, and of the maximum index.
    void CopyNodes(const CSchNodesList& other);

    int GetSize() const { return static_cast<int>(m_nodes.size()); }
    int GetMaxIndex() const { return m_maxIndex; }
    // Null for an empty slot or an index outside the list.
    const CNode* GetNode(int index) const;
    CNode* GetNode(int index);

    // The first node in index order at the location's point; -1 when none or not located.
    int FindNode(const TLocationData& location) const;
    int FindPoint(double x, double y) const;
    // A new empty node at the end.
    CNode* AddNewNode();
    // The node at an index, created (the list grown) when empty or past the end.
    CNode* GetOrCreateNode(int index);
    // The node of the location, a new one when none is at its point; -1 when the location has
    // neither postcode, city nor node code.
    int AddNode(const TLocationData& location);
    // Gives every location of the plan its node. False when an order's delivery location has
    // none.
    bool AssignAllNodes(CPlanLocations& plan);

    // The node file: one tab-separated line per index, numbers in the C locale.
    bool Save(const std::string& path) const;
    // Save to the plan's name with ".nod".
    bool Export(const std::string& planPath) const;
    // Appends the file's lines as nodes (a line whose first four fields are empty is an empty
    // slot); false when it cannot be read.
    bool Load(const std::string& path);
    // RemoveAll then Load.
    bool Init(const std::string& path);

    // The zone feedback table; false (traced) when its definition cannot be opened.
    bool ReadFeedBackCodesInformation();
    // Reads the feedback table and applies it to the program-wide matrices.
    bool ApplyFeedBackCodes();
    // Overrides matrix cells between nodes of different zones with the table's figures.
    void ApplyFeedBackTable(const CClasificacionNodos& translation,
                            std::vector<std::unique_ptr<CDistancesArray>>& matrices) const;
    TFeedbackTable& GetFeedbackTable() { return m_feedback; }

  private:
    void SetSlot(int index, std::unique_ptr<CNode> node);
    // The spatial index answers FindPoint; any node handed out for change makes it stale.
    void InvalidateIndex() const { m_indexedCount = -1; }
    void IndexNode(int index) const;
    void RefreshIndex() const;

    std::vector<std::unique_ptr<CNode>> m_nodes;
    int m_maxIndex = -1;
    TFeedbackTable m_feedback;

    mutable std::unordered_map<uint64_t, std::vector<int>> m_grid;
    // Points too far out for the grid's keys, by longitude: damaged files can hold many.
    mutable std::multimap<double, int> m_outsideGrid;
    mutable int m_indexedCount = 0;
};

// A node list with, per index, whether the node check accepted it and its candidate points.
class CCheckedNodesList : public CSchNodesList
{
  public:
    void RemoveAll() override;
    bool SameCheckedNodes(const CCheckedNodesList& other) const;
    // Appends a copy of a node (an empty node for null) with its checked flag.
    void AppendChecked(const CNode* node, bool checked);
    bool IsChecked(int index) const;

  private:
    std::vector<uint8_t> m_checked;
    std::vector<std::string> m_texts;
    std::vector<std::unique_ptr<CSchNodesList>> m_candidates;
};

// The plan's path without its extension (the stem every file of the plan set is named by).
std::string PlanFileStem(const std::string& planPath);
