#include "text/docparser.h"

#include <random>

#include <gtest/gtest.h>

#include "model/atomtab.h"

namespace {

// The pairs of a parse as "count:head/mod" items in Doc order, "-" for no mod.
std::string pairs_of(const Doc &doc) {
  std::string out;
  for (const auto &entry : doc) {
    if (!out.empty()) out += " ";
    out += std::to_string(entry.second) + ":" + atom_text(entry.first.head) + "/" +
           (entry.first.mod == NoId ? std::string("-") : atom_text(entry.first.mod));
  }
  return out;
}

class DocParserTest : public testing::Test {
 protected:
  // Fixed ids for the words that most cases use, so that Doc order (by id)
  // is known: car < red < fast < auto < sports < racing.
  void SetUp() override {
    for (const char *word : {"car", "red", "fast", "auto", "sports", "racing"})
      enter_atom(word);
  }
};

TEST_F(DocParserTest, FramesCrossHeadsWithModifierGroups) {
  const struct { const char *text; int errors; const char *pairs; bool known_only = false; } cases[] = {
      // Top-level words are single terms, stray punctuation is skipped.
      {"", 0, ""},
      {"car car red", 0, "2:car/- 1:red/-"},
      {"\"car\" ] | , x", 0, "1:car/- 1:x/-"},
      {"[ car , red | fast ]", 0, "1:car/red 1:car/fast"},
      {"[ car | auto , red ]", 0, "1:car/red 1:auto/red"},
      {"[ car ]", 0, "1:car/-"},
      {"[ car , ]", 0, ""},
      {"[ car , | red ]", 0, "1:car/red"},
      {"[ sports car , fast red ]", 0, "1:sports car/fast red"},  // one phrase
      // Inner bracket frames multiply phrases, in heads and in modifiers.
      {"[ [ sports | racing ] car , red ]", 0,
       "1:sports/- 1:racing/- 1:sports car/red 1:racing car/red"},
      {"[ red [ sports | racing ] car ]", 0,
       "1:sports/- 1:racing/- 1:red sports car/- 1:red racing car/-"},
      {"[ car , [ fast | red ] ]", 0, "1:car/red 1:car/fast 1:red/- 1:fast/-"},
      // An inner frame's modifiers are not those of the frame around it.
      {"[ car , red [ fast , auto ] | sports ]", 0,
       "1:car/sports 1:car/red fast 1:fast/auto"},
      {"[ car , red ] [ fast , auto ]", 0, "1:car/red 1:fast/auto"},
      // Brace frames hand nothing on.
      {"[ { sports } car , red ]", 0, "1:sports/-"},
      {"{ car , red }", 0, "1:car/red"},
      {"\"\" [ \"\" , red ] [ car , \"\" ]", 0, ""},  // empty strings enter nothing
      // Errors are counted once per frame and parsing goes on; after the first
      // the frame is skipped quietly to its bracket.
      {"[ , red ] car", 1, "1:car/-"},
      {"[ car , red", 1, "1:car/red"},
      {"[ | | , red ] [ , x ] fast", 2, "1:fast/-"},
      {"{ car , red ] fast", 1, "1:car/red 1:fast/-"},
      // Without entering, unknown words are left out.
      {"[ zebra , red ] [ car , unicorn ] okapi", 0, "1:car/-", true}};
  for (const auto &c : cases) {
    Doc doc;
    EXPECT_EQ(c.errors, parse_document(c.text, "doc", !c.known_only, doc)) << c.text;
    EXPECT_EQ(c.pairs, pairs_of(doc)) << c.text;
  }
  uint32_t id;
  EXPECT_FALSE(atom_table.find("zebra", id));
}

// Nested frames multiply phrases up to the cap and no further; frames nest
// down to the limit and no deeper.
TEST_F(DocParserTest, PhrasesAndNestingStopAtTheirLimits) {
  const std::string ten = "[ a | b | c | d | e | f | g | h | i | j ] ";
  for (int capped : {0, 1}) {  // 10^4 phrases, then twice as many
    Doc doc;
    std::string text = "[ " + ten + ten + ten + ten + (capped ? "[ x | y ] " : "") + ", m ] red";
    EXPECT_EQ(capped, parse_document(text, "doc", true, doc));
    size_t modified = 0;
    for (const auto &entry : doc) modified += entry.first.mod == enter_atom("m");
    EXPECT_EQ(max_phrases, modified);
    EXPECT_EQ(1u, doc.count(ProtoTerm(enter_atom("red"), NoId)));
  }
  for (unsigned int depth : {max_frame_depth, max_frame_depth + 1, 100000u}) {
    std::string text;
    for (unsigned int i = 0; i < depth; ++i) text += "[ ";
    text += "car ";
    for (unsigned int i = 0; i < depth; ++i) text += "] ";
    Doc doc;
    EXPECT_EQ(depth > max_frame_depth, parse_document(text + "red", "doc", true, doc)) << depth;
    EXPECT_EQ(1u, doc.count(ProtoTerm(enter_atom("red"), NoId)));
  }
}

TEST_F(DocParserTest, ErrorsNameDocumentLineAndLookAhead) {
  testing::internal::CaptureStderr();
  Doc doc;
  parse_document("car\n[ , red ]\n{ car , red ] [ car", "d1", true, doc);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "ERROR: file d1: line 2: before `,': parse error: head expected\n"
            "ERROR: file d1: line 3: before `]': parse error: `}' expected\n"
            "ERROR: file d1: line 3: before `<EOF>': parse error: `]' expected\n");
}

// Pairs entered in any order, repeated, and past the points where the
// entries are merged while entering, read as a map of pair to count would be.
TEST(DocTest, ReadsLikeAnOrderedCountingMap) {
  std::map<std::pair<unsigned long, unsigned long>, unsigned long> expected;
  Doc doc;
  std::mt19937 random(12345);
  for (int i = 0; i < 20000; ++i) {
    unsigned long head = random() % 97, mod = random() % 13 == 0 ? NoId : random() % 61;
    doc.enter_term(ProtoTerm(head, mod));
    ++expected[{head, mod}];
    // Reading in between merges a part that later entries must join.
    if (i == 700 || i == 5000) {
      EXPECT_EQ(doc.size(), expected.size());
    }
  }
  std::vector<std::pair<std::pair<unsigned long, unsigned long>, unsigned long>> read;
  for (const auto &entry : doc) read.push_back({{entry.first.head, entry.first.mod}, entry.second});
  EXPECT_EQ(read, decltype(read)(expected.begin(), expected.end()));
  EXPECT_EQ(0u, doc.count(ProtoTerm(97, 0)));
  EXPECT_EQ(1u, doc.count(ProtoTerm(read[0].first.first, read[0].first.second)));
}

}  // namespace
