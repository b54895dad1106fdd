#include "eval/confus.h"

#include <iomanip>
#include <sstream>

#include "base/eventlog.h"
#include "base/param.h"
#include "model/classtab.h"

namespace {

const unsigned int column_width = 10;
const unsigned int total_width = 15;

// Rows of the multiclass layout: RS, RNS, NRS and the unused NRNS.
const unsigned long multiclass_rows = 4;

}  // namespace

Field::Field(const char *value, unsigned int w)
    : kind(text_kind), text(value), width(w) {}

Field::Field(unsigned int value, unsigned int w)
    : kind(unsigned_kind), number(value), width(w) {}

Field::Field(Pct value, unsigned int w)
    : kind(pct_kind), pct(value.value), width(w) {}

void Field::print(std::ostream &os) const {
  switch (kind) {
    case text_kind:
      os << std::left << std::setw(width) << text << "  ";
      return;
    case unsigned_kind:
      os << std::right << std::setw(width) << number << "  ";
      return;
    case pct_kind:
      os << std::right << std::fixed << std::setprecision(2) << std::setw(width)
         << pct << "% ";
      return;
  }
  os << "<ERROR>";
}

std::ostream &operator<<(std::ostream &os, const Field &field) {
  field.print(os);
  return os;
}

double get_f_beta(const double &beta, const double &precision,
                  const double &recall) {
  double beta_sq = beta * beta;
  double denominator = beta_sq * precision + recall;
  if (denominator == 0.0) return 0.0;
  return (beta_sq + 1.0) * precision * recall / denominator;
}

ConfusionMatrix::ConfusionMatrix()
    : n(class_table.size()),
      num_docs(class_table.empty() ? 0 : class_table.get_data(0).examples.test.size()),
      multiclass(param.gen.multiclass()) {
  counts.assign(multiclass ? multiclass_rows * n : n * n, 0);
}

unsigned int &ConfusionMatrix::at(unsigned long pos) {
  mivo_assert(pos < size());
  return counts[pos];
}

unsigned int ConfusionMatrix::at(unsigned long pos) const {
  mivo_assert(pos < size());
  return counts[pos];
}

void ConfusionMatrix::enter(unsigned long true_class,
                            unsigned long predicted_class) {
  if (multiclass) return;
  mivo_assert(predicted_class < n);
  ++at(true_class * n + predicted_class);
}

void ConfusionMatrix::add(Row row, unsigned long class_id) {
  mivo_assert(class_id < n);
  ++at(row * n + class_id);
  ++at(row * n);
}

void ConfusionMatrix::enterRS(unsigned long class_id) { add(rs_row, class_id); }

void ConfusionMatrix::enterRNS(unsigned long class_id) { add(rns_row, class_id); }

void ConfusionMatrix::enterNRS(unsigned long class_id) { add(nrs_row, class_id); }

unsigned int ConfusionMatrix::get_confusion(unsigned long row,
                                            unsigned long column) const {
  mivo_assert(column < n);
  return at(row * n + column);
}

unsigned int ConfusionMatrix::off_diagonal(unsigned long c, bool along_row) const {
  unsigned int sum = 0;
  for (unsigned long other = 0; other < n; ++other)
    if (other != c)
      sum += along_row ? get_confusion(c, other) : get_confusion(other, c);
  return sum;
}

unsigned int ConfusionMatrix::get_corr_mem(unsigned long c) const {
  return multiclass ? get_confusion(rs_row, c) : get_confusion(c, c);
}

unsigned int ConfusionMatrix::get_miss_mem(unsigned long c) const {
  return multiclass ? get_confusion(rns_row, c) : off_diagonal(c, true);
}

unsigned int ConfusionMatrix::get_miss_non(unsigned long c) const {
  return multiclass ? get_confusion(nrs_row, c) : off_diagonal(c, false);
}

bool ConfusionMatrix::get_precis(unsigned long c, double &value) const {
  double correct = get_corr_mem(c);
  double denominator = correct + get_miss_non(c);
  value = denominator == 0.0 ? 0.0 : correct / denominator;
  return denominator != 0.0;
}

