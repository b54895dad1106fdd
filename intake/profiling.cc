#include "intake/profiling.h"

#include "base/eventlog.h"
#include "intake/analyser.h"
#include "model/docprof.h"
#include "model/termtab.h"
#include "store/database.h"
#include "text/docparser.h"

void expect_document(const std::string &document) {
  if (!database.have_document_profile(document)) analyser.expect(document);
}

void profile_document(const std::string &document) {
  if (database.have_document_profile(document)) return;
  log_formatted(3, "profiling document `%s'", document.c_str());
  Doc doc;
  // Syntax errors are reported by the parser; the profile keeps what parsed.
  parse_document(analyser.process(document), document, true, doc);
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
  database.enter_document_profile(document, &profile);
}
