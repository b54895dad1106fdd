#include "text/docparser.h"

#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "model/atomtab.h"

namespace {

// The pairs of a parse as "count:head/mod" items in Doc order, "-" for no mod.
std::string pairs_of(const Doc &doc) {
  std::string out;
  for (const auto &entry : doc) {
    if (!out.empty()) out += " ";
    out += std::to_string(entry.second) + ":" + atom_text(entry.first.head) + "/" +
           (entry.first.mod == EmptyAtom ? std::string("-")
                                         : atom_text(entry.first.mod));
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
  const struct { const char *text; int errors; const char *pairs; } cases[] = {
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
      {"{ car , red ] fast", 1, "1:car/red 1:fast/-"}};
  for (const auto &c : cases) {
    Doc doc;
    EXPECT_EQ(c.errors, parse_document(c.text, "doc", true, doc)) << c.text;
    EXPECT_EQ(c.pairs, pairs_of(doc)) << c.text;
  }
}

TEST_F(DocParserTest, UnknownWordsWithoutEntering) {
  Doc doc;
  EXPECT_EQ(parse_document("[ zebra , red ] [ car , unicorn ] okapi", "doc",
                           false, doc),
            0);
  EXPECT_EQ(pairs_of(doc), "1:car/-");
  unsigned long id;
  EXPECT_FALSE(atom_table.find("zebra", id));
  EXPECT_EQ(id, EmptyAtom);
}

TEST_F(DocParserTest, ExplodingPhrasesAreCapped) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "[ a | b ] ";
  text += ", m ] tail";
  Doc doc;
  EXPECT_EQ(parse_document("[ " + text, "doc", true, doc), 1);
  EXPECT_EQ(doc.count(ProtoTerm(enter_atom("tail"), EmptyAtom)), 1u);
  EXPECT_LE(doc.size(), 2 * max_phrases);
}

TEST_F(DocParserTest, DeepNestingIsAnErrorNotACrash) {
  std::string text(100000, '[');
  text += " car ";
  text += std::string(100000, ']');
  text += " red";
  Doc doc;
  EXPECT_EQ(parse_document(text, "doc", true, doc), 1);
  EXPECT_EQ(doc.count(ProtoTerm(enter_atom("red"), EmptyAtom)), 1u);
}

TEST_F(DocParserTest, ErrorsNameDocumentLineAndLookAhead) {
  std::stringstream captured;
  std::streambuf *old = std::cerr.rdbuf(captured.rdbuf());
  Doc doc;
  parse_document("car\n[ , red ]\n{ car , red ] [ car", "d1", true, doc);
  std::cerr.rdbuf(old);
  EXPECT_EQ(captured.str(),
            "ERROR: file d1: line 2: before `,': parse error: head expected\n"
            "ERROR: file d1: line 3: before `]': parse error: `}' expected\n"
            "ERROR: file d1: line 3: before `<EOF>': parse error: `]' expected\n");
}

// Pairs entered in any order, repeated, and past the points where the
// entries are merged while entering, read as a map of pair to count would be.
TEST(DocTest, ReadsLikeAnOrderedCountingMap) {
  std::map<std::pair<unsigned long, unsigned long>, unsigned long> expected;
  Doc doc;
  EXPECT_TRUE(doc.empty());
  EXPECT_EQ(doc.size(), 0u);
  unsigned long seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 6364136223846793005UL + 1442695040888963407UL;
    unsigned long head = (seed >> 33) % 97;
    unsigned long mod = (seed >> 45) % 13 == 0 ? EmptyAtom : (seed >> 20) % 61;
    doc.enter_term(ProtoTerm(head, mod));
    ++expected[{head, mod}];
    // Reading in between merges a part that later entries must join.
    if (i == 700 || i == 5000) {
      EXPECT_EQ(doc.size(), expected.size());
    }
  }
  ASSERT_EQ(doc.size(), expected.size());
  auto want = expected.begin();
  for (const auto &entry : doc) {
    EXPECT_EQ(entry.first.head, want->first.first);
    EXPECT_EQ(entry.first.mod, want->first.second);
    EXPECT_EQ(entry.second, want->second);
    ++want;
  }
  EXPECT_EQ(doc.count(ProtoTerm(0, 0)), expected.count({0, 0}));
  EXPECT_EQ(doc.count(ProtoTerm(97, 0)), 0u);
  EXPECT_EQ(doc.count(ProtoTerm(expected.begin()->first.first,
                                expected.begin()->first.second)), 1u);
}

// A pair entered a million times is one entry with the sum of its counts.
TEST(DocTest, RepeatedPairStaysOneEntry) {
  Doc doc;
  for (int i = 0; i < 1000000; ++i) doc.enter_term(ProtoTerm(3, EmptyAtom));
  ASSERT_EQ(doc.size(), 1u);
  EXPECT_EQ(doc.begin()->second, 1000000u);
}

TEST_F(DocParserTest, WriteListsCountsAndPrintedPairs) {
  Doc doc;
  parse_document("[ car , red ] car", "doc", true, doc);
  std::ostringstream os;
  EXPECT_TRUE(doc.write(os));
  EXPECT_EQ(os.str(), "1\t[ \"car\", \"red\" ]\n1\t[ \"car\" ]\n");
}

}  // namespace