bool ConfusionMatrix::get_recall(unsigned long c, double &value) const {
  double correct = get_corr_mem(c);
  double denominator = correct + get_miss_mem(c);
  value = denominator == 0.0 ? 0.0 : correct / denominator;
  return denominator != 0.0;
}

void ConfusionMatrix::get_fallout(unsigned long c, double &value) const {
  value = 0.0;
  if (!multiclass) return;
  // With several true classes per document the totals' relevant pairs can
  // outnumber the documents; such a denominator means no fallout at all.
  long long others = static_cast<long long>(num_docs) - get_corr_mem(c) -
                     get_miss_mem(c);
  if (others > 0) value = get_miss_non(c) / static_cast<double>(others);
}

void ConfusionMatrix::print_name(std::ostream &os, unsigned long c) const {
  class_table.print_full_name(os, static_cast<uint32_t>(c));
}

void ConfusionMatrix::print_confus(std::ostream &os) const {
  if (!multiclass) {
    os << "Confusion:\n";
    for (unsigned long t = 0; t < n; ++t) {
      for (unsigned long p = 0; p < n; ++p) {
        if (t == p || get_confusion(t, p) == 0) continue;
        print_name(os, t);
        os << "  ";
        print_name(os, p);
        os << "  " << Field(get_confusion(t, p), column_width) << "\n";
      }
    }
    return;
  }
  os << "Contingency table:RS/RNS/NRS/NRNS\n";
  for (unsigned long c = 0; c < n; ++c) {
    print_name(os, c);
    os << "  ";
    unsigned long long selected_or_relevant = 0;
    for (Row row : {rs_row, rns_row, nrs_row}) {
      unsigned int count = get_confusion(row, c);
      selected_or_relevant += count;
      os << Field(count, column_width) << "  ";
    }
    if (selected_or_relevant <= num_docs)
      os << Field(static_cast<unsigned int>(num_docs - selected_or_relevant),
                  column_width);
    else
      os << "0";
    os << "\n";
  }
}

void ConfusionMatrix::print_precis_recall(std::ostream &os) const {
  os << "Precision/Recall/F-Measure" << (multiclass ? "/Fallout" : "") << "\n";
  for (unsigned long c = 0; c < n; ++c) {
    double precision, recall, fallout;
    if (!get_precis(c, precision) || !get_recall(c, recall)) continue;
    get_fallout(c, fallout);
    double f = get_f_beta(param.gen.get_fparameter(), precision, recall);
    if (c == 0)
      os << "Total";
    else
      print_name(os, c);
    os << "  " << Field(Pct(precision), column_width) << "  "
       << Field(Pct(recall), column_width) << "  " << Field(Pct(f), column_width);
    if (multiclass) os << "  " << Field(Pct(fallout), column_width);
    os << "\n";
  }
}

void ConfusionMatrix::print_errors(std::ostream &os) const {
  if (multiclass) return;
  os << "Correct/Erroneous/Error-rate:\n";
  unsigned int total_correct = 0, total_erroneous = 0;
  for (unsigned long c = 1; c < n; ++c) {
    unsigned int correct = get_corr_mem(c), erroneous = get_miss_non(c);
    if (correct == 0 && erroneous == 0) continue;
    total_correct += correct;
    total_erroneous += erroneous;
    print_name(os, c);
    os << "  " << Field(correct, column_width) << "  "
       << Field(erroneous, column_width) << "  "
       << Field(Pct(erroneous, correct), column_width) << "\n";
  }
  os << Field("Total", total_width) << "  " << Field(total_correct, column_width)
     << "  " << Field(total_erroneous, column_width) << "  "
     << Field(Pct(total_erroneous, total_correct), column_width) << "\n";
}

void ConfusionMatrix::print(std::ostream &os) const {
  print_confus(os);
  os << "\n";
  print_precis_recall(os);
  os << "\n";
  print_errors(os);
}

void ConfusionMatrix::log(unsigned int level) const {
  std::ostringstream report;
  print(report);
  log_results(level, report.str().c_str());
}
