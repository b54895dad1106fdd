// Document profiling: turns a document, given by its name, into a stored
// document profile, running it through the analyser at most once per name.
#ifndef MIVO_INTAKE_PROFILING_H
#define MIVO_INTAKE_PROFILING_H

#include <string>

// Has the document analysed ahead unless its profile is stored: the
// analysers work on it while the documents before it are parsed and stored.
// profile_document must then be asked for the expected documents in the order
// they were expected; profiles are stored, and terms numbered, in that order
// however many analysers there are.
void expect_document(const std::string &document);

// Analyses and parses the document, maps its (head, modifier) pairs to terms
// and stores the profile under the name; nothing when one is stored, or on
// its way, already. The pairs of a batch of documents are mapped in another
// thread while the next batch is parsed: the profiles are stored, in order,
// when finish_profiling returns.
void profile_document(const std::string &document);
void finish_profiling();

#endif  // MIVO_INTAKE_PROFILING_H
