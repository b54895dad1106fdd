// mivo-analyse: the shipped analyser compiled, which analyse.pl hands over to
// when it sits beside the script. Every answer, message and exit status is the
// script's, byte for byte; GLib's Unicode data is bent to Perl 5.36's.
#include <fcntl.h>
#include <unistd.h>

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

const char usage_text[] =
    "Usage: analyse.pl [ -h ] [ -words ] [ -keep-stopwords ] [ -stopwords <file> ]\n"
    "                  [ -min-length <n> ] [ -max-length <n> ]\n"
    "Reads one document path per line on standard input and answers each with the\n"
    "document's words and pairs of adjacent words in mivo's term notation, ended\n"
    "by a byte of value 1. A document that cannot be read gets an empty answer.\n"
    "    -h                  show this help\n"
    "    -words              single words only, no head/modifier pairs\n"
    "    -keep-stopwords     keep English function words (\"the\", \"of\", ...)\n"
    "    -stopwords <file>   take the stop words from <file>, one a line,\n"
    "                        instead of the built-in list\n"
    "    -min-length <n>     drop words shorter than <n> characters (default 2)\n"
    "    -max-length <n>     drop words longer than <n> characters (default 40)\n";

// The script's built-in list, kept line for line.
const char builtin_stopwords[] =
    "a about above across after afterwards again against all almost along already\n"
    "also although always am among amongst an and another any anybody anyhow\n"
    "anyone anything anyway anywhere are around as at\n"
    "be became because become becomes been before beforehand behind being below\n"
    "beside besides between beyond both but by\n"
    "can cannot could\n"
    "did do does doing done down during\n"
    "each either else elsewhere enough etc even ever every everybody everyone\n"
    "everything everywhere except\n"
    "few for from further furthermore\n"
    "had has have having he hence her here hereby herein hers herself him himself\n"
    "his how however\n"
    "i if in indeed instead into is it its itself\n"
    "just\n"
    "last least less let like\n"
    "many may me meanwhile might mine more moreover most mostly much must my\n"
    "myself\n"
    "namely neither never nevertheless next no nobody none noone nor not nothing\n"
    "now nowhere\n"
    "of off often on once one only onto or other others otherwise our ours\n"
    "ourselves out over own\n"
    "per perhaps\n"
    "quite\n"
    "rather\n"
    "same several shall she should since so some somebody somehow someone\n"
    "something sometimes somewhat somewhere still such\n"
    "than that the their theirs them themselves then thence there thereafter\n"
    "thereby therefore therein thereupon these they this those though through\n"
    "throughout thus to together too toward towards\n"
    "under until up upon us\n"
    "very via\n"
    "was we well were what whatever when whence whenever where whereas whereby\n"
    "wherein whereupon wherever whether which while whither who whoever whole whom\n"
    "whose why will with within without would\n"
    "yet you your yours yourself yourselves\n"
    "ain't aren't can't couldn't didn't doesn't don't hadn't hasn't haven't he'd\n"
    "he'll he's here's how's i'd i'll i'm i've isn't it'd it'll it's let's\n"
    "mightn't mustn't shan't she'd she'll she's shouldn't that's there's they'd\n"
    "they'll they're they've wasn't we'd we'll we're we've weren't what's when's\n"
    "where's who's why's won't wouldn't you'd you'll you're you've\n";

// What the script puts between two words that are not adjacent.
const std::string break_text = " \x01 ";

struct Settings {
  bool pairs = true;
  bool stop = true;
  bool has_stopfile = false;
  std::string stopfile;
  // Perl keeps numbers too large for an integer as floating point.
  long double min = 2, max = 40;
};

// ---- Unicode, as Perl 5.36 (Unicode 14.0) sees it -------------------------

struct Range {
  gunichar first, last;
};

