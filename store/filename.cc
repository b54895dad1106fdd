#include "store/filename.h"

#include "base/utils.h"

namespace {

std::string class_file_name(const std::string &dir, uint32_t id, const char *extension) {
  return PathName(dir, "class" + std::to_string(id), extension).get();
}

}  // namespace

std::string atoms_file_name(const std::string &dir) { return PathName(dir, "atoms.dat").get(); }

std::string terms_file_name(const std::string &dir) { return PathName(dir, "terms.dat").get(); }

std::string atoms_checksum_file_name(const std::string &dir) {
  return PathName(dir, "atoms.sum").get();
}

std::string terms_checksum_file_name(const std::string &dir) {
  return PathName(dir, "terms.sum").get();
}

std::string classes_file_name(const std::string &dir) { return PathName(dir, "classes").get(); }

std::string class_profile_file_name(const std::string &dir, uint32_t id) {
  return class_file_name(dir, id, ".cpf");
}

std::string class_weights_file_name(const std::string &dir, uint32_t id) {
  return class_file_name(dir, id, ".cpw");
}

std::string model_file_name(const std::string &dir) { return PathName(dir, "model").get(); }

std::string lock_file_name(const std::string &dir) { return PathName(dir, "lock").get(); }

std::string profile_store_name(const std::string &dir) {
  return PathName(dir, "profile-store").get();
}
