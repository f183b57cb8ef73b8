#pragma once

#include "containers/SmartArray.h"

#include <cstdint>
#include <string>

// The column model of a customizable list: which variables of an entity kind it shows, in
// which order and width. Seven parallel lists, one entry per column.
struct TVarsShowed
{
    CSmartStringArray captions;     // caption key, or a definition name for list kinds
    CSmartStringArray explanations; // explanation key, or a definition's explanation text
    CSmartStringArray keyNames;     // the variable's key name; "KEY[n]" for list kinds
    // 0 ordinary, 1 leading; after a saved layout 0, 2 or 3 by the saved flag.
    CSmartArray<uint16_t, uint16_t> states;
    CSmartUIntArray order;    // display position from 1; 0 until a layout is applied
    CSmartStringArray widths; // "-1" automatic
    CSmartArray<uint16_t, uint16_t> translateFlags; // captions and explanations are keys
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;

    int GetCount() const { return keyNames.GetSize(); }
    void AddColumn(const std::string& caption, const std::string& explanation,
                   const std::string& keyName, uint16_t state, uint16_t translate,
                   const std::string& width);
    void InsertColumn(int position, const std::string& caption, const std::string& explanation,
                      const std::string& keyName, uint16_t state, uint16_t translate,
                      const std::string& width);
    void RemoveAll();
    // The caption of column i, translated when its flag says so; empty outside the columns.
    std::string GetCaption(int index) const;
    // Orders and sizes the columns by a saved layout. The first `leadingCount` columns keep
    // their places; saved names from there on take the next places (a name saved twice takes
    // the later one), unknown names are skipped and the rest follow in column order. A saved
    // flag 0 gives state 0, 1 gives 2, any other 3; a name without a flag counts as flag 0.
    void ApplySavedLayout(const CSmartStringArray& savedKeyNames, const CSmartIntArray& savedFlags,
                          const CSmartStringArray& savedWidths, int& leadingCount);
};
