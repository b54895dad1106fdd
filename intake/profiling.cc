#include "intake/profiling.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "base/eventlog.h"
#include "intake/analyser.h"
#include "model/docprof.h"
#include "model/termtab.h"
#include "store/database.h"
#include "text/docparser.h"

namespace {

// Documents named in the warning; the rest are counted.
const size_t named_flawed = 5;

// The documents whose analysis did not parse, in the order met.
std::vector<std::string> flawed;
unsigned long flawed_count = 0;
pid_t flawed_owner = 0;

// The warning comes last, whatever phase profiled the documents and however
// the run ends, so that it is not lost among the messages of the phases.
void warn_of_flawed_documents() {
  if (getpid() != flawed_owner) return;
  std::string names;
  for (const std::string &name : flawed) names += (names.empty() ? "" : ", ") + name;
  if (flawed_count > flawed.size()) names += ", ...";
  warning("documents analysed with parse errors: %lu (%s); they keep the terms that "
          "parsed, and the next run analyses them again",
          flawed_count, names.c_str());
}

void note_flawed_document(const std::string &document) {
  if (flawed_count++ == 0) {
    flawed_owner = getpid();
    atexit(warn_of_flawed_documents);
  }
  if (flawed.size() < named_flawed) flawed.push_back(document);
}

}  // namespace

void expect_document(const std::string &document) {
  if (!database.have_document_profile(document)) analyser.expect(document);
}

void profile_document(const std::string &document) {
  if (database.have_document_profile(document)) return;
  log_formatted(3, "profiling document `%s'", document.c_str());
  Doc doc;
  // Syntax errors are reported by the parser; the profile keeps what parsed,
  // and is stored stale, so that a later run (with a mended analyser, say)
  // makes it again.
  bool flawed_analysis = parse_document(analyser.process(document), document, true, doc) != 0;
  if (flawed_analysis) note_flawed_document(document);
  DocProfile profile;
  // Looking a pair up in the vocabulary means two cache misses in a large
  // one (the head's chain, then the modifier's slot): each is asked for a
  // few pairs ahead.
  const size_t ahead = 4;
  Doc::const_iterator last = doc.end();
  for (auto entry = doc.begin(); entry != last; ++entry) {
    if (last - entry > static_cast<std::ptrdiff_t>(2 * ahead))
      term_table.prefetch_chain(entry[2 * ahead].first.head);
    if (last - entry > static_cast<std::ptrdiff_t>(ahead))
      term_table.prefetch_link(entry[ahead].first.head, entry[ahead].first.mod);
    unsigned long term = term_table.enter(entry->first.head, entry->first.mod);
    mivo_assert(entry->second <= 4294967295UL);
    profile.enter_term(static_cast<uint32_t>(term),
                       static_cast<uint32_t>(entry->second));
  }
  database.enter_document_profile(document, &profile, flawed_analysis);
}
