"""Runs mivo and its peers on examples directories and prints one table per
corpus: micro-F1 and wall seconds. Called by bench/effectiveness, which
installs the peers and builds the corpora.

Every figure is a micro-F1 over (document, class) pairs of the test list,
counting only classes that the lists name, so that mivo and the peers are
scored alike whatever inner classes mivo decides on its way down. The first-
ranked class is the exception: a rank file ranks the root's sons only, so it
is scored against the test documents' classes cut to their first level.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

LEARNERS = ("W", "R", "S")


def clean_class(name):
    # As mivo reads a list: the part after a ':' and a leading '?' are dropped.
    name = name.split(":", 1)[0]
    return name[1:] if name.startswith("?") else name


def document(name):
    return name[:-4] if name.endswith(".txt") else name


def read_list(path):
    """(document, [classes]) in the list's order."""
    entries = []
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        for line in f:
            fields = line.rstrip("\r\n").split(" ")
            if len(fields) >= 2:
                entries.append((document(fields[0]), [clean_class(c) for c in fields[1:] if c]))
    return entries


def micro_f1(gold, predicted):
    """gold, predicted: sets of (document, class) pairs."""
    if not gold and not predicted:
        return None
    hits = len(gold & predicted)
    return 2 * hits / (len(gold) + len(predicted))


class Corpus:
    def __init__(self, name, directory):
        self.name = name
        self.directory = os.path.abspath(directory)
        self.train = read_list(os.path.join(directory, "train"))
        self.test = read_list(os.path.join(directory, "test"))
        self.classes = sorted({c for _, cs in self.train + self.test for c in cs})
        self.multi_label = any(len(set(cs)) > 1 for _, cs in self.train + self.test)
        self.gold = {(d, c) for d, cs in self.test for c in cs}

    def texts(self, entries):
        # Raw bytes of the same files that mivo's analyser reads.
        texts = []
        for name, _ in entries:
            with open(os.path.join(self.directory, "files", name + ".txt"), "rb") as f:
                texts.append(f.read().decode("utf-8", "replace"))
        return texts

    def describe(self):
        return "%s: %d training and %d test documents, %d classes, %s" % (
            self.name, len(self.train), len(self.test), len(self.classes),
            "several classes a document" if self.multi_label else "one class a document")


# --- mivo -------------------------------------------------------------------

def mivo_scores(corpus, examples, log):
    """Micro-F1 of mivo's decisions, of its report and of its first-ranked class."""
    named = set(corpus.classes)
    decided = None
    decisions = os.path.join(examples, "decisions.dat")
    if os.path.exists(decisions):
        predicted = set()
        with open(decisions, encoding="utf-8", errors="surrogateescape") as f:
            for line in f:
                fields = line.split()
                if fields:
                    predicted |= {(document(fields[0]), c) for c in fields[1:] if c in named}
        decided = micro_f1(corpus.gold, predicted)

    report = None
    with open(log, encoding="utf-8", errors="replace") as f:
        for line in f:
            fields = line.split()
            if len(fields) == 5 and fields[0] == "Total":
                report = float(fields[3].rstrip("%")) / 100
                break

    first = None
    ranks = os.path.join(examples, "rank0.dat")
    if os.path.exists(ranks):
        gold = {(d, c.split("/", 1)[0]) for d, c in corpus.gold}
        predicted = set()
        with open(ranks, encoding="utf-8", errors="surrogateescape") as f:
            for line in f:
                fields = line.split()
                if len(fields) >= 2:
                    predicted.add((document(fields[0]), fields[1].rsplit(":", 1)[0]))
        first = micro_f1(gold, predicted)
    return decided, report, first


