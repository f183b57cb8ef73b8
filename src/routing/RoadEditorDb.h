#pragma once

#include "KLV/AdoDB.h"

#include <map>
#include <string>

// The editor settings the map shows closed segments with: which segment attributes are on, the
// reference date of the closures and the author whose entries are shown.
struct TRoadEditorSettings
{
    std::map<int, bool> attributes;
    double referenceDate = 0.0;
    int authorId = -1;
};

// How the map's "Roads" layer shows one segment attribute.
struct TSegmentAttributeStyle
{
    bool on = false;
    double scale = 0.0;
    std::string name;
    long colour = 0;
    int width = 0;
    int pattern = 0;
    double size = 0.0;
};

// The map's "Roads" layer: the road-editor symbol layers and the segment attributes it shows
// (read by the map view).
struct TRoadsLayer
{
    int symbolLayerMask = 0;
    std::map<int, double> symbolLayers;
    std::map<int, TSegmentAttributeStyle> attributes;
};

// One stored closure of a road segment for an author: its identifier and the two directions.
struct TRoadSegmentEntry
{
    long long id = -1;
    bool firstClosed = false;
    bool secondClosed = false;
};

// The road-editor database: the authors and the road segments they close, in a SQLite file
// (any path: the company's, a plan's). Opening a file that does not exist creates it with its
// tables, which is how the template is made.
class CRoadEditorDb
{
  public:
    bool Open(const std::string& path);
    void Release();
    bool IsOpen() const { return m_database != nullptr && m_database->m_pConnection != nullptr; }
    const std::string& Path() const { return m_path; }
    const std::string& LastError() const { return m_lastError; }

    // The author's identifier; -1 when there is none of that name.
    long long FindAuthor(const std::string& name);
    // The new author's identifier; -1 on failure.
    long long AddAuthor(const std::string& name, const std::string& description);

    // The author's entry for the segment; false when there is none.
    bool DescribeSegment(int first, int second, long long authorId, TRoadSegmentEntry& entry);
    bool WriteEntry(int first, int second, int attribute, bool firstClosed, bool secondClosed,
                    long long authorId);
    bool DeleteEntry(long long id);

    TRoadEditorSettings& Settings() { return m_settings; }

  private:
    bool Run(const std::string& statement);
    // The first column of the first row as an integer; -1 when there is no row.
    long long QueryId(const std::string& statement);

    CAdoDBPtr m_database;
    std::string m_path;
    std::string m_lastError;
    TRoadEditorSettings m_settings;
};