// Code points that GLib's Unicode 15.0 assigns and Perl's Unicode 14.0 does
// not: to Perl they are no letter, digit or mark, fold to themselves and
// neither compose nor reorder.
const Range newer_than_perl[] = {
    {0xCF3, 0xCF3},     {0xECE, 0xECE},     {0x10EFD, 0x10EFF}, {0x1123F, 0x11241},
    {0x11B00, 0x11B09}, {0x11F00, 0x11F10}, {0x11F12, 0x11F3A}, {0x11F3E, 0x11F59},
    {0x1342F, 0x1342F}, {0x13439, 0x13455}, {0x1B132, 0x1B132}, {0x1B155, 0x1B155},
    {0x1D2C0, 0x1D2D3}, {0x1DF25, 0x1DF2A}, {0x1E030, 0x1E06D}, {0x1E08F, 0x1E08F},
    {0x1E4D0, 0x1E4F9}, {0x1F6DC, 0x1F6DC}, {0x1F774, 0x1F776}, {0x1F77B, 0x1F77F},
    {0x1F7D9, 0x1F7D9}, {0x1FA75, 0x1FA77}, {0x1FA87, 0x1FA88}, {0x1FAAD, 0x1FAAF},
    {0x1FABB, 0x1FABD}, {0x1FABF, 0x1FABF}, {0x1FACE, 0x1FACF}, {0x1FADA, 0x1FADB},
    {0x1FAE8, 0x1FAE8}, {0x1FAF7, 0x1FAF8}, {0x2B739, 0x2B739}, {0x31350, 0x323AF}};

bool unknown_to_perl(gunichar c) {
  if (c < 0xCF3) return false;
  for (const Range &range : newer_than_perl)
    if (c >= range.first && c <= range.last) return true;
  return false;
}

// Case folding maps Cherokee to its capitals, which Perl keeps; GLib folds
// them to the small letters instead.
bool cherokee_capital(gunichar c) { return c >= 0x13A0 && c <= 0x13F5; }

// Perl's start-byte table for its extended UTF-8, whose sequences run up to
// 13 bytes.
int sequence_length(unsigned char byte) {
  if (byte < 0xe0) return 2;
  if (byte < 0xf0) return 3;
  if (byte < 0xf8) return 4;
  if (byte < 0xfc) return 5;
  if (byte < 0xfe) return 6;
  return byte == 0xfe ? 7 : 13;
}

int shortest_length(guint64 c) {
  if (c < 0x80) return 1;
  if (c < 0x800) return 2;
  if (c < 0x10000) return 3;
  if (c < 0x200000) return 4;
  if (c < 0x4000000) return 5;
  if (c < 0x80000000) return 6;
  return c < (guint64(1) << 36) ? 7 : 13;
}

bool continuation(unsigned char byte) { return (byte & 0xc0) == 0x80; }

// Perl's decoder checks strict UTF-8 with a state machine over byte
// classes; these are its classes of continuation bytes (80-8E, 8F, 90-9E,
// 9F, A0-AE, AF, B0-B6 and B8-BD, B7, BE, BF) and of start bytes.
enum ByteClass {
  ascii_byte, never_start, two_bytes, three_bytes, ef_byte, f4_byte, f1_to_f3, e0_byte, f0_byte,
  low_tail, tail_8f, mid_tail, tail_9f, high_tail, tail_af, top_tail, tail_b7, tail_be, tail_bf,
  class_count
};

ByteClass byte_class(unsigned char byte) {
  if (byte < 0x80) return ascii_byte;
  if (byte >= 0xc0) {
    if (byte < 0xc2 || byte == 0xed || byte >= 0xf5) return never_start;
    if (byte < 0xe0) return two_bytes;
    if (byte == 0xe0) return e0_byte;
    if (byte == 0xef) return ef_byte;
    if (byte < 0xf0) return three_bytes;
    if (byte == 0xf0) return f0_byte;
    return byte == 0xf4 ? f4_byte : f1_to_f3;
  }
  switch (byte) {
    case 0x8f: return tail_8f;
    case 0x9f: return tail_9f;
    case 0xaf: return tail_af;
    case 0xb7: return tail_b7;
    case 0xbe: return tail_be;
    case 0xbf: return tail_bf;
  }
  if (byte < 0x90) return low_tail;
  if (byte < 0xa0) return mid_tail;
  return byte < 0xb0 ? high_tail : top_tail;
}

// The machine's states: what the bytes so far still need.
enum DfaState {
  done, rejected, one_more, two_more, after_e0, after_ef, after_f0, after_f1_to_f3, after_f4,
  after_ef_b7, after_ef_bf, plane_end, plane_end_bf
};

DfaState first_step(int byte_class) {
  switch (byte_class) {
    case ascii_byte: return done;
    case two_bytes: return one_more;
    case three_bytes: return two_more;
    case ef_byte: return after_ef;
    case f4_byte: return after_f4;
    case f1_to_f3: return after_f1_to_f3;
    case e0_byte: return after_e0;
    case f0_byte: return after_f0;
    default: return rejected;
  }
}

