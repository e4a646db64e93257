#pragma once
// A test run on one of the scratch file systems, skipped with its reason when the file system
// or a capability the test needs cannot be had here.
#include "ChildReset.h"
#include "ScratchFileSystem.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class ScratchTest : public testing::TestWithParam<ScratchFileSystem::Kind>
{
protected:
    explicit ScratchTest(std::initializer_list<int> capabilities = {}, std::string why = {})
        : capabilities_(capabilities)
        , why_(std::move(why))
    { }

    void SetUp() override
    {
        for (const int capability : capabilities_) {
            if (!hasCapability(capability))
                GTEST_SKIP() << why_;
        }
        fileSystem_ = ScratchFileSystem::make(GetParam());
        if (!fileSystem_->unavailable().empty())
            GTEST_SKIP() << fileSystem_->unavailable();
    }

    std::unique_ptr<ScratchFileSystem> fileSystem_;

private:
    std::vector<int> capabilities_;
    std::string why_;
};
