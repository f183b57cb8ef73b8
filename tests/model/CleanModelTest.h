#pragma once

#include "model/ModelContext.h"
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
