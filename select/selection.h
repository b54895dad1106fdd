// Term selection: the terms that the learners see. The global set holds the
// ids of the selected terms; an empty set means that no selection was made.
#ifndef MIVO_SELECT_SELECTION_H
#define MIVO_SELECT_SELECTION_H

#include <set>

extern std::set<unsigned long> selected_terms;

#endif  // MIVO_SELECT_SELECTION_H
