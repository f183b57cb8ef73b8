#pragma once

#include "CleanModelTest.h"
#include "model/VariableBuilders.h"
#include "params/TrevantorVariables.h"

// A clean model and empty fleet whose entities move through a fresh variable catalogue.
class FleetCatalogueTest : public CleanFleetTest
{
  protected:
    void SetUp() override
    {
        CleanFleetTest::SetUp();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CleanFleetTest::TearDown();
    }
};
