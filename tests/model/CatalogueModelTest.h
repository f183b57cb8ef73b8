#pragma once

#include "CleanModelTest.h"
#include "KLV/Fetch.h"
#include "model/OrdersNavigation.h"
#include "model/VariableBuilders.h"
#include "params/TrevantorVariables.h"
#include "platform/Profile.h"

// A clean model whose orders move through the variable catalogue, with fresh definition files.
class CatalogueModelTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        trv::ClearProfileCache();
        CFetch::ResetDefinitionFiles();
        ResetTrevantorVariables();
        InstallVariableBuilders(TrevantorVariables());
        TrevantorVariables().Init();
        TrevantorVariables().SetEntityNavigation(&navigation);
    }
    void TearDown() override
    {
        ResetTrevantorVariables();
        CFetch::ResetDefinitionFiles();
        trv::ClearProfileCache();
        CleanModelTest::TearDown();
    }

    COrdersNavigation navigation;
};
