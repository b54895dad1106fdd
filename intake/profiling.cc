#include "intake/profiling.h"

#include <unistd.h>

#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
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

// Profiling takes two threads: this one asks the analysers and parses,
// meeting and reporting every error in document order, while the other
// looks the pairs of the batch before up in the vocabulary. This thread
// stores the profiles, in order, once they are made.
const size_t batch_size = 256;

struct Parsed {
  std::string name;
  Doc doc;
  bool flawed = false;
  DocProfile profile;
};

std::vector<Parsed> parsing;  // by this thread
std::vector<Parsed> making;   // by the other, until made is ready
std::future<void> made;
std::unordered_set<std::string> pending;  // the names of both batches
pid_t profiling_owner = 0;
std::thread::id profiling_thread;
// While the vocabulary is read back or profiles are stored, a run that ends
// leaves both as they are.
bool at_risk = false;

// Looking a pair up in the vocabulary means two cache misses in a large one
// (the head's chain, then the modifier's slot): each is asked for a few
// pairs ahead.
void make_profile(Parsed &parsed) {
  const size_t ahead = 4;
  const Doc &doc = parsed.doc;
  Doc::const_iterator last = doc.end();
  for (auto entry = doc.begin(); entry != last; ++entry) {
    if (last - entry > static_cast<std::ptrdiff_t>(2 * ahead))
      term_table.prefetch_chain(entry[2 * ahead].first.head);
    if (last - entry > static_cast<std::ptrdiff_t>(ahead))
      term_table.prefetch_link(entry[ahead].first.head, entry[ahead].first.mod);
    unsigned long term = term_table.enter(entry->first.head, entry->first.mod);
    mivo_assert(entry->second <= 4294967295UL);
    parsed.profile.enter_term(static_cast<uint32_t>(term), static_cast<uint32_t>(entry->second));
  }
}

void store(std::vector<Parsed> &batch) {
  at_risk = true;
  for (Parsed &parsed : batch) {
    database.enter_document_profile(parsed.name, &parsed.profile, parsed.flawed);
    pending.erase(parsed.name);
  }
  at_risk = false;
  batch.clear();
}

void store_made() {
  if (!made.valid()) return;
  made.get();
  store(making);
}

// A run that ends in the middle of profiling (an analyser that hangs, say)
// keeps the profiles of the documents parsed before: they are stored here,
// before the data base closes on its way out.
void store_on_exit() {
  if (getpid() == profiling_owner && std::this_thread::get_id() == profiling_thread && !at_risk)
    finish_profiling();
}

// A vocabulary left to be read on first use is read by the thread that
// parses, where a damaged file can end the run.
void read_vocabulary() {
  at_risk = true;
  term_table.read_back();
  at_risk = false;
}

void hand_over() {
  store_made();
  read_vocabulary();
  making.swap(parsing);
  made = std::async(std::launch::async, [] {
    for (Parsed &parsed : making) make_profile(parsed);
  });
}

}  // namespace

void expect_document(const std::string &document) {
  if (!database.have_document_profile(document)) analyser.expect(document);
}

void profile_document(const std::string &document) {
  if (database.have_document_profile(document) || pending.count(document) != 0) return;
  log_formatted(3, "profiling document `%s'", document.c_str());
  if (profiling_owner == 0) {
    profiling_owner = getpid();
    profiling_thread = std::this_thread::get_id();
    atexit(store_on_exit);
  }
  Parsed parsed;
  parsed.name = document;
  // Syntax errors are reported by the parser; the profile keeps what parsed,
  // and is stored stale, so that a later run (with a mended analyser, say)
  // makes it again.
  parsed.flawed = parse_document(analyser.process(document), document, true, parsed.doc) != 0;
  if (parsed.flawed) note_flawed_document(document);
  pending.insert(document);
  parsing.push_back(std::move(parsed));
  if (parsing.size() >= batch_size) hand_over();
}

// The last batch's pairs are looked up here, after those of the batch
// before: terms are numbered in document order.
void finish_profiling() {
  if (parsing.empty() && !made.valid()) return;
  store_made();
  read_vocabulary();
  for (Parsed &parsed : parsing) make_profile(parsed);
  store(parsing);
}