DfaState next_step(DfaState state, ByteClass byte) {
  if (byte < low_tail) return rejected;
  bool ends_in_f = byte == tail_8f || byte == tail_9f || byte == tail_af || byte == tail_bf;
  switch (state) {
    case one_more: return done;
    case two_more: return one_more;
    case after_e0: return byte >= high_tail ? one_more : rejected;
    case after_ef: return byte == tail_b7 ? after_ef_b7 : byte == tail_bf ? after_ef_bf : one_more;
    case after_f0:
      return byte <= tail_8f ? rejected : byte == tail_9f || byte == tail_af || byte == tail_bf ? plane_end : two_more;
    case after_f1_to_f3: return ends_in_f ? plane_end : two_more;
    case after_f4: return byte == low_tail ? two_more : byte == tail_8f ? plane_end : rejected;
    case after_ef_b7: return byte >= mid_tail && byte <= tail_af ? rejected : done;
    case after_ef_bf:
    case plane_end_bf: return byte >= tail_be ? rejected : done;
    case plane_end: return byte == tail_bf ? plane_end_bf : one_more;
    default: return rejected;
  }
}

// How many bytes Perl's decoder takes into one U+FFFD at a byte that can
// never start a character (0 when it takes the usual count). Its fast path
// does not stop at such a byte: it goes on from the state that the first
// step of its machine gives for the class after the next byte's, and when
// that ends in a whole "character", the lot becomes one U+FFFD.
size_t swallowed_after_bad_byte(const unsigned char *bytes, size_t size) {
  if (size < 2) return 0;
  int shifted = byte_class(bytes[1]) + 1;
  DfaState state = shifted == class_count ? rejected : first_step(shifted);
  for (size_t taken = 2; state != rejected; ++taken) {
    if (state == done) return taken;
    if (taken == size) return 0;
    state = next_step(state, byte_class(bytes[taken]));
  }
  return 0;
}

// Decodes bytes as Perl's Encode::decode('UTF-8') does: a bad sequence
// (cut short, overlong, a surrogate, a noncharacter, beyond U+10FFFF) gives
// U+FFFD in place of its start byte and the continuation bytes after it.
std::vector<gunichar> decode_utf8(const unsigned char *bytes, size_t size) {
  const gunichar replacement = 0xFFFD;
  std::vector<gunichar> chars;
  size_t at = 0;
  while (at < size) {
    unsigned char first = bytes[at];
    if (first < 0x80) {
      chars.push_back(first);
      ++at;
      continue;
    }
    size_t swallowed = byte_class(first) == never_start || continuation(first)
                           ? swallowed_after_bad_byte(bytes + at, size - at)
                           : 0;
    if (swallowed || continuation(first)) {
      chars.push_back(replacement);
      at += swallowed ? swallowed : 1;
      continue;
    }
    size_t length = std::min<size_t>(sequence_length(first), size - at);
    guint64 c = sequence_length(first) >= 7 ? 0 : first & (0x1f >> (sequence_length(first) - 2));
    bool overflow = false;
    size_t taken = 1;
    for (; taken < length && continuation(bytes[at + taken]); ++taken) {
      overflow = overflow || (c >> 58) != 0;
      c = c << 6 | (bytes[at + taken] & 0x3f);
    }
    bool whole = taken == size_t(sequence_length(first));
    bool bad = !whole || overflow || int(taken) > shortest_length(c) || c > 0x10FFFF ||
               (c >= 0xD800 && c <= 0xDFFF) || (c >= 0xFDD0 && c <= 0xFDEF) ||
               (c & 0xFFFE) == 0xFFFE;
    chars.push_back(bad ? replacement : gunichar(c));
    at += taken;
  }
  return chars;
}

void append_utf8(std::string &text, gunichar c) {
  char bytes[6];
  text.append(bytes, g_unichar_to_utf8(c, bytes));
}

// Folds case over chars[from, to), none of them unknown to Perl.
void append_folded(std::string &text, const std::vector<gunichar> &chars, size_t from, size_t to) {
  std::string plain;
  for (size_t i = from; i <= to; ++i) {
    if (i < to && !cherokee_capital(chars[i])) {
      append_utf8(plain, chars[i]);
      continue;
    }
    if (!plain.empty()) {
      gchar *folded = g_utf8_casefold(plain.data(), plain.size());
      text += folded;
      g_free(folded);
      plain.clear();
    }
    if (i < to) append_utf8(text, chars[i]);
  }
}

