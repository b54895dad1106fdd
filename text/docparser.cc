#include "text/docparser.h"

#include <algorithm>
#include <sstream>

#include "model/atomtab.h"

void ProtoTerm::print(std::ostream &os) const {
  os << "[ \"" << atom_text(head);
  if (mod != NoId) os << "\", \"" << atom_text(mod);
  os << "\" ]";
}

std::ostream &operator<<(std::ostream &os, const ProtoTerm &term) {
  term.print(os);
  return os;
}

std::size_t Doc::count(const ProtoTerm &term) const {
  merge();
  auto place = std::lower_bound(
      entries.begin(), entries.end(), term,
      [](const Entry &entry, const ProtoTerm &key) { return ProtoTermLT()(entry.first, key); });
  return place != entries.end() && !ProtoTermLT()(term, place->first) ? 1 : 0;
}

void Doc::merge() const {
  if (merged == entries.size()) return;
  auto less = [](const Entry &a, const Entry &b) { return ProtoTermLT()(a.first, b.first); };
  auto middle = entries.begin() + static_cast<std::ptrdiff_t>(merged);
  std::sort(middle, entries.end(), less);
  if (merged != 0) std::inplace_merge(entries.begin(), middle, entries.end(), less);
  // Equal pairs are next to each other now: the first of each run takes the
  // counts of the others.
  auto kept = entries.begin();
  for (auto entry = entries.begin() + 1; entry < entries.end(); ++entry) {
    if (less(*kept, *entry))
      *++kept = *entry;
    else
      kept->second += entry->second;
  }
  entries.erase(kept + 1, entries.end());
  merged = entries.size();
}

bool Doc::write(std::ostream &os) const {
  for (const auto &entry : *this) {
    os << entry.second << '\t' << entry.first << '\n';
    if (!os) return false;
  }
  return os.good();
}

DocParser::DocParser(Doc &d, bool enter, std::istream &is,
                     const std::string &name)
    : Scanner(DocScanner, is, name.c_str()), doc(d), enter_new_atoms(enter), frame_depth(0), unwinding(false) {}

void DocParser::parse() {
  std::vector<unsigned long> heads;
  while (!eof()) {
    unwinding = false;
    unsigned long atom;
    heads.clear();
    if (was_single_term(atom))
      maybe_enter_term(atom, NoId);
    else if (!was_frame(heads))
      skip_token();
  }
}

bool DocParser::was_single_term(unsigned long &atom) {
  if (!is_token(WORD) && !is_token(STRING)) return false;
  atom = make_atom(text_view());
  skip_token();
  return true;
}

namespace {

void extend_phrase(std::string &phrase, std::string_view word) {
  if (!phrase.empty()) phrase += ' ';
  phrase += word;
}

}  // namespace

bool DocParser::was_terms(std::vector<unsigned long> &result) {
  // Mostly the phrase is one word: it is kept aside in a buffer that lasts
  // as long as the parser, and becomes an atom only when no frame or word
  // follows to make it part of a longer phrase.
  if (!is_token(WORD) && !is_token(STRING)) return was_phrases(result, "", false);
  first_word.assign(text_view());
  skip_token();
  if (!is_token('[') && !is_token('{') && !is_token(WORD) && !is_token(STRING)) {
    if (!first_word.empty()) result.push_back(make_atom(first_word));
    return true;
  }
  return was_phrases(result, first_word, true);
}

