// The confusion matrix of a test run: counts of the decisions per class, the
// measures drawn from them (precision, recall, F-measure, fallout) and the
// text report that goes to the event log.
#ifndef MIVO_EVAL_CONFUS_H
#define MIVO_EVAL_CONFUS_H

#include <cstdint>
#include <ostream>
#include <vector>

// A percentage.
struct Pct {
  // x as a fraction: the value is x x 100.
  explicit Pct(double x) : value(x * 100.0) {}
  // a as a share of a + b, or 100 when both are 0.
  Pct(double a, double b) : value(a + b == 0.0 ? 100.0 : a * 100.0 / (a + b)) {}

  double value;
};

// One column of the report, padded to its width.
class Field {
 public:
  Field(const char *text, unsigned int width);
  Field(unsigned int number, unsigned int width);
  Field(Pct pct, unsigned int width);

  // Text left-aligned, numbers right-aligned; percentages with 2 decimals.
  void print(std::ostream &os) const;

 private:
  enum Kind { text_kind, unsigned_kind, pct_kind };

  Kind kind;
  const char *text = nullptr;
  unsigned int number = 0;
  double pct = 0.0;
  unsigned int width;
};

std::ostream &operator<<(std::ostream &os, const Field &field);

// F-measure; 0.0 when precision and recall are such that it is undefined.
double get_f_beta(const double &beta, const double &precision,
                  const double &recall);

// Multiclass mode (the mode testing uses): rows RS, RNS, NRS of one counter
// per class id, column 0 holding the totals. Single-class mode: true class by
// predicted class. The mode is taken from the parameters at construction.
class ConfusionMatrix {
 public:
  ConfusionMatrix();

  // Single-class mode only.
  void enter(unsigned long true_class, unsigned long predicted_class);
  // Relevant and selected, relevant not selected, selected but not relevant.
  void enterRS(unsigned long class_id);
  void enterRNS(unsigned long class_id);
  void enterNRS(unsigned long class_id);

  unsigned int get_confusion(unsigned long row, unsigned long column) const;
  unsigned int get_corr_mem(unsigned long class_id) const;
  unsigned int get_miss_mem(unsigned long class_id) const;
  unsigned int get_miss_non(unsigned long class_id) const;
  // False, with value 0.0, when the measure is undefined.
  bool get_precis(unsigned long class_id, double &value) const;
  bool get_recall(unsigned long class_id, double &value) const;
  // Wrongly admitted documents over the documents not in the class.
  void get_fallout(unsigned long class_id, double &value) const;

  void print_confus(std::ostream &os) const;
  void print_precis_recall(std::ostream &os) const;
  // Single-class mode only.
  void print_errors(std::ostream &os) const;
  void print(std::ostream &os) const;
  // The whole report into the event log.
  void log(unsigned int level) const;

 private:
  enum Row { rs_row = 0, rns_row = 1, nrs_row = 2 };

  unsigned long size() const { return counts.size(); }
  unsigned int &at(unsigned long pos);
  unsigned int at(unsigned long pos) const;
  void add(Row row, unsigned long class_id);
  // Sum of a row (along_row) or a column without its diagonal counter.
  unsigned int off_diagonal(unsigned long c, bool along_row) const;
  void print_name(std::ostream &os, unsigned long class_id) const;

  std::vector<unsigned int> counts;
  unsigned long n;          // classes in the table at construction
  unsigned long num_docs;   // test documents of the root
  bool multiclass;
};

#endif  // MIVO_EVAL_CONFUS_H