void append_nfc(std::string &text, const std::string &folded) {
  gchar *composed = g_utf8_normalize(folded.data(), folded.size(), G_NORMALIZE_NFC);
  text += composed;
  g_free(composed);
}

// The ASCII form of a curly apostrophe, a Unicode hyphen or space, or 0.
gunichar ascii_form(gunichar c) {
  if (c == 0x2018 || c == 0x2019) return '\'';
  if (c == 0x2010 || c == 0x2011) return '-';
  if (c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F ||
      c == 0x205F || c == 0x3000)
    return ' ';
  return 0;
}

bool word_character(gunichar c) {
  if (c == ' ' || c == '\'' || c == '-') return true;
  if (unknown_to_perl(c)) return false;
  switch (g_unichar_type(c)) {
    case G_UNICODE_LOWERCASE_LETTER:
    case G_UNICODE_MODIFIER_LETTER:
    case G_UNICODE_OTHER_LETTER:
    case G_UNICODE_TITLECASE_LETTER:
    case G_UNICODE_UPPERCASE_LETTER:
    case G_UNICODE_SPACING_MARK:
    case G_UNICODE_ENCLOSING_MARK:
    case G_UNICODE_NON_SPACING_MARK:
    case G_UNICODE_DECIMAL_NUMBER:
    case G_UNICODE_LETTER_NUMBER:
    case G_UNICODE_OTHER_NUMBER:
      return true;
    default:
      return false;
  }
}

// analyse.pl's fold_unicode: a run of non-ASCII bytes (perhaps with the
// ASCII letter before it) decoded, case-folded, composed, with ASCII forms
// for curly apostrophes, hyphens and spaces, and every run of characters
// other than letters, digits and marks made a break. Code points unknown to
// Perl cut the run into pieces that are composed apart, as Perl's
// composition never reaches across them.
void append_unicode_run(std::string &text, const unsigned char *bytes, size_t size) {
  std::vector<gunichar> chars = decode_utf8(bytes, size);
  std::string composed;
  size_t start = 0;
  for (size_t i = 0; i <= chars.size(); ++i) {
    if (i < chars.size() && !unknown_to_perl(chars[i])) continue;
    std::string folded;
    append_folded(folded, chars, start, i);
    append_nfc(composed, folded);
    if (i < chars.size()) append_utf8(composed, chars[i]);
    start = i + 1;
  }
  bool in_break = false;
  for (const char *p = composed.c_str(); *p; p = g_utf8_next_char(p)) {
    gunichar c = g_utf8_get_char(p);
    if (gunichar ascii = ascii_form(c)) c = ascii;
    if (!word_character(c)) {
      if (!in_break) text += break_text;
      in_break = true;
      continue;
    }
    in_break = false;
    append_utf8(text, c);
  }
}

// ---- The text rules of analyse.pl, on bytes ---------------------------------
//
// The script rewrites the whole text several times over (folded, every run
// of other bytes made a break, then points, commas, hyphens and apostrophes
// each in turn) and then splits it at blanks. Every rule looks only at a
// byte and its neighbours in the text as it came, so one pass gives the same
// words and breaks.

bool high(unsigned char byte) { return byte >= 0x80; }
bool digit(unsigned char byte) { return byte >= '0' && byte <= '9'; }
bool ascii_word(unsigned char byte) { return (byte >= 'a' && byte <= 'z') || digit(byte); }

// What a byte of a folded text is to the rules. Every byte from 128 up is
// part of a letter, digit or mark by then.
enum Kind : unsigned char { part_of_word, blank, parting, point, comma, connector };

struct Kinds {
  Kind of[256];
  char lower[256];
  Kinds() {
    for (int byte = 0; byte < 256; ++byte) {
      bool letter = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
      of[byte] = letter || digit(byte) || high(byte) ? part_of_word
                 : byte == ' ' || byte == '\t'       ? blank
                 : byte == '.'                        ? point
                 : byte == ','                        ? comma
                 : byte == '\'' || byte == '-'        ? connector
                                                      : parting;
      lower[byte] = char(byte >= 'A' && byte <= 'Z' ? byte + 'a' - 'A' : byte);
    }
  }
};
const Kinds kinds;

Kind kind(char byte) { return kinds.of[static_cast<unsigned char>(byte)]; }

