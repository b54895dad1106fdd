// The process-wide objects, defined in one place so that they are constructed
// in this order and destroyed in the reverse order, also on exit.
#include <fstream>
#include <set>

#include "base/eventlog.h"
#include "base/memory.h"
#include "base/options.h"
#include "base/param.h"
#include "intake/analyser.h"
#include "model/atomtab.h"
#include "model/classtab.h"
#include "model/termtab.h"
#include "select/selection.h"
#include "store/database.h"

Param param;
Options options;
Memory memory;
AtomTable atom_table;
DataBase database;
TermTable term_table;
ClassTable class_table;
Analyser analyser;
EventLog event_log;
std::set<unsigned long> selected_terms;
std::ofstream score_ofs;
