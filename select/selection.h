// Term selection: the terms that the learners see. The global set holds the
// ids of the selected terms; an empty set means that no selection was made.
// Each class picks its characteristic terms from the statistics of its
// training documents.
#ifndef MIVO_SELECT_SELECTION_H
#define MIVO_SELECT_SELECTION_H

#include <set>

#include "base/param.h"

#include <cstdint>

struct FeatureInfo;

// Per term of a class: sums of its per-mille frequencies and of their squares
// over the class's training documents. Never stored, and 64 bits because a
// dominant term adds up to a million per document to sum_sq.
struct StatisticalInfo {
  uint64_t sum = 0;
  uint64_t sum_sq = 0;
};

extern std::set<unsigned long> selected_terms;

// What a selection method knows of the class beside the term itself.
struct ClassSummary {
  double num_docs;     // N: training documents of the class
  double sum_freq;     // S: term occurrences in them
  double num_classes;  // C: classes in the table
  double vocabulary;   // V: distinct terms of all training documents
};

// Whether the method keeps a term of the class at the given selectivity.
bool is_term_selected(TermSelType method, double selectivity,
                      const ClassSummary &summary, const FeatureInfo &info,
                      const StatisticalInfo &statistics);

// Statistics and term selection for every class of the class table, then
// the class profiles pruned to the union of the selections and of the terms
// already in selected_terms (a stored model's), which becomes selected_terms
// and is handed to the data base, so that every document profile it loads
// from then on is pruned alike.
void update_all_class_data();

#endif  // MIVO_SELECT_SELECTION_H
