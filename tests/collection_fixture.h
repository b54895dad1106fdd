// A small collection for the tests of the phases after document collection:
// a fresh data directory with stored document profiles, and a class table
// rooted at "news" with training and test examples.
#ifndef MIVO_TESTS_COLLECTION_FIXTURE_H
#define MIVO_TESTS_COLLECTION_FIXTURE_H

#include <filesystem>

#include "base/options.h"
#include "model/classtab.h"
#include "select/selection.h"
#include "store/database.h"
#include "tests/child_run.h"

class CollectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all("data");
    database.initialise("data");
    class_table.enter_class("news", 0);
  }
  void TearDown() override {
    database.close();
    class_table.clear();
    selected_terms.clear();
    param = Param();
    options = Options();
  }

  // Stores a document of (term, frequency) pairs as an example of the class.
  static ClassData &example(const std::string &name, const std::string &full_name,
                            const std::vector<std::pair<uint32_t, uint32_t>> &terms,
                            bool training = true) {
    DocProfile profile;
    for (const auto &term : terms) profile.enter_term(term.first, term.second);
    database.enter_document_profile(name, &profile);
    uint32_t id = class_table.enter_on_full_name(full_name, 0);
    if (training)
      class_table.enter_train_example(id, name);
    else
      class_table.enter_test_example(id, name);
    return class_table.get_data(id);
  }
  static ClassData &data(const std::string &full_name) {
    ClassData *found = nullptr;
    EXPECT_TRUE(class_table.extract_full_name(full_name, &found)) << full_name;
    return *found;
  }
};

#endif  // MIVO_TESTS_COLLECTION_FIXTURE_H
