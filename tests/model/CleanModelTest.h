#pragma once

#include "model/ModelContext.h"
#include "model/Resources.h"
#include "params/Parameters.h"

#include <gtest/gtest.h>

// A test that starts and ends with the constructor's parameters and an empty model context.
class CleanModelTest : public ::testing::Test
{
  protected:
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }

  private:
    static void Reset()
    {
        ResetUserParameters();
        ResetModelContext();
    }
};

// A clean model test that also starts and ends with an empty fleet.
class CleanFleetTest : public CleanModelTest
{
  protected:
    void SetUp() override
    {
        CleanModelTest::SetUp();
        ResetResources();
    }
    void TearDown() override
    {
        ResetResources();
        CleanModelTest::TearDown();
    }
};
