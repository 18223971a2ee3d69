// Names the tests of a table after the row's own name field, so that a failing row reads as
// the case it is rather than as a number.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct RowName {
    template <typename Row>
    std::string operator()(const testing::TestParamInfo<Row>& row) const
    {
        return row.param.name;
    }
};