// Splits a text into words, telling the sink of each word and of each break
// between words that are not adjacent. ASCII capitals are folded here.
// A comma between digits goes ("1,000" is 1000) and a point between digits
// stays; any other point or comma parts words. A hyphen or apostrophe stays
// only between two bytes of words.
template <class Sink>
void split_words(const char *text, size_t size, Sink &sink) {
  std::string &word = sink.word_buffer;
  word.clear();
  auto end_word = [&] {
    if (!word.empty()) sink.word(word);
    word.clear();
  };
  for (size_t i = 0; i < size; ++i) {
    char byte = text[i];
    switch (kind(byte)) {
      case part_of_word:
        word += kinds.lower[static_cast<unsigned char>(byte)];
        break;
      case blank:
        end_word();
        break;
      case point:
      case comma:
        if (i > 0 && i + 1 < size && digit(text[i - 1]) && digit(text[i + 1])) {
          if (byte == '.') word += '.';
          break;
        }
        end_word();
        sink.part();
        break;
      case connector:
        if (i > 0 && i + 1 < size && kind(text[i - 1]) == part_of_word &&
            kind(text[i + 1]) == part_of_word) {
          word += byte;
          break;
        }
        end_word();
        sink.part();
        break;
      case parting:
        end_word();
        sink.part();
        break;
    }
  }
  end_word();
}

// Case folded (ASCII capitals are left to split_words) and the non-ASCII
// runs through the Unicode rules. Runs repeat from document to document,
// so their forms are kept.
std::string fold_text(const std::string &raw) {
  static std::unordered_map<std::string, std::string> known_runs;
  bool combining = raw.find_first_of("\xcc\xcd") != std::string::npos;
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(raw.data());
  size_t size = raw.size();
  std::string folded, run;
  folded.reserve(size + size / 4);
  for (size_t at = 0; at < size;) {
    // An accent from U+0300 to U+036F may belong to the letter before it.
    bool letter_first = combining && at + 1 < size && high(bytes[at + 1]) &&
                        ascii_word(kinds.lower[bytes[at]]);
    if (!letter_first && !high(bytes[at])) {
      folded += char(bytes[at++]);
      continue;
    }
    size_t end = at + 1;
    while (end < size && high(bytes[end])) ++end;
    run.assign(raw, at, end - at);
    if (letter_first) run[0] = kinds.lower[bytes[at]];
    at = end;
    auto known = known_runs.find(run);
    if (known == known_runs.end()) {
      if (known_runs.size() >= 100000) known_runs.clear();
      std::string form;
      append_unicode_run(form, reinterpret_cast<const unsigned char *>(run.data()), run.size());
      known = known_runs.emplace(run, form).first;
    }
    folded += known->second;
  }
  return folded;
}

bool non_ascii(const std::string &text) {
  for (char byte : text)
    if (high(byte)) return true;
  return false;
}

// The stop words, looked up for every word of every document: open
// addressing and a cheap hash serve that better than the standard set.
class WordSet {
 public:
  WordSet() : slots_(64) {}
  void insert(const std::string &word) {
    if (word.empty() || count(word)) return;
    if (4 * (size_ + 1) > slots_.size()) grow();
    slots_[free_slot(word)] = word;
    ++size_;
  }
  bool count(const std::string &word) const {
    for (size_t i = hash(word) & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
      if (slots_[i].empty()) return false;
      if (slots_[i] == word) return true;
    }
  }

 private:
  static size_t hash(const std::string &word) {
    guint64 value = 14695981039346656037ull;
    for (char byte : word) value = (value ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    return size_t(value ^ (value >> 29));
  }
  size_t free_slot(const std::string &word) const {
    size_t i = hash(word) & (slots_.size() - 1);
    while (!slots_[i].empty()) i = (i + 1) & (slots_.size() - 1);
    return i;
  }
  void grow() {
    std::vector<std::string> old(slots_.size() * 2);
    old.swap(slots_);
    for (std::string &word : old)
      if (!word.empty()) slots_[free_slot(word)].swap(word);
  }
  std::vector<std::string> slots_;
  size_t size_ = 0;
};

size_t characters(const std::string &word) {
  size_t count = 0;
  for (char byte : word) count += !continuation(byte);
  return count;
}

// Collects the terms of a document: every kept word, and every two kept
// words with nothing but blanks between them as a pair.
struct Terms {
  const WordSet &skip;
  const Settings &settings;
  bool ascii;
  std::string terms, left, word_buffer;
  bool has_left = false;

