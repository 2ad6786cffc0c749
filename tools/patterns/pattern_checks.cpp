#include "tools/patterns/pattern_checks.h"

#include <algorithm>
#include <cstdio>

#include "detect/pattern_file.h"

double patternConfusion(const std::vector<int>& a, const std::vector<int>& b) {
  return std::max(0.0, std::max(arPatternSimilarity(a, b, nullptr), arPatternSimilarity(b, a, nullptr)));
}

bool readSetValues(const std::vector<PatternSetEntry>& entries, const std::string& setName,
                   std::vector<std::vector<int>>* values, std::string* error) {
  values->assign(entries.size(), {});
  for (size_t i = 0; i < entries.size(); i++) {
    if (arReadPatternValues(entries[i].file, &(*values)[i], error) == ArPatternFileStatus::Ok) continue;
    if (entries[i].line > 0) *error = setName + ":" + std::to_string(entries[i].line) + ": " + *error;
    return false;
  }
  return true;
}

std::string confusionTable(const std::vector<std::string>& names, const std::vector<std::vector<double>>& matrix) {
  size_t width = 4;
  for (const std::string& name : names) width = std::max(width, name.size());
  const int w = static_cast<int>(width);
  char cell[64];
  std::string text;
  std::snprintf(cell, sizeof cell, "%-*s", w, "");
  text += cell;
  for (const std::string& name : names) {
    std::snprintf(cell, sizeof cell, "  %*s", w, name.c_str());
    text += cell;
  }
  text += "\n";
  for (size_t i = 0; i < names.size(); i++) {
    std::snprintf(cell, sizeof cell, "%-*s", w, names[i].c_str());
    text += cell;
    for (size_t j = 0; j < names.size(); j++) {
      if (i == j) std::snprintf(cell, sizeof cell, "  %*s", w, "-");
      else std::snprintf(cell, sizeof cell, "  %*.2f", w, matrix[i][j]);
      text += cell;
    }
    text += "\n";
  }
  return text;
}
