// SPDX-License-Identifier: GPL-2.0-or-later
#include "bench/report_table.h"

#include <algorithm>
#include <cstdarg>

namespace q71x::bench {

TextTable::TextTable(std::vector<std::pair<std::string, Align>> columns) {
  for (auto& [heading, align] : columns) {
    headings_.push_back(std::move(heading));
    aligns_.push_back(align);
  }
}

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(headings_.size());
  rows_.push_back(std::move(cells));
}

void TextTable::Print(std::FILE* out) const {
  std::vector<std::size_t> widths(headings_.size(), 0);
  for (std::size_t c = 0; c < headings_.size(); ++c) {
    widths[c] = headings_[c].size();
    for (const auto& row : rows_) {
      widths[c] = std::max(widths[c], row[c].size());
    }
  }
  auto printRow = [&](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::string pad(widths[c] - cells[c].size(), ' ');
      line += aligns_[c] == Align::Left ? cells[c] + pad : pad + cells[c];
      if (c + 1 < cells.size()) {
        line += "  ";
      }
    }
    while (!line.empty() && line.back() == ' ') {
      line.pop_back();
    }
    std::fprintf(out, "%s\n", line.c_str());
  };
  printRow(headings_);
  for (const auto& row : rows_) {
    printRow(row);
  }
}

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

std::string Milliseconds(double microseconds) {
  return Format("%.1f", microseconds / 1000.0);
}

std::string Percent(double ratio) {
  const double percent = ratio * 100.0;
  return percent >= 0.1 ? Format("%.2f%%", percent) : Format("%.4f%%", percent);
}

Spread SpreadOf(std::vector<double> values) {
  Spread spread;
  if (values.empty()) {
    return spread;
  }
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  spread.Median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  spread.Min = values.front();
  spread.Max = values.back();
  return spread;
}

}  // namespace q71x::bench
