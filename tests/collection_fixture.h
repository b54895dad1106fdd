// A small collection for tests of the phases that run after document
// collection: a fresh data directory holding stored document profiles, and a
// class table with training and test examples.
#ifndef MIVO_TESTS_COLLECTION_FIXTURE_H
#define MIVO_TESTS_COLLECTION_FIXTURE_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "driver/options.h"
#include "driver/param.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "select/selection.h"
#include "store/database.h"

typedef std::vector<std::pair<uint32_t, uint32_t>> TermCounts;

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

  // Stores the document's profile of (term, frequency) pairs.
  static void store(const std::string &name, const TermCounts &terms) {
    DocProfile profile;
    for (const auto &term : terms) profile.enter_term(term.first, term.second);
    database.enter_document_profile(name, &profile);
  }
  static ClassData &train_doc(const std::string &name, const std::string &full_name,
                          const TermCounts &terms) {
    store(name, terms);
    uint32_t id = class_table.enter_on_full_name(full_name, 0);
    class_table.enter_train_example(id, name);
    return class_table.get_data(id);
  }
  static ClassData &test_doc(const std::string &name, const std::string &full_name,
                         const TermCounts &terms) {
    store(name, terms);
    uint32_t id = class_table.enter_on_full_name(full_name, 0);
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
