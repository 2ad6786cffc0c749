// How confusable patterns are: the highest correlation between two patterns in any orientation,
// either taken as the marker seen and the other as the pattern loaded. The matcher accepts a
// correlation of 0.5, so two patterns at 0.5 or more can be taken for each other.
#pragma once

#include <string>
#include <vector>

#include "tools/common/pattern_set.h"

constexpr double kConfusableCorrelation = 0.5;

// Highest correlation of a with b in any orientation, in either role; 0 .. 1.
double patternConfusion(const std::vector<int>& a, const std::vector<int>& b);

// The values of every pattern of a set, in order. false with *error naming the file (and the
// table line) that cannot be read.
bool readSetValues(const std::vector<PatternSetEntry>& entries, const std::string& setName,
                   std::vector<std::vector<int>>* values, std::string* error);

// The table of patternConfusion between every two patterns: a header line of names, then one
// line per pattern, "-" on the diagonal, values with two decimals.
std::string confusionTable(const std::vector<std::string>& names, const std::vector<std::vector<double>>& matrix);
