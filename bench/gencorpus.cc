// Writes a synthetic examples directory for benchmarks and end-to-end tests:
// documents drawn from class-conditional word distributions over a Zipfian
// vocabulary, classes in a hierarchy of up to three levels, some documents in
// two classes, a train/test split and optionally new documents to poll.
// The same arguments always give the same files.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Settings {
  unsigned long documents = 1000;
  unsigned long classes = 20;
  unsigned int levels = 3;
  unsigned long vocabulary = 50000;
  unsigned long poll = 0;
  uint64_t seed = 1;
  double multi = 0.1;  // share of documents in two classes
  double test = 0.25;  // share of documents in the test list
  unsigned int min_length = 50;
  unsigned int max_length = 500;
  std::string out;
};

// splitmix64: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state(seed) {}
  uint64_t next() {
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(next() >> 11) / 9007199254740992.0; }
  unsigned long below(unsigned long n) { return static_cast<unsigned long>(next() % n); }

 private:
  uint64_t state;
};

// Draws 0..n-1 with probability proportional to 1 / (rank + 1).
class Zipf {
 public:
  explicit Zipf(unsigned long n) : cdf(n) {
    double sum = 0.0;
    for (unsigned long i = 0; i < n; ++i) cdf[i] = (sum += 1.0 / static_cast<double>(i + 1));
    for (double &c : cdf) c /= sum;
  }
  unsigned long draw(Random &random) const {
    auto it = std::lower_bound(cdf.begin(), cdf.end(), random.uniform());
    if (it == cdf.end()) return cdf.size() - 1;
    return static_cast<unsigned long>(it - cdf.begin());
  }

 private:
  std::vector<double> cdf;
};

// Pronounceable, distinct words: the id in base 20, one syllable a digit.
std::string word_of(unsigned long id) {
  static const char *const syllables[] = {"ba", "ke", "lo", "mi", "nu", "pa", "re",
                                          "si", "to", "vu", "da", "fe", "go", "hi",
                                          "ju", "ka", "le", "mo", "ni", "po"};
  std::string word;
  do {
    word += syllables[id % 20];
    id /= 20;
  } while (id > 0);
  return word;
}

// One node of the class tree: its full name, its father and its topic words.
struct Topic {
  std::string name;
  long father;
  std::vector<unsigned long> words;
};

struct Corpus {
  std::vector<Topic> topics;
  std::vector<unsigned long> leaves;  // indices into topics
};

// Spreads the leaves over the levels: about n^(1/levels) classes below each
// inner class, leaves dealt round-robin to the classes of the last inner level.
Corpus make_classes(const Settings &s, Random &random) {
  Corpus corpus;
  unsigned long fan = static_cast<unsigned long>(
      std::ceil(std::pow(static_cast<double>(s.classes), 1.0 / s.levels)));
  auto add_topic = [&](long father, const std::string &name, unsigned int words) {
    Topic topic{father < 0 ? name : corpus.topics[father].name + "/" + name, father, {}};
    for (unsigned int i = 0; i < words; ++i)
      topic.words.push_back(100 + random.below(s.vocabulary - 100));
    corpus.topics.push_back(topic);
    return static_cast<long>(corpus.topics.size() - 1);
  };
  std::vector<long> fathers{-1};
  for (unsigned int level = 1; level < s.levels; ++level) {
    std::vector<long> inner;
    for (long father : fathers)
      for (unsigned long i = 0; i < fan; ++i) {
        std::string name = (level == 1 ? "area" : "field") + std::to_string(inner.size());
        inner.push_back(add_topic(father, name, 40));
      }
    fathers.swap(inner);
  }
  for (unsigned long i = 0; i < s.classes; ++i)
    corpus.leaves.push_back(static_cast<unsigned long>(
        add_topic(fathers[i % fathers.size()], "topic" + std::to_string(i), 80)));
  return corpus;
}

// A word of a document about leaf: mostly background, else one of the topic
// words of the leaf or, less often, of one of its ancestors.
unsigned long draw_word(const Corpus &corpus, unsigned long leaf, const Zipf &background,
                        const Zipf &topical, Random &random) {
  double u = random.uniform();
  if (u < 0.6) return background.draw(random);
  long topic = static_cast<long>(corpus.leaves[leaf]);
  while (u > 0.85 && corpus.topics[topic].father >= 0) {
    topic = corpus.topics[topic].father;
    u -= 0.08;
  }
  const std::vector<unsigned long> &words = corpus.topics[topic].words;
  return words[topical.draw(random) % words.size()];
}

