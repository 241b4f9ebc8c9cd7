// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A plain-text table: columns as wide as their widest cell, text columns aligned left and figures
// right, two spaces between columns. Also the number formats the report uses.

#include <cstdio>
#include <string>
#include <vector>

namespace q71x::bench {

enum class Align { Left, Right };

class TextTable {
 public:
  explicit TextTable(std::vector<std::pair<std::string, Align>> columns);
  void AddRow(std::vector<std::string> cells);
  void Print(std::FILE* out) const;

 private:
  std::vector<std::string> headings_;
  std::vector<Align> aligns_;
  std::vector<std::vector<std::string>> rows_;
};

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Milliseconds from microseconds, with one decimal.
std::string Milliseconds(double microseconds);
// A ratio as a percentage with enough digits to tell 0.01% from 0.001%.
std::string Percent(double ratio);

// Median and spread of repeated measurements.
struct Spread {
  double Median = 0;
  double Min = 0;
  double Max = 0;
};
Spread SpreadOf(std::vector<double> values);

}  // namespace q71x::bench