def run_mivo(mivo, analyser, corpus, run_dir, learner, rc):
    """One cold run in a scratch folder of its own; returns the row's figures."""
    shutil.rmtree(run_dir, ignore_errors=True)
    # mivo names the root after the examples directory, and a son of the
    # root of the same name is taken for the root itself.
    root = corpus.name + "-examples"
    examples = os.path.join(run_dir, root)
    os.makedirs(examples)
    for name in ("train", "test"):
        shutil.copy(os.path.join(corpus.directory, name), examples)
    os.symlink(os.path.join(corpus.directory, "files"), os.path.join(examples, "files"))
    shutil.copy(analyser, run_dir)
    # The script hands over to its compiled form when it sits beside it.
    program = os.path.join(os.path.dirname(mivo), "mivo-analyse")
    if os.path.exists(program):
        shutil.copy(program, run_dir)
    settings = ""
    if rc:
        with open(rc) as f:
            settings = f.read() + "\n"
    # Appended, so that the documents are read from the corpus whatever the
    # resource file says.
    settings += '[General]\nFileDirectory "%s/files"\n' % root
    with open(os.path.join(run_dir, "mivo.rc"), "w") as f:
        f.write(settings)
    start = time.monotonic()
    with open(os.path.join(run_dir, "screen"), "w") as screen:
        status = subprocess.call([mivo, "-d", "data", "-a", learner, root], cwd=run_dir,
                                 stdout=screen, stderr=subprocess.STDOUT)
    seconds = time.monotonic() - start
    if status != 0:
        print("mivo -a %s failed with status %d: see %s/screen" % (learner, status, run_dir),
              file=sys.stderr)
        return None, None, None, seconds
    return mivo_scores(corpus, examples, os.path.join(run_dir, "mivo.log")) + (seconds,)


# --- peers ------------------------------------------------------------------

def peer_run(corpus, fit_predict):
    """Reads the documents, trains and tests; returns (micro-F1, seconds)."""
    start = time.monotonic()
    train_texts, test_texts = corpus.texts(corpus.train), corpus.texts(corpus.test)
    predicted = fit_predict(corpus, train_texts, test_texts)
    seconds = time.monotonic() - start
    named = set(corpus.classes)
    pairs = {(name, c) for (name, _), cs in zip(corpus.test, predicted) for c in cs if c in named}
    return micro_f1(corpus.gold, pairs), seconds


def sklearn_peer(make_vectorizer, make_classifier, one_vs_rest=None):
    """fit_predict for a scikit-learn classifier; one_vs_rest replaces the
    default OneVsRestClassifier for several classes a document."""
    def fit_predict(corpus, train_texts, test_texts):
        from sklearn.multiclass import OneVsRestClassifier
        from sklearn.preprocessing import MultiLabelBinarizer
        vectorizer = make_vectorizer()
        X = vectorizer.fit_transform(train_texts)
        Y = vectorizer.transform(test_texts)
        if not corpus.multi_label:
            model = make_classifier().fit(X, [cs[0] for _, cs in corpus.train])
            return [[c] for c in model.predict(Y)]
        labels = MultiLabelBinarizer(classes=corpus.classes)
        T = labels.fit_transform([cs for _, cs in corpus.train])
        if one_vs_rest:
            P = one_vs_rest(X, T, Y)
        else:
            P = OneVsRestClassifier(make_classifier()).fit(X, T).predict(Y)
        return [list(cs) for cs in labels.inverse_transform(P)]
    return fit_predict


def centroids_one_vs_rest(X, T, Y):
    # NearestCentroid gives no scores, which OneVsRestClassifier needs: one
    # binary model per class instead.
    import numpy
    from sklearn.neighbors import NearestCentroid
    columns = []
    for k in range(T.shape[1]):
        column = T[:, k]
        if column.min() == column.max():
            columns.append(numpy.full(Y.shape[0], column[0]))
        else:
            columns.append(NearestCentroid().fit(X, column).predict(Y))
    return numpy.column_stack(columns)


def fasttext_tokens(text):
    # fastText splits at white space only: lower case and punctuation set
    # apart, so that "word," and "Word" are "word".
    return " ".join(re.findall(r"\w+|[^\w\s]", text.lower()))