bool DocParser::was_phrases(std::vector<unsigned long> &result,
                            std::string_view start, bool found) {
  std::vector<std::string> phrases(1, std::string(start));
  bool capped = false;
  for (;;) {
    std::vector<unsigned long> frame_heads;
    if (was_frame(frame_heads)) {
      if (unwinding) return false;
      std::vector<std::string> extended;
      for (const std::string &phrase : phrases) {
        for (unsigned long atom : frame_heads) {
          if (atom == NoId) continue;
          if (extended.size() == max_phrases) {
            capped = true;
            break;
          }
          extended.push_back(phrase);
          extend_phrase(extended.back(), atom_text(atom));
          found = true;
        }
      }
      phrases.swap(extended);
    } else if (is_token(WORD) || is_token(STRING)) {
      for (std::string &phrase : phrases) extend_phrase(phrase, text_view());
      skip_token();
      found = true;
    } else {
      break;
    }
  }
  // The phrases beyond the cap are dropped; the rest of the document is still
  // parsed, and the report names the document and its line.
  if (capped) syntax_error("too many phrases");
  // An empty quoted string alone makes an empty phrase, which is no atom: it
  // is left out, so it enters nothing rather than a head-only pair.
  if (found)
    for (const std::string &phrase : phrases)
      if (!phrase.empty()) result.push_back(make_atom(phrase));
  return found;
}

bool DocParser::was_frame(std::vector<unsigned long> &heads) {
  int close;
  const char *message;
  if (is_token('[')) {
    close = ']';
    message = "`]' expected";
  } else if (is_token('{')) {
    close = '}';
    message = "`}' expected";
  } else {
    return false;
  }
  if (frame_depth == max_frame_depth) {
    syntax_error("frames nested too deeply");
    unwinding = true;
    return false;
  }
  skip_token();
  ++frame_depth;
  should_be_frame_body(heads);
  --frame_depth;
  if (unwinding) {
    heads.clear();
    return true;
  }
  // A brace frame enters its pairs but hands no heads on.
  if (close == '}') heads.clear();
  if (error()) skip_until_token(close);
  should_be_token(close, message);
  return true;
}

void DocParser::should_be_frame_body(std::vector<unsigned long> &heads) {
  should_be_head_list(heads);
  if (unwinding) return;
  if (was_token(','))
    should_be_modifiers_list(heads);
  else
    maybe_enter_terms(heads, NoId);
}

void DocParser::should_be_head_list(std::vector<unsigned long> &heads) {
  should_be_head(heads);
  while (!unwinding && was_token('|')) should_be_head(heads);
}

void DocParser::should_be_head(std::vector<unsigned long> &heads) {
  if (!was_terms(heads)) syntax_error("head expected");
}

void DocParser::should_be_modifiers_list(std::vector<unsigned long> &heads) {
  should_be_modifiers(heads);
  while (!unwinding && was_token('|')) should_be_modifiers(heads);
}

void DocParser::should_be_modifiers(std::vector<unsigned long> &heads) {
  // A frame among the modifiers parses its own modifiers one level deeper,
  // while these are still being gathered.
  while (mod_lists.size() <= frame_depth) mod_lists.emplace_back();
  std::vector<unsigned long> &mods = mod_lists[frame_depth];
  mods.clear();
  if (was_terms(mods)) maybe_enter_terms(heads, mods);
}

unsigned long DocParser::make_atom(std::string_view text) {
  // An empty quoted string is no word: the atom table refuses it.
  if (text.empty()) return NoId;
  if (enter_new_atoms) return enter_atom(text);
  uint32_t id;
  atom_table.find(text, id);
  return id;
}

void DocParser::maybe_enter_term(unsigned long head, unsigned long mod) {
  if (head != NoId) doc.enter_term(ProtoTerm(head, mod));
}

void DocParser::maybe_enter_terms(const std::vector<unsigned long> &heads,
                                  unsigned long mod) {
  for (unsigned long head : heads) maybe_enter_term(head, mod);
}

void DocParser::maybe_enter_terms(const std::vector<unsigned long> &heads,
                                  const std::vector<unsigned long> &mods) {
  for (unsigned long head : heads)
    for (unsigned long mod : mods) maybe_enter_term(head, mod);
}

int parse_document(std::istream &is, const std::string &name, bool enter,
                   Doc &doc) {
  DocParser parser(doc, enter, is, name);
  parser.parse();
  return static_cast<int>(parser.errors());
}

int parse_document(const std::string &text, const std::string &name,
                   bool enter, Doc &doc) {
  std::istringstream is(text);
  return parse_document(is, name, enter, doc);
}
