#!/usr/bin/env perl
# analyse.pl: mivo's default analyser. Reads one document path per line on
# standard input and answers each with the document's terms in mivo's
# head/modifier notation, followed by one byte of value 1; runs until its
# input closes.
#
# Every kept word is written as a single term; two kept words that stand next
# to each other, with only blanks or tabs between them, are also written as
# the pair "[ right , left ]", the right word being the head ("red car" gives
# "[ car , red ]"). Kept words consist of letters, digits and combining
# marks with inner hyphens and apostrophes (and points between digits), so
# no word ever holds a character that means something in the notation.

# mivo-analyse, the compiled form of this script, gives the same answers many
# times faster: hand over to it, before anything is read or loaded, when it
# sits beside the script (beside its target when the script is a link).
# MIVO_ANALYSE_PERL=1 keeps the script.
BEGIN {
    my $script = $0;
    for (1 .. 32) {
        my $target = readlink $script;
        last unless defined $target;
        $script = $target =~ m{^/} ? $target : ($script =~ m{^(.*/)}s ? $1 : '') . $target;
    }
    my $program = ($script =~ m{^(.*/)}s ? $1 : './') . 'mivo-analyse';
    exec {$program} $program, @ARGV if !$ENV{MIVO_ANALYSE_PERL} && -f $program && -x _;
}

use strict;
use warnings;
use feature qw(fc);
use Encode ();
use Getopt::Long ();
use Unicode::Normalize ();

my $USAGE = <<'END';
Usage: analyse.pl [ -h ] [ -words ] [ -keep-stopwords ] [ -stopwords <file> ]
                  [ -min-length <n> ] [ -max-length <n> ]
Reads one document path per line on standard input and answers each with the
document's words and pairs of adjacent words in mivo's term notation, ended
by a byte of value 1. A document that cannot be read gets an empty answer.
    -h                  show this help
    -words              single words only, no head/modifier pairs
    -keep-stopwords     keep English function words ("the", "of", ...)
    -stopwords <file>   take the stop words from <file>, one a line,
                        instead of the built-in list
    -min-length <n>     drop words shorter than <n> characters (default 2)
    -max-length <n>     drop words longer than <n> characters (default 40)
END

my $BREAK = "\x01";    # stands between two words that are not adjacent

my %settings = (pairs => 1, stop => 1, stopfile => undef, min => 2, max => 40);

sub parse_options {
    # mivo splits its analyser command at every blank, so two blanks in a
    # row arrive as an empty argument.
    @ARGV = grep { length } @ARGV;
    Getopt::Long::Configure(qw(no_auto_abbrev no_ignore_case));
    my $help = 0;
    my $ok = Getopt::Long::GetOptions(
        'h|help'         => \$help,
        'words'          => sub { $settings{pairs} = 0 },
        'keep-stopwords' => sub { $settings{stop} = 0 },
        'stopwords=s'    => \$settings{stopfile},
        'min-length=i'   => \$settings{min},
        'max-length=i'   => \$settings{max},
    );
    if ($help) {
        print $USAGE;
        exit 0;
    }
    if (!$ok || @ARGV || $settings{min} < 1 || $settings{max} < $settings{min}) {
        print STDERR "analyse.pl: unexpected argument `$ARGV[0]'\n" if $ok && @ARGV;
        print STDERR $USAGE;
        exit 2;
    }
}

# The words analyse_text() skips: $BREAK, and the stop words unless
# -keep-stopwords.
sub skipped_words {
    my %skip = ($BREAK => 1);
    return \%skip unless $settings{stop};
    my @lines;
    if (defined $settings{stopfile}) {
        open my $fh, '<:raw', $settings{stopfile}
            or die "analyse.pl: cannot open stop-word list `$settings{stopfile}': $!\n";
        @lines = <$fh>;
    } else {
        @lines = <DATA>;
    }
    for my $line (@lines) {
        $line =~ s/#.*//;
        $skip{$_} = 1 for split ' ', normalise($line);
    }
    return \%skip;
}

sub complain {
    my ($path, $why) = @_;
    print STDERR "analyse.pl: cannot read `$path': $why\n";
}

# The document's bytes, or undef (after a message) when it cannot be read.
sub read_document {
    my ($path) = @_;
    my $fh;
    if (!open $fh, '<:raw', $path) {
        complain($path, $!);
        return undef;
    }
    local $/;
    my $bytes = <$fh>;    # an empty file gives "", a failed read undef
    complain($path, $!) unless defined $bytes;
    close $fh;
    return $bytes;
}