  void part() { has_left = false; }
  void word(std::string &word) {
    if (skip.count(word)) return part();
    size_t n = word.size();
    if (n >= 2 && word[n - 2] == '\'' && word[n - 1] == 's') word.resize(n - 2);  // "john's" is "john"
    long double length = ascii ? word.size() : characters(word);
    if (length < settings.min || length > settings.max || skip.count(word)) return part();
    terms += word;
    terms += '\n';
    if (settings.pairs && has_left) {
      terms += "[ ";
      terms += word;
      terms += " , ";
      terms += left;
      terms += " ]\n";
    }
    left = word;
    has_left = true;
  }
};

std::string analyse_text(const std::string &raw, const WordSet &skip, const Settings &settings) {
  Terms terms{skip, settings, true, {}, {}, {}};
  if (!non_ascii(raw)) {
    split_words(raw.data(), raw.size(), terms);
  } else {
    std::string folded = fold_text(raw);
    terms.ascii = !non_ascii(folded);
    split_words(folded.data(), folded.size(), terms);
  }
  return terms.terms;
}

// ---- Options, as the script's option parser takes them ---------------------

void complain(const std::string &text) { fwrite(text.data(), 1, text.size(), stderr); }

[[noreturn]] void usage_error() {
  fputs(usage_text, stderr);
  exit(2);
}

// Whole integers as the script accepts them: a sign, digits and
// underscores (which go), a final newline allowed.
bool parse_integer(std::string text, long double &value) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
  while (at < text.size() && text[at] == '_') ++at;
  if (at == text.size() || !digit(text[at])) return false;
  long double number = 0;
  for (; at < text.size(); ++at) {
    if (text[at] == '_') continue;
    if (!digit(text[at])) return false;
    number = number * 10 + (text[at] - '0');
  }
  value = negative ? -number : number;
  return true;
}

// The script's option parser, rule for rule: an option starts with "--",
// "-" or "+" (not "+" under POSIXLY_CORRECT, which also stops at the first
// operand) and may carry "=value"; a fault is reported and parsing goes on.
struct OptionParser {
  std::vector<std::string> args;
  size_t next = 0;
  bool posix = getenv("POSIXLY_CORRECT") != nullptr;
  bool help = false, ok = true;
  Settings settings;

  void fail(const std::string &message) {
    complain(message + "\n");
    ok = false;
  }

  // Takes arg and its value if it is an option; false for an operand.
  bool take(const std::string &arg) {
    std::string starter = arg.compare(0, 2, "--") == 0                   ? "--"
                          : arg[0] == '-' || (arg[0] == '+' && !posix) ? arg.substr(0, 1)
                                                                        : "";
    if (starter.empty() || arg == "-") return false;
    std::string name = arg.substr(starter.size());
    size_t equals = name.find('=', 1);
    bool has_value = (starter == "--" || !posix) && equals != std::string::npos;
    std::string value = has_value ? name.substr(equals + 1) : "";
    if (has_value) name.resize(equals);
    if (name.empty())
      fail("Missing option after " + starter);
    else if (name == "h" || name == "help" || name == "words" || name == "keep-stopwords")
      take_flag(name, has_value);
    else if (name == "stopwords" || name == "min-length" || name == "max-length")
      take_value(name, has_value, value);
    else
      fail("Unknown option: " + name);
    return true;
  }

  void take_flag(const std::string &name, bool has_value) {
    if (has_value)
      fail("Option " + name + " does not take an argument");
    else if (name == "words")
      settings.pairs = false;
    else if (name == "keep-stopwords")
      settings.stop = false;
    else
      help = true;
  }

  void take_value(const std::string &name, bool has_value, std::string value) {
    if (has_value ? value.empty() : next == args.size())
      return fail("Option " + name + " requires an argument");
    if (!has_value) value = args[next++];
    if (name == "stopwords") {
      settings.has_stopfile = true;
      settings.stopfile = value;
    } else if (!parse_integer(value, name == "min-length" ? settings.min : settings.max)) {
      fail("Value \"" + value + "\" invalid for option " + name + " (number expected)");
    }
  }
};

