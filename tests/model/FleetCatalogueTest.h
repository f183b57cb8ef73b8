#pragma once

#include "model/ModelContext.h"
#include "model/Resources.h"
#include "model/VariableBuilders.h"
#include "params/Parameters.h"
#include "params/TrevantorVariables.h"

#include <gtest/gtest.h>

// The constructor's parameters, an empty model and fleet, and a fresh variable catalogue that
// moves the fleet's entities; for fixtures that cannot derive from the one below.
inline void StartFleetCatalogue()
{
    ResetUserParameters();
    ResetModelContext();
    ResetResources();
    ResetTrevantorVariables();
    InstallVariableBuilders(TrevantorVariables());
    TrevantorVariables().Init();
}

inline void EndFleetCatalogue()
{
    ResetTrevantorVariables();
    ResetResources();
    ResetModelContext();
    ResetUserParameters();
}

class FleetCatalogueTest : public ::testing::Test
{
  protected:
    void SetUp() override { StartFleetCatalogue(); }
    void TearDown() override { EndFleetCatalogue(); }
};
