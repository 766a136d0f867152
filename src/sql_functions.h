// Every SQL function of the library, one line each, as
//   X(name, Value, Arguments, measure, refusal)
// name: the SQL name, and the C name of its entry points (name, name_init);
// Value: the kind of its result (Similarity: REAL, Distance: INTEGER,
//   KeyList: a JSON array of integers as a string, Text: a string,
//   JoinPieces: an aggregate's JSON piece);
// Arguments: what it takes (OneString; TwoStrings; TwoStringsAndBound, a
//   third integer;
//   StringAndKeysBound, one string, an integer k up to kMaxKeysBound and
//   optionally the version of the keys;
//   StringAndThreshold, one string and a real threshold; RowsToPair and
//   RowsToCluster, the rows of a join);
// measure: the function of algorithms.h that computes it;
// refusal: the message that refuses any other argument count.
// The entry points are declared (udf.h) and defined (udf.cpp) from this
// list, sql/install.sql and sql/uninstall.sql are checked against it when
// the library is built, and the entry, allocation-failure and thread tests
// and the entry fuzzer loop over it: a new function is one more line here,
// its measure, its own tests and its line in the docs.
//
// jaro and editdistance_dl refuse with the messages of jarowinkler and
// editdistance: the first release checked each pair of functions with one
// shared message, and the four original functions keep their messages as
// they were, since scripts may match on them. Every later function names
// itself.
#pragma once

#define LIKENESS_SQL_FUNCTIONS(X)                                                                  \
    X(jaro, Similarity, TwoStrings, likeness::jaro, "jarowinkler must have exactly two arguments") \
    X(jarowinkler, Similarity, TwoStrings, likeness::jarowinkler,                                  \
      "jarowinkler must have exactly two arguments")                                               \
    X(editdistance, Distance, TwoStrings, likeness::levenshtein,                                   \
      "editdistance must have exactly two arguments")                                              \
    X(editdistance_dl, Distance, TwoStrings, likeness::osa,                                        \
      "editdistance must have exactly two arguments")                                              \
    X(jaro_utf8, Similarity, TwoStrings, likeness::jaro_utf8,                                      \
      "jaro_utf8 must have exactly two arguments")                                                 \
    X(jarowinkler_utf8, Similarity, TwoStrings, likeness::jarowinkler_utf8,                        \
      "jarowinkler_utf8 must have exactly two arguments")                                          \
    X(editdistance_utf8, Distance, TwoStrings, likeness::levenshtein_utf8,                         \
      "editdistance_utf8 must have exactly two arguments")                                         \
    X(editdistance_dl_utf8, Distance, TwoStrings, likeness::osa_utf8,                              \
      "editdistance_dl_utf8 must have exactly two arguments")                                      \
    X(editdistance_bounded, Distance, TwoStringsAndBound, likeness::levenshtein_bounded,           \
      "editdistance_bounded must have exactly three arguments")                                    \
    X(editdistance_dl_bounded, Distance, TwoStringsAndBound, likeness::osa_bounded,                \
      "editdistance_dl_bounded must have exactly three arguments")                                 \
    X(editdistance_utf8_bounded, Distance, TwoStringsAndBound, likeness::levenshtein_utf8_bounded, \
      "editdistance_utf8_bounded must have exactly three arguments")                               \
    X(editdistance_dl_utf8_bounded, Distance, TwoStringsAndBound, likeness::osa_utf8_bounded,      \
      "editdistance_dl_utf8_bounded must have exactly three arguments")                            \
    X(editdistance_keys, KeyList, StringAndKeysBound, likeness::deletion_keys,                     \
      "editdistance_keys must have two or three arguments")                                        \
    X(editdistance_utf8_keys, KeyList, StringAndKeysBound, likeness::deletion_keys_utf8,           \
      "editdistance_utf8_keys must have two or three arguments")                                   \
    X(jarowinkler_keys, KeyList, StringAndThreshold, likeness::similarity_keys,                    \
      "jarowinkler_keys must have exactly two arguments")                                          \
    X(jarowinkler_utf8_keys, KeyList, StringAndThreshold, likeness::similarity_keys_utf8,          \
      "jarowinkler_utf8_keys must have exactly two arguments")                                     \
    LIKENESS_JOINS(X, pairs, RowsToPair, "from three to five")                                     \
    LIKENESS_JOINS(X, clusters, RowsToCluster, "three or four")                                    \
    X(fold_utf8, Text, OneString, likeness::fold_utf8, "fold_utf8 must have exactly one argument")

// The joins of every measure: name_pairs and name_clusters.
#define LIKENESS_JOINS(X, what, Arguments, counts)                                        \
    X(jaro_##what, JoinPieces, Arguments, likeness::JoinMeasure::kJaro,                   \
      "jaro_" #what " must have " counts " arguments")                                    \
    X(jarowinkler_##what, JoinPieces, Arguments, likeness::JoinMeasure::kJaroWinkler,     \
      "jarowinkler_" #what " must have " counts " arguments")                             \
    X(editdistance_##what, JoinPieces, Arguments, likeness::JoinMeasure::kLevenshtein,    \
      "editdistance_" #what " must have " counts " arguments")                            \
    X(editdistance_dl_##what, JoinPieces, Arguments, likeness::JoinMeasure::kOsa,         \
      "editdistance_dl_" #what " must have " counts " arguments")                         \
    X(jaro_utf8_##what, JoinPieces, Arguments, likeness::JoinMeasure::kJaroUtf8,          \
      "jaro_utf8_" #what " must have " counts " arguments")                               \
    X(jarowinkler_utf8_##what, JoinPieces, Arguments, likeness::JoinMeasure::kJaroWinklerUtf8, \
      "jarowinkler_utf8_" #what " must have " counts " arguments")                        \
    X(editdistance_utf8_##what, JoinPieces, Arguments, likeness::JoinMeasure::kLevenshteinUtf8, \
      "editdistance_utf8_" #what " must have " counts " arguments")                       \
    X(editdistance_dl_utf8_##what, JoinPieces, Arguments, likeness::JoinMeasure::kOsaUtf8, \
      "editdistance_dl_utf8_" #what " must have " counts " arguments")
