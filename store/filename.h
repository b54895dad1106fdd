// Every file name of a data directory, and the paths built from them: the
// one place that says what a data directory holds.
#ifndef MIVO_STORE_FILENAME_H
#define MIVO_STORE_FILENAME_H

#include <cstdint>
#include <string>

// Paths in the data directory dir; the empty dir is the working directory.
std::string atoms_file_name(const std::string &dir);
std::string terms_file_name(const std::string &dir);
// The side records "atoms.sum" and "terms.sum": how many bytes of the
// vocabulary file the last save wrote, and their checksum.
std::string atoms_checksum_file_name(const std::string &dir);
std::string terms_checksum_file_name(const std::string &dir);
std::string classes_file_name(const std::string &dir);
// "class<id>.cpf", the profile of class id, and "class<id>.cpw", its weights.
std::string class_profile_file_name(const std::string &dir, uint32_t id);
std::string class_weights_file_name(const std::string &dir, uint32_t id);
// The manifest naming the files of the stored model with their checksums.
std::string model_file_name(const std::string &dir);
// The file that keeps a second process out of the directory.
std::string lock_file_name(const std::string &dir);
// The stem of the profile store's index and repository files.
std::string profile_store_name(const std::string &dir);

#endif  // MIVO_STORE_FILENAME_H
