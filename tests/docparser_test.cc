#include "text/docparser.h"

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

std::string parse(const std::string &text, int expected_errors = 0) {
  Doc doc;
  EXPECT_EQ(parse_document(text, "doc", true, doc), expected_errors) << text;
  return pairs_of(doc);
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

TEST_F(DocParserTest, TopLevelWordsAreSingleTermsWithoutPhrases) {
  EXPECT_EQ(parse(""), "");
  EXPECT_EQ(parse("car car red"), "2:car/- 1:red/-");
  EXPECT_EQ(parse("\"car\" ] | , x"), "1:car/- 1:x/-");
}

TEST_F(DocParserTest, FramesCrossHeadsWithModifierGroups) {
  EXPECT_EQ(parse("[ car , red | fast ]"), "1:car/red 1:car/fast");
  EXPECT_EQ(parse("[ car | auto , red ]"), "1:car/red 1:auto/red");
  EXPECT_EQ(parse("[ car ]"), "1:car/-");
  EXPECT_EQ(parse("[ car , ]"), "");
  EXPECT_EQ(parse("[ car , | red ]"), "1:car/red");
  // Consecutive words form one phrase.
  EXPECT_EQ(parse("[ sports car , fast red ]"), "1:sports car/fast red");
}

TEST_F(DocParserTest, InnerBracketFramesMultiplyPhrases) {
  EXPECT_EQ(parse("[ [ sports | racing ] car , red ]"),
            "1:sports/- 1:racing/- 1:sports car/red 1:racing car/red");
  EXPECT_EQ(parse("[ red [ sports | racing ] car ]"),
            "1:sports/- 1:racing/- 1:red sports car/- 1:red racing car/-");
  // Modifiers may be built from frames too.
  EXPECT_EQ(parse("[ car , [ fast | red ] ]"),
            "1:car/red 1:car/fast 1:red/- 1:fast/-");
}

TEST_F(DocParserTest, BraceFramesHandNothingOn) {
  EXPECT_EQ(parse("[ { sports } car , red ]"), "1:sports/-");
  EXPECT_EQ(parse("{ car , red }"), "1:car/red");
}

TEST_F(DocParserTest, ErrorsAreCountedOnceAndParsingGoesOn) {
  EXPECT_EQ(parse("[ , red ] car", 1), "1:car/-");
  EXPECT_EQ(parse("[ car , red", 1), "1:car/red");
  // After the first error the frame is skipped to its bracket, quietly.
  EXPECT_EQ(parse("[ | | , red ] [ , x ] fast", 2), "1:fast/-");
  // A wrong closing bracket is skipped at the top level.
  EXPECT_EQ(parse("{ car , red ] fast", 1), "1:car/red 1:fast/-");
}

TEST_F(DocParserTest, EmptyStringsEnterNothing) {
  EXPECT_EQ(parse("\"\" [ \"\" , red ] [ car , \"\" ]"), "");
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

TEST_F(DocParserTest, WriteListsCountsAndPrintedPairs) {
  Doc doc;
  parse_document("[ car , red ] car", "doc", true, doc);
  std::ostringstream os;
  EXPECT_TRUE(doc.write(os));
  EXPECT_EQ(os.str(), "1\t[ \"car\", \"red\" ]\n1\t[ \"car\" ]\n");
}

}  // namespace
