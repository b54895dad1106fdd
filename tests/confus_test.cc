#include "eval/confus.h"

#include <gtest/gtest.h>

#include "model/classtab.h"

namespace {

// news (the root, 10 test documents) with the son a and grandson a/deep.
class ConfusionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    class_table.enter_class("news", 0);
    class_table.enter_on_full_name("a/deep", 0);
    for (int i = 0; i < 10; ++i) class_table.enter_test_example(0, "d" + std::to_string(i));
    param.gen.set_multiclass(true);
  }
  void TearDown() override {
    class_table.clear();
    param = Param();
  }
  static std::string report(const ConfusionMatrix &m) {
    std::ostringstream os;
    return m.print(os), os.str();
  }
};

// The class a: 6 right, 3 missed, 1 wrongly chosen, which add up to every
// test document. With beta 2 the F-measure weighs recall (66.67%) above
// precision (85.71%).
TEST_F(ConfusionTest, ReportLayout) {
  param.gen.set_fparameter(2);
  ConfusionMatrix m;
  for (int i = 0; i < 6; ++i) m.enterRS(1);
  for (int i = 0; i < 3; ++i) m.enterRNS(1);
  m.enterNRS(1);
  const std::string counts = "         6             3             1             0  \n";
  const std::string measures = "     85.71%        66.67%        69.77%       100.00% \n";
  EXPECT_EQ("Contingency table:RS/RNS/NRS/NRNS\n"
            "news  " + counts + "a  " + counts +
            "a/deep           0             0             0            10  \n\n"
            "Precision/Recall/F-Measure/Fallout\n"
            "Total  " + measures + "a  " + measures + "\n",
            report(m));
}

TEST_F(ConfusionTest, DegenerateMeasures) {
  EXPECT_EQ(100.0, Pct(0, 0).value);
  ConfusionMatrix m;
  m.enterRNS(2);  // precision and recall 0 but defined: F is 0
  m.enterNRS(2);
  for (int i = 0; i < 12; ++i) m.enterRS(1);  // more pairs than documents
  double fallout = -1;
  m.get_fallout(0, fallout);
  EXPECT_EQ(0.0, fallout);
  std::string text = report(m);
  EXPECT_NE(std::string::npos, text.find("news          12             1             1    0\n"));
  EXPECT_NE(std::string::npos,
            text.find("a/deep        0.00%         0.00%         0.00%        11.11% \n"));
}

}  // namespace
