// Polling: one look into the "in" subdirectory of the input directory; every
// ".txt" document found there is profiled, ranked with the learnt class
// profiles and written to one numbered result file.
#ifndef MIVO_EVAL_POLLING_H
#define MIVO_EVAL_POLLING_H

#include <string>

class Explanations;

// The whole polling phase over input/in: the rankings go to "rankN.dat" in
// the examples directory (or the working directory), written as "rankN.tmp"
// and renamed when complete. A directory that cannot be read or a result
// file that cannot be written ends the run.
// Returns the result file's path, or nothing when there was no document.
// With explanations, the classes ranked for each document are explained.
std::string classify_documents(const char *input, Explanations *explanations = nullptr);

#endif  // MIVO_EVAL_POLLING_H
