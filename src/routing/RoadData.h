#pragma once

#include <istream>
#include <string>

// Road data from an OpenStreetMap extract: the road-network library's planetsplitter writes the
// routing database into a folder, which then records the extract and an anchor point.

// The junction nearest the centre of the routable nodes, read from the routing database's dump
// as OSM XML (filedumper --dump-osm: one node per element, junctions tagged "routino:super").
// False when the dump holds no junction.
bool FindRoadDataAnchor(std::istream& dump, double& longitude, double& latitude);

// Prepares `folder` from `extract` and records both with the anchor (Roads.ini). With `quiet`
// the tools' own output is dropped. False, with the reason in `error`, when a tool fails.
bool PrepareRoadData(const std::string& extract, const std::string& folder, bool quiet,
                     std::string& error);