Settings parse_options(int argc, char **argv) {
  OptionParser parser;
  for (int i = 1; i < argc; ++i)
    if (argv[i][0]) parser.args.push_back(argv[i]);  // two blanks in mivo's command
  std::vector<std::string> operands;
  while (parser.next < parser.args.size()) {
    const std::string arg = parser.args[parser.next++];
    if (arg == "--") break;
    if (parser.take(arg)) continue;
    if (parser.posix) {
      --parser.next;
      break;
    }
    operands.push_back(arg);
  }
  operands.insert(operands.end(), parser.args.begin() + parser.next, parser.args.end());
  if (parser.help) {
    fputs(usage_text, stdout);
    exit(0);
  }
  if (!parser.ok || !operands.empty()) {
    if (parser.ok) complain("analyse.pl: unexpected argument `" + operands[0] + "'\n");
    usage_error();
  }
  const Settings &settings = parser.settings;
  if (settings.min < 1 || settings.max < settings.min) usage_error();
  return settings;
}

// ---- Files and the protocol -------------------------------------------------

void complain_about(const std::string &path, int error) {
  complain("analyse.pl: cannot read `" + path + "': " + strerror(error) + "\n");
}

// The whole content of an open file; false (with errno) when the first read
// fails.
bool read_all(int fd, std::string &content) {
  content.resize(std::max<size_t>(content.capacity(), 65536));
  size_t size = 0;
  for (;;) {
    ssize_t got = read(fd, &content[size], content.size() - size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      content.resize(size);
      return got == 0 || size > 0;
    }
    size += got;
    if (size == content.size()) content.resize(2 * size);
  }
}

int open_file(const std::string &path) {
  if (path.find('\0') != std::string::npos) {
    errno = ENOENT;
    return -1;
  }
  return open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

// The stop words, each line taken on its own with "#" starting a comment.
WordSet skipped_words(const Settings &settings) {
  WordSet skip;
  if (!settings.stop) return skip;
  std::string list = builtin_stopwords;
  if (settings.has_stopfile) {
    int fd = open_file(settings.stopfile);
    if (fd < 0) {
      int error = errno;
      complain("analyse.pl: cannot open stop-word list `" + settings.stopfile + "': " +
               strerror(error) + "\n");
      exit(error);
    }
    read_all(fd, list);  // a folder reads as no line at all
    close(fd);
  }
  for (size_t at = 0; at < list.size();) {
    size_t end = list.find('\n', at);
    end = end == std::string::npos ? list.size() : end + 1;
    std::string line = list.substr(at, end - at);
    at = end;
    size_t comment = line.find('#');
    if (comment != std::string::npos)
      line.erase(comment, line.size() - comment - (line.back() == '\n' ? 1 : 0));
    std::string text = non_ascii(line) ? fold_text(line) : line;
    struct {
      WordSet &skip;
      std::string word_buffer;
      void word(const std::string &word) { skip.insert(word); }
      void part() {}
    } words{skip, {}};
    split_words(text.data(), text.size(), words);
  }
  return skip;
}

std::string answer(const std::string &path, const WordSet &skip, const Settings &settings) {
  int fd = open_file(path);
  if (fd < 0) {
    complain_about(path, errno);
    return "";
  }
  static std::string content;  // its room kept from document to document
  bool whole = read_all(fd, content);
  int error = errno;
  close(fd);
  if (!whole) {
    complain_about(path, error);
    return "";
  }
  std::string terms = content.empty() ? "" : analyse_text(content, skip, settings);
  if (content.capacity() > (size_t(1) << 24)) std::string().swap(content);  // a rare large one
  return terms;
}

void write_all(const std::string &bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t wrote = write(1, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) exit(1);
    done += wrote;
  }
}

// Answers every line of standard input, the last one even without its
// newline; the input is read as it comes, since mivo sends the next path
// only after the whole answer.
void serve(const WordSet &skip, const Settings &settings) {
  std::string pending;
  char buffer[65536];
  for (;;) {
    size_t newline;
    while ((newline = pending.find('\n')) != std::string::npos) {
      std::string path = pending.substr(0, newline);
      pending.erase(0, newline + 1);
      std::string reply = answer(path, skip, settings);
      write_all(reply += '\x01');
    }
    ssize_t got = read(0, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    pending.append(buffer, got);
  }
  if (!pending.empty()) {
    std::string reply = answer(pending, skip, settings);
    write_all(reply += '\x01');
  }
}

}  // namespace

int main(int argc, char **argv) {
  Settings settings = parse_options(argc, argv);
  WordSet skip = skipped_words(settings);
  serve(skip, settings);
  return 0;
}
