// The ids of the vocabulary: an atom (a word or phrase) and a term (a head
// and modifier pair of atoms) are numbered densely from 0, 32 bits wide in
// memory and in the files; one value is never given out and means "none".
#ifndef MIVO_MODEL_IDS_H
#define MIVO_MODEL_IDS_H

#include <cstdint>

// No atom, no term: a head-only term's modifier, the end of a chain, a free
// slot of a table, a term that a table does not hold.
constexpr uint32_t NoId = 0xffffffffU;

#endif  // MIVO_MODEL_IDS_H
