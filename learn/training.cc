#include "learn/training.h"

#include "base/resources.h"
#include "base/eventlog.h"
#include "eval/thresholds.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "select/selection.h"
#include "store/database.h"

bool is_father(const ClassData &data) {
  return !data.sons.empty() && !data.examples.train.empty();
}

void log_training(const char *algorithm, const ClassData &father) {
  log_formatted_results(1, "training %s on `%s' with %d documents: %d active terms.",
                        algorithm, class_table.get_name(father.id).c_str(),
                        static_cast<int>(father.examples.train.size()),
                        static_cast<int>(selected_terms.size()));
}

void set_training_strengths(ClassData &father, const char *label) {
  const char *name = class_table.get_name(father.id).c_str();
  // Fewer than ten documents give no progress messages; past 100% they go on.
  long step = static_cast<long>(father.examples.train.size() / 10);
  long done = 0;
  for (const auto &entry : father.examples.train) {
    database.get_document_profile(entry.first)->set_class_document_strengths(father.id);
    ++done;
    if (step != 0 && done % step == 0)
      log_formatted_results(2, "%s on <%s> %1.0ld0%% complete", label, name, done / step);
  }
}

void finish_training() {
  // The threshold step gets a resource line of its own, so that its cost
  // shows apart from the learner's.
  report_resources();
  // The thresholds score the training documents still in the cache.
  set_leaf_thresholds();
  database.release_all_profiles();
}