def fasttext_fit_predict(corpus, train_texts, test_texts):
    with tempfile.TemporaryDirectory() as work:
        # fastText reads its input in order, and a list sorted by class
        # leaves it with the last classes in mind: shuffled, the same way
        # every run.
        lines = [" ".join("__label__" + c for c in cs) + " " + fasttext_tokens(text) + "\n"
                 for (_, cs), text in zip(corpus.train, train_texts)]
        random.Random(0).shuffle(lines)
        train = os.path.join(work, "train.txt")
        with open(train, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.writelines(lines)
        test = os.path.join(work, "test.txt")
        with open(test, "w", encoding="utf-8", errors="surrogateescape") as f:
            for text in test_texts:
                f.write(fasttext_tokens(text) + "\n")
        model = os.path.join(work, "model")
        # One thread: with more, fastText's results change from run to run.
        options = ["-lr", "1.0", "-epoch", "25", "-wordNgrams", "2", "-thread", "1", "-verbose", "0"]
        if corpus.multi_label:
            options += ["-loss", "ova"]
        subprocess.run(["fasttext", "supervised", "-input", train, "-output", model] + options,
                       check=True, stdout=subprocess.DEVNULL)
        how = ["-1", "0.5"] if corpus.multi_label else ["1"]
        out = subprocess.run(["fasttext", "predict", model + ".bin", test] + how,
                             check=True, stdout=subprocess.PIPE, text=True).stdout
    lines = out.split("\n")[:len(test_texts)]
    return [[label[len("__label__"):] for label in line.split()] for line in lines]


def peers():
    from sklearn.feature_extraction.text import CountVectorizer, TfidfVectorizer
    from sklearn.naive_bayes import MultinomialNB
    from sklearn.neighbors import NearestCentroid
    from sklearn.svm import LinearSVC
    decode = dict(decode_error="replace")
    return [
        ("LinearSVC, tf-idf", sklearn_peer(lambda: TfidfVectorizer(**decode),
                                           lambda: LinearSVC(random_state=0))),
        ("MultinomialNB, counts", sklearn_peer(lambda: CountVectorizer(**decode), MultinomialNB)),
        ("NearestCentroid, tf-idf", sklearn_peer(lambda: TfidfVectorizer(**decode), NearestCentroid,
                                                 centroids_one_vs_rest)),
        ("fastText", fasttext_fit_predict),
    ]


# --- the tables -------------------------------------------------------------

def figure(value):
    return "-" if value is None else "%.4f" % value


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mivo", required=True)
    parser.add_argument("--analyser", required=True)
    parser.add_argument("--work", required=True, help="folder for the runs")
    parser.add_argument("--rc", help="resource file for the second set of mivo rows")
    parser.add_argument("--no-defaults", action="store_true", help="leave out mivo's defaults")
    parser.add_argument("--learners", default="".join(LEARNERS), help="mivo's learners to run")
    parser.add_argument("--no-peers", action="store_true", help="mivo alone")
    parser.add_argument("corpora", nargs="+", help="name=examples directory")
    args = parser.parse_args()
    settings = ([] if args.no_defaults else [("defaults", None)]) + \
        ([(os.path.basename(args.rc), args.rc)] if args.rc else [])
    row = "%-32s %9s %9s %13s %9s"
    for argument in args.corpora:
        name, directory = argument.split("=", 1)
        corpus = Corpus(name, directory)
        print(corpus.describe())
        print(row % ("micro-F1 of", "decided", "report", "first-ranked", "seconds"))
        for label, rc in settings:
            for learner in args.learners:
                run_dir = os.path.join(args.work, name, "%s-%s" % (label, learner))
                decided, report, first, seconds = run_mivo(
                    os.path.abspath(args.mivo), args.analyser, corpus, run_dir, learner, rc)
                print(row % ("mivo -a %s, %s" % (learner, label), figure(decided),
                             figure(report), figure(first), "%.1f" % seconds), flush=True)
        for label, fit_predict in ([] if args.no_peers else peers()):
            f1, seconds = peer_run(corpus, fit_predict)
            print(row % (label, figure(f1), "", "", "%.1f" % seconds), flush=True)
        print()


if __name__ == "__main__":
    main()
