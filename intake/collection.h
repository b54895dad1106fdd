// Document collection: reads the "train" and "test" lists of the examples
// directory and enters every listed document under its classes, profiling each
// one on the way.
#ifndef MIVO_INTAKE_COLLECTION_H
#define MIVO_INTAKE_COLLECTION_H

// The whole collection phase; returns only on success. The empty name stands
// for the working directory, whose root class then has the empty name.
void collect_all_documents(const char *examples);

#endif  // MIVO_INTAKE_COLLECTION_H