bool write_document(const std::string &path, const Corpus &corpus,
                    const std::vector<unsigned long> &leaves, const Settings &s,
                    const Zipf &background, const Zipf &topical, Random &random) {
  FILE *file = fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  unsigned long length = s.min_length + random.below(s.max_length - s.min_length + 1);
  unsigned long sentence = 0;
  for (unsigned long i = 0; i < length; ++i) {
    unsigned long leaf = leaves[random.below(leaves.size())];
    std::string word = word_of(draw_word(corpus, leaf, background, topical, random));
    if (sentence == 0) word[0] = static_cast<char>(word[0] - 'a' + 'A');
    fputs(word.c_str(), file);
    if (++sentence >= 8 + random.below(12) || i + 1 == length) {
      fputs(random.below(4) == 0 ? ".\n" : ". ", file);
      sentence = 0;
    } else {
      fputc(' ', file);
    }
  }
  return fclose(file) == 0;
}

[[noreturn]] void usage() {
  fprintf(stderr,
          "usage: gencorpus [-n documents] [-c classes] [-l levels] [-v vocabulary]\n"
          "                 [-p poll-documents] [-s seed] [-m two-class-share]\n"
          "                 [-t test-share] <output-directory>\n");
  exit(2);
}

Settings parse(int argc, char **argv) {
  Settings s;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() == 2 && arg[0] == '-' && i + 1 < argc) {
      const char *value = argv[++i];
      switch (arg[1]) {
        case 'n': s.documents = strtoul(value, nullptr, 10); break;
        case 'c': s.classes = strtoul(value, nullptr, 10); break;
        case 'l': s.levels = static_cast<unsigned int>(strtoul(value, nullptr, 10)); break;
        case 'v': s.vocabulary = strtoul(value, nullptr, 10); break;
        case 'p': s.poll = strtoul(value, nullptr, 10); break;
        case 's': s.seed = strtoull(value, nullptr, 10); break;
        case 'm': s.multi = atof(value); break;
        case 't': s.test = atof(value); break;
        default: usage();
      }
    } else if (s.out.empty() && !arg.empty() && arg[0] != '-') {
      s.out = arg;
    } else {
      usage();
    }
  }
  if (s.out.empty() || s.classes == 0 || s.levels < 1 || s.levels > 3 || s.vocabulary < 1000)
    usage();
  return s;
}

void make_directory(const std::string &path) {
  if (mkdir(path.c_str(), 0775) != 0 && errno != EEXIST) {
    perror(path.c_str());
    exit(1);
  }
}

// Writes count documents named prefix + number into directory; each about one
// or two leaves. Appends "name class..." lines to list when it is given.
void write_documents(const Settings &s, const Corpus &corpus, const std::string &directory,
                     const char *prefix, unsigned long count, FILE *train, FILE *test,
                     Random &random) {
  Zipf background(s.vocabulary);
  Zipf topical(80);
  char name[32];
  for (unsigned long d = 0; d < count; ++d) {
    std::vector<unsigned long> leaves{random.below(s.classes)};
    if (random.uniform() < s.multi) {
      unsigned long second = random.below(s.classes);
      if (second != leaves[0]) leaves.push_back(second);
    }
    snprintf(name, sizeof name, "%s%07lu.txt", prefix, d);
    if (!write_document(directory + "/" + name, corpus, leaves, s, background, topical,
                        random)) {
      perror(name);
      exit(1);
    }
    if (train == nullptr) continue;
    FILE *list = random.uniform() < s.test ? test : train;
    fputs(name, list);
    for (unsigned long leaf : leaves)
      fprintf(list, " %s", corpus.topics[corpus.leaves[leaf]].name.c_str());
    fputc('\n', list);
  }
}

}  // namespace

int main(int argc, char **argv) {
  Settings s = parse(argc, argv);
  Random random(s.seed);
  Corpus corpus = make_classes(s, random);

  make_directory(s.out);
  make_directory(s.out + "/files");
  FILE *train = fopen((s.out + "/train").c_str(), "w");
  FILE *test = fopen((s.out + "/test").c_str(), "w");
  if (train == nullptr || test == nullptr) {
    perror(s.out.c_str());
    return 1;
  }
  write_documents(s, corpus, s.out + "/files", "d", s.documents, train, test, random);
  if (fclose(train) != 0 || fclose(test) != 0) {
    perror(s.out.c_str());
    return 1;
  }
  if (s.poll > 0) {
    make_directory(s.out + "/input");
    make_directory(s.out + "/input/in");
    write_documents(s, corpus, s.out + "/input/in", "p", s.poll, nullptr, nullptr, random);
  }
  return 0;
}
