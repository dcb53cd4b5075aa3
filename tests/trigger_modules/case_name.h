// Names each case of a parameterised suite after its `name` field.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace trigger_test {

struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& parameter) const {
        return parameter.param.name;
    }
};

}  // namespace trigger_test
