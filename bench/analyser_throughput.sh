#!/usr/bin/env bash
# Measures how many megabytes of document text a second the shipped analyser
# gets through over its pipe protocol, timing requests and answers as mivo
# makes and reads them: the script analyser/analyse.pl on its own and its
# compiled form mivo-analyse. Prints for each one figure for a large
# generated text and, when an examples directory is given, one for all the
# documents in its "files" folder (the demo corpus, say). Target: at least
# 5 MB/s. Requests and answers alternate, so with many small documents the
# round trip, not the analysis, sets the pace, and a busy machine slows it
# down most.
# Usage: analyser_throughput.sh [ <examples directory> ] (MB=<size> to change
# the generated text's 20 MB, MIVO_ANALYSE=<program> for a compiled analyser
# other than build/mivo-analyse)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A fixed pseudo-random text: made-up words of two to four syllables with
# the punctuation, line breaks, numbers and occasional accents of prose.
perl -e '
  srand 11;
  my @syllables = qw(ka lo mi ne ru ta vo si pe da gu fi ber tran sol ing ed ly);
  my @words = map { join "", map { $syllables[rand @syllables] } 0 .. 1 + rand 3 } 1 .. 5000;
  push @words, qw(the of and to in is that for it with as was on be by café naïve);
  my @after = ((" ") x 12, ", ", ". ", ".\n", "\n", "; ", " - ", "? ");
  my ($size, $text) = ($ARGV[0] * 1_000_000, "");
  while (length $text < $size) {
    $text .= $words[rand @words] . (rand() < 0.01 ? " " . int rand 10000 : "") . $after[rand @after];
  }
  print $text;
' "${MB:-20}" > "$work/large.txt"

# throughput <label> <analyser> <files...>: one analyser, one request per file.
throughput() {
  local label="$1" analyser="$2"; shift 2
  printf '%s\n' "$@" | perl -MIPC::Open2 -MTime::HiRes=time -e '
    my $label = shift;
    my @paths = map { chomp; $_ } <STDIN>;
    my $start = time;
    my $pid = open2(my $from, my $to, @ARGV);
    my ($bytes, $answer) = (0, 0);
    for my $path (@paths) {
      print $to "$path\n";
      $to->flush;
      local $/ = "\x01";
      my $reply = <$from>;
      die "analyser ended early\n" unless defined $reply && $reply =~ /\x01\z/;
      $answer += length($reply) - 1;
      $bytes += -s $path;
    }
    close $to;
    waitpid $pid, 0;
    my $seconds = time - $start;
    printf "%s: %d documents, %.1f MB in %.2f s: %.1f MB/s%s (answers %.1f MB)\n",
      $label, scalar @paths, $bytes / 1e6, $seconds, $bytes / 1e6 / $seconds,
      @paths > 1 ? sprintf(", %.0f documents/s", @paths / $seconds) : "", $answer / 1e6;
  ' "$label" $analyser
}

program="${MIVO_ANALYSE:-$top/build/mivo-analyse}"
analysers=("script:perl $top/analyser/analyse.pl")
if [ -x "$program" ]; then analysers+=("compiled:$program"); fi
shopt -s nullglob
documents=()
if [ $# -ge 1 ]; then documents=("$1"/files/*.txt); fi
export MIVO_ANALYSE_PERL=1   # the script on its own, not handing over
for analyser in "${analysers[@]}"; do
  throughput "${analyser%%:*}, large generated text" "${analyser#*:}" "$work/large.txt"
  if [ ${#documents[@]} -gt 0 ]; then
    throughput "${analyser%%:*}, documents of $1" "${analyser#*:}" "${documents[@]}"
  fi
done
