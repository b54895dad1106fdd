#include "eval/confus.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/param.h"
#include "model/classtab.h"

namespace {

// news (root, 10 test documents) with the sons a and b.
class ConfusionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    class_table.clear();
    class_table.enter_class("news", 0);
    class_table.enter_on_full_name("a", 0);
    class_table.enter_on_full_name("a/deep", 0);
    for (int i = 0; i < 10; ++i)
      class_table.enter_test_example(0, "d" + std::to_string(i));
  }
  void TearDown() override {
    class_table.clear();
    param = Param();
  }

  static ConfusionMatrix matrix(bool multiclass) {
    param.gen.set_multiclass(multiclass);
    return ConfusionMatrix();
  }

  static std::string report(const ConfusionMatrix &m) {
    std::ostringstream os;
    m.print(os);
    return os.str();
  }
};

TEST(Formats, PercentagesAndFields) {
  EXPECT_EQ(100.0, Pct(0, 0).value);
  EXPECT_DOUBLE_EQ(25.0, Pct(1, 3).value);
  std::ostringstream os;
  os << Field("ab", 4) << Field(7u, 3) << Field(Pct(1.0 / 6), 8) << "|";
  EXPECT_EQ("ab      7     16.67% |", os.str());
  EXPECT_EQ(0.0, get_f_beta(1.0, 0.0, 0.0));
  EXPECT_DOUBLE_EQ(0.8 * 0.5 * 5 / (4 * 0.8 + 0.5), get_f_beta(2.0, 0.8, 0.5));
}

TEST_F(ConfusionTest, MulticlassReportLayout) {
  ConfusionMatrix m = matrix(true);
  for (int i = 0; i < 3; ++i) m.enterRS(1);
  m.enterRNS(1);
  m.enterNRS(1);
  m.enter(1, 2);  // ignored in multiclass mode
  const std::string counts = "         3    "
                             "         1    "
                             "         1    "
                             "         5  \n";
  const std::string measures = "     75.00%   "
                               "     75.00%   "
                               "     75.00%   "
                               "     16.67% \n";
  EXPECT_EQ("Contingency table:RS/RNS/NRS/NRNS\n"
            "news  " + counts + "a  " + counts +
            "a/deep           0             0             0            10  \n"
            "\n"
            "Precision/Recall/F-Measure/Fallout\n"
            "Total  " + measures + "a  " + measures + "\n",
            report(m));
}

TEST_F(ConfusionTest, UndefinedAndDegenerateMeasures) {
  ConfusionMatrix m = matrix(true);
  double value = -1;
  EXPECT_FALSE(m.get_precis(2, value));
  EXPECT_EQ(0.0, value);
  // Precision and recall defined but 0: F is 0.
  m.enterRNS(2);
  m.enterNRS(2);
  EXPECT_TRUE(m.get_precis(2, value) && m.get_recall(2, value));
  EXPECT_NE(std::string::npos,
            report(m).find("a/deep        0.00%         0.00%         0.00%   "));
  // More (document, class) pairs than documents: N - RS - RNS is negative.
  for (int i = 0; i < 12; ++i) m.enterRS(1);
  m.get_fallout(0, value);
  EXPECT_EQ(0.0, value);
  EXPECT_NE(std::string::npos, report(m).find("news          12    "
                                              "         1    "
                                              "         1    0\n"));
  EXPECT_DEATH(m.enterRS(3), "failed assertion");
}

TEST_F(ConfusionTest, SingleClassReport) {
  ConfusionMatrix m = matrix(false);
  m.enter(1, 1);
  m.enter(1, 1);
  m.enter(1, 2);
  m.enter(2, 1);
  double fallout = -1;
  m.get_fallout(1, fallout);
  EXPECT_EQ(0.0, fallout);
  EXPECT_EQ(1u, m.get_miss_mem(1));
  EXPECT_EQ(1u, m.get_miss_non(1));
  EXPECT_EQ("Confusion:\n"
            "a  a/deep           1  \n"
            "a/deep  a           1  \n"
            "\n"
            "Precision/Recall/F-Measure\n"
            "a       66.67%        66.67%        66.67% \n"
            "a/deep        0.00%         0.00%         0.00% \n"
            "\n"
            "Correct/Erroneous/Error-rate:\n"
            "a           2             1         33.33% \n"
            "a/deep           0             1        100.00% \n"
            "Total                       2             2         50.00% \n",
            report(m));
  EXPECT_DEATH(m.get_confusion(3, 0), "failed assertion `pos < size\\(\\)'");
}

}  // namespace
