#pragma once

#include "model/Condicionantes.h"
#include "model/WareHouses.h"

// The program-wide objects of the demand and fleet models, in one place so that a new plan or a
// test can start from a clean state.
struct CModelContext
{
    // The requirement definitions every entity's requirement values have one slot for.
    CListaCondicionantes requirementDefinitions;
    CProducts products;
    CWareHouses wareHouses;
};

// The one program-wide model context.
CModelContext& ModelContext();
// Replaces it by a newly constructed one (tests start clean).
void ResetModelContext();
