// Term selection: the terms that the learners see. The global set holds the
// ids of the selected terms; an empty set means that no selection was made.
// Each class picks its characteristic terms from the statistics of its
// training documents (ClassTable::update_all_class_data, defined here).
#ifndef MIVO_SELECT_SELECTION_H
#define MIVO_SELECT_SELECTION_H

#include <set>

#include "base/param.h"

struct ClassData;
struct FeatureInfo;
struct StatisticalInfo;

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

// Adds the class's selected terms to selected.
void select_class_terms(const ClassData &data, unsigned long vocabulary,
                        std::set<unsigned long> &selected);

#endif  // MIVO_SELECT_SELECTION_H
