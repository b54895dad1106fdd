// Scoring many documents against many class profiles whose weights no longer
// change: the threshold step, the test phase and polling. Each term leads to
// its entries in all the profiles at once, so that a document costs one probe
// per term however many classes score it, not one probe per term and class.
// Neither serves SBC, which charges a class for every term it does not know.
#ifndef MIVO_EVAL_SCORING_H
#define MIVO_EVAL_SCORING_H

#include <cstdint>
#include <vector>

#include "model/classprof.h"

class DocProfile;
class ClassTable;

// What a term adds to one column's score, before the document's strength.
struct Posting {
  uint32_t column;
  double factor;
};

// Scores a document for several profiles (the columns) with the strengths
// the document holds, giving each the very bits ClassProfile::predict_score
// gives under Winnow and Rocchio.
class ColumnScorer {
 public:
  explicit ColumnScorer(const std::vector<const ClassProfile *> &profiles);
  // scores[i] becomes the score of the document for profiles[i].
  void predict_scores(const DocProfile &doc, std::vector<double> &scores) const;

 private:
  size_t width;
  TermIndex slots;               // term -> slot
  std::vector<uint32_t> rows;    // slot -> its row of factors, or absent
  std::vector<double> factors;   // the rows, width factors each
  std::vector<uint32_t> starts;  // slot -> its first posting; one more at the end
  std::vector<Posting> postings;
};

// For every class with sons: a document's strengths relative to the class,
// then its scores for the sons, all in one pass through the document. The
// scores are those that DocProfile::set_class_document_strengths followed by
// each son's ClassProfile::predict_score give, bit for bit, under Winnow and
// Rocchio; unlike them it changes neither the document nor the profiles.
class HierarchyScorer {
 public:
  explicit HierarchyScorer(const ClassTable &table);
  // Scores the document for the sons of every class.
  void predict_scores(const DocProfile &doc);
  // The scores of the last document for the sons of the class, in order of
  // sons; empty for a leaf.
  void get_scores(uint32_t class_id, std::vector<double> &scores) const;

 private:
  // One class knowing a term: the class, the term's inverse document
  // frequency in it, and where the postings of its sons for the term begin
  // (they end where the next entry's begin), or its row of factors.
  struct Entry {
    uint32_t father;
    uint32_t first_posting;
    uint32_t row;  // where in factors, or absent
    double idf;
  };
  struct Father {
    uint32_t first_column;
    uint32_t width;
  };

  void build(const ClassTable &table);
  // The entry of the class (a position in fathers) for the term, or absent.
  uint32_t find_entry(uint32_t term, uint32_t father) const;

  std::vector<Father> fathers;          // the classes with sons
  std::vector<uint32_t> father_of;      // class id -> position in fathers, or absent
  TermIndex slots;                      // term -> slot
  std::vector<uint32_t> entry_starts;   // slot -> its first entry; one more at the end
  std::vector<Entry> entries;           // with one more at the end
  std::vector<Posting> postings;
  std::vector<double> factors;          // rows, one factor a son
  size_t columns;
  // Per document, kept to save allocations.
  std::vector<uint32_t> found;
  std::vector<double> raw;
  std::vector<double> totals;
  std::vector<double> scores;
};

#endif  // MIVO_EVAL_SCORING_H