# The document as UTF-8 bytes holding words separated by blanks or by
# $BREAK, which parts two words that are not adjacent: case is folded, and
# every run of characters other than letters, digits, marks, blanks and
# connectors becomes $BREAK. Most text is ASCII, so only the runs of other
# characters go through the slower Unicode rules.
sub normalise {
    my ($text) = @_;
    $text =~ tr/A-Z/a-z/;
    if ($text =~ /[\x80-\xff]/) {
        # A combining accent (U+0300 to U+036F) may belong to the ASCII
        # letter before it; looking for that letter slows the scan down.
        my $run = $text =~ /[\xcc\xcd]/ ? qr/[a-z0-9]?[\x80-\xff]+/ : qr/[\x80-\xff]+/;
        $text =~ s/$run/fold_unicode($&)/ge;
    }
    $text =~ s/[^a-z0-9 \t'.,\-\x80-\xff]+/ $BREAK /g;
    return split_at_connectors($text);
}

# A run of non-ASCII bytes (perhaps with the ASCII letter before it) in the
# form normalise() gives: invalid UTF-8 becomes U+FFFD, case is folded,
# accents are composed, curly apostrophes, Unicode hyphens and spaces become
# their ASCII forms, and characters that are no letter, digit or mark
# become $BREAK.
sub fold_unicode {
    my $run = fc Encode::decode('UTF-8', $_[0]);
    $run = Unicode::Normalize::NFC($run);
    $run =~ tr/\x{2018}\x{2019}\x{2010}\x{2011}\x{a0}\x{1680}\x{2000}-\x{200a}\x{202f}\x{205f}\x{3000}/''\-\- /;
    $run =~ s/[^\p{L}\p{M}\p{N} '\-]+/ $BREAK /g;
    return Encode::encode('UTF-8', $run);
}

# The connectors that do not join two parts of one word become $BREAK:
# points and commas except between two digits (thousands separators then
# go: "1,000" is the number 1000), and hyphens and apostrophes at the edge
# of a word or next to another connector. Every byte from 128 up is part of
# a letter, digit or mark by now, so these rules need to name only ASCII.
sub split_at_connectors {
    my ($text) = @_;
    $text =~ s/(?<=[0-9]),(?=[0-9])//g;
    $text =~ s/[.,](?!(?<=[0-9][.,])[0-9])/ $BREAK /g;
    $text =~ s/['\-](?:(?<![^ \t'\-\x01]['\-])|(?![^ \t'.\-\x01]))/ $BREAK /g;
    return $text;
}

# The analysis of a normalised text: its words and adjacent pairs, one
# term a line. $skip holds the stop words and $BREAK.
sub analyse_text {
    my ($text, $skip) = @_;
    my ($min, $max, $pairs) = @settings{qw(min max pairs)};
    my $ascii = $text !~ /[\x80-\xff]/;
    my $terms = '';
    my $left;    # the previous kept word while nothing has parted them
    my @words = split ' ', $text;
    for my $word (@words) {
        if ($skip->{$word}) {
            undef $left;
            next;
        }
        $word = substr($word, 0, -2) if substr($word, -2) eq "'s";    # "john's" is "john"
        my $length = $ascii ? length $word : ($word =~ tr/\x00-\x7f\xc0-\xff//);
        if ($length < $min || $length > $max || $skip->{$word}) {
            undef $left;
            next;
        }
        $terms .= $pairs && defined $left ? "$word\n[ $word , $left ]\n" : "$word\n";
        $left = $word;
    }
    return $terms;
}

sub answer {
    my ($path, $skip) = @_;
    my $bytes = read_document($path);
    return '' unless defined $bytes && length $bytes;
    return analyse_text(normalise($bytes), $skip);
}

parse_options();
my $skip = skipped_words();
binmode STDIN;
binmode STDOUT;
$| = 1;
while (defined(my $path = <STDIN>)) {
    chomp $path;
    # Whatever goes wrong with one document, mivo still gets its answer.
    my $text = eval { answer($path, $skip) };
    if (!defined $text) {
        chomp(my $why = $@);
        complain($path, $why);
        $text = '';
    }
    print $text, "\x01";
}
exit 0;

# English function words, dropped unless -keep-stopwords or -stopwords.
__DATA__
a about above across after afterwards again against all almost along already
also although always am among amongst an and another any anybody anyhow
anyone anything anyway anywhere are around as at
be became because become becomes been before beforehand behind being below
beside besides between beyond both but by
can cannot could
did do does doing done down during
each either else elsewhere enough etc even ever every everybody everyone
everything everywhere except
few for from further furthermore
had has have having he hence her here hereby herein hers herself him himself
his how however
i if in indeed instead into is it its itself
just
last least less let like
many may me meanwhile might mine more moreover most mostly much must my
myself
namely neither never nevertheless next no nobody none noone nor not nothing
now nowhere
of off often on once one only onto or other others otherwise our ours
ourselves out over own
per perhaps
quite
rather
same several shall she should since so some somebody somehow someone
something sometimes somewhat somewhere still such
than that the their theirs them themselves then thence there thereafter
thereby therefore therein thereupon these they this those though through
throughout thus to together too toward towards
under until up upon us
very via
was we well were what whatever when whence whenever where whereas whereby
wherein whereupon wherever whether which while whither who whoever whole whom
whose why will with within without would
yet you your yours yourself yourselves
ain't aren't can't couldn't didn't doesn't don't hadn't hasn't haven't he'd
he'll he's here's how's i'd i'll i'm i've isn't it'd it'll it's let's
mightn't mustn't shan't she'd she'll she's shouldn't that's there's they'd
they'll they're they've wasn't we'd we'll we're we've weren't what's when's
where's who's why's won't wouldn't you'd you'll you're you've
