#!/usr/bin/env perl
# Checks a captured stream of analyser answers the way mivo reads them:
# splits it at the bytes of value 1, scans each answer with the
# document-mode token rules and parses it with the frame grammar. Prints
# every (head, modifier) pair an answer enters, one line each:
#   <answer number> TAB <count> TAB <head> TAB <modifier, empty for none>
# and reports on standard error, in mivo's wording, every syntax or lexical
# error, a NUL byte (mivo stops reading there), a token too long for mivo's
# scanner buffer, an empty phrase (mivo refuses it) and bytes that are not
# UTF-8. Exits with 1 when anything was reported.
# Usage: check_notation.pl <file of answers>
use strict;
use warnings;

my $BUFFER = 16384;    # mivo's scanner buffer; a longer token is fatal there
my $problems = 0;

sub problem {
    print STDERR "@_\n";
    $problems++;
}

my $WORD_CHAR = qr/[^ \t\x0b\f\r\n\x00-\x08\x0e-\x1f",\[\]{|}\\]/;
# Document-mode rules in priority order: [kind, pattern]. The longest match
# wins; between equal lengths the earlier rule.
my @RULES = (
    [bracket      => qr/\G[\[\]{}|]/],
    [WORD         => qr/\G[0-9](?:,*[0-9])*/],
    [WORD         => qr/\G(?:$WORD_CHAR|\\[^\n])+/],
    [space        => qr/\G[ \t\x0b\f\r\n]+/],
    [STRING       => qr/\G"(?:\\"|[^"\n])*"/],
    [unterminated => qr/\G"(?:\\"|[^"\n])*\n/],
    [char         => qr/\G[^\n]/],
);

# The tokens of one answer: [kind, text, line], ended by [EOF, '', line].
sub scan {
    my ($answer, $name) = @_;
    my ($pos, $line, @tokens) = (0, 1);
    while ($pos < length $answer) {
        my ($kind, $length) = ('', 0);
        for my $rule (@RULES) {
            pos($answer) = $pos;
            next unless $answer =~ /$rule->[1]/g;
            ($kind, $length) = ($rule->[0], pos($answer) - $pos) if pos($answer) - $pos > $length;
        }
        my $text = substr $answer, $pos, $length;
        if ($length > $BUFFER - 2) {
            problem("file $name: line $line: a token of $length bytes overflows the scanner buffer");
            last;
        }
        if ($text eq "\0") {
            problem("file $name: line $line: NUL byte ends the answer early");
            last;
        }
        if ($kind eq 'unterminated') {
            problem("file $name: line $line: unterminated string constant");
            $length--;    # the newline is scanned again as white space
        } elsif ($kind eq 'STRING') {
            push @tokens, ['WORD', substr($text, 1, -1), $line];
        } elsif ($kind eq 'bracket' || $kind eq 'char') {
            push @tokens, [$text, $text, $line];
        } elsif ($kind eq 'WORD') {
            push @tokens, ['WORD', $text, $line];
        }
        $line += (substr($answer, $pos, $length) =~ tr/\n//);
        $pos += $length;
    }
    push @tokens, ['EOF', '', $line];
    return @tokens;
}

# The recursive-descent parser over the tokens, with mivo's error recovery.
package Parser;

sub new {
    my ($class, $name, @tokens) = @_;
    return bless { name => $name, tokens => \@tokens, at => 0, in_error => 0, pairs => {} }, $class;
}

sub look   { $_[0]{tokens}[ $_[0]{at} ] }
sub is     { $_[0]->look->[0] eq $_[1] }
sub skip   { $_[0]{at}++ unless $_[0]->is('EOF') }
sub was    { my ($p, $kind) = @_; return 0 unless $p->is($kind); $p->skip; return 1 }

sub syntax_error {
    my ($p, $message) = @_;
    return if $p->{in_error};
    $p->{in_error} = 1;
    my ($kind, $text, $line) = @{ $p->look };
    $text = '<EOF>' if $kind eq 'EOF';
    main::problem("file $p->{name}: line $line: before `$text': parse error: $message");
}

sub enter {
    my ($p, $head, $mod) = @_;
    $p->{pairs}{"$head\t$mod"}++;
}

sub atom {
    my ($p, $text) = @_;
    main::problem("file $p->{name}: empty phrase, which mivo refuses") if $text eq '';
    return $text;
}

sub parse {
    my ($p) = @_;
    until ($p->is('EOF')) {
        if ($p->is('WORD')) {
            $p->enter($p->atom($p->look->[1]), '');
            $p->skip;
        } elsif (!$p->was_frame([])) {
            $p->skip;
        }
    }
    return $p->{pairs};
}

sub was_frame {
    my ($p, $heads) = @_;
    for my $brackets (['[', ']'], ['{', '}']) {
        my ($open, $close) = @$brackets;
        next unless $p->was($open);
        $p->frame_body($heads);
        @$heads = () if $open eq '{';
        if ($p->{in_error}) {
            $p->skip until $p->is($close) || $p->is('EOF');
            $p->{in_error} = 0;
        }
        $p->syntax_error("`$close' expected") unless $p->was($close);
        return 1;
    }
    return 0;
}

sub frame_body {
    my ($p, $heads) = @_;
    do { $p->syntax_error('head expected') unless $p->was_terms($heads) } while $p->was('|');
    if ($p->was(',')) {
        do {
            my @mods;
            if ($p->was_terms(\@mods)) {
                for my $head (@$heads) { $p->enter($head, $_) for @mods }
            }
        } while $p->was('|');
    } else {
        $p->enter($_, '') for @$heads;
    }
}

# A term sequence: words join into phrases, a frame multiplies them by its heads.
sub was_terms {
    my ($p, $result) = @_;
    my @phrases = ('');
    my $found = 0;
    while (1) {
        my @heads;
        if ($p->was_frame(\@heads)) {
            @phrases = map { my $phrase = $_; map { $phrase eq '' ? $_ : "$phrase $_" } @heads } @phrases;
            $found ||= @phrases > 0;
        } elsif ($p->is('WORD')) {
            my $word = $p->look->[1];
            @phrases = map { $_ eq '' ? $word : "$_ $word" } @phrases;
            $p->skip;
            $found = 1;
        } else {
            last;
        }
    }
    push @$result, map { $p->atom($_) } @phrases if $found;
    return $found;
}

package main;

my $file = shift // die "usage: check_notation.pl <file of answers>\n";
open my $fh, '<:raw', $file or die "check_notation.pl: cannot open `$file': $!\n";
my $stream = do { local $/; <$fh> };
problem("the stream does not end with an answer's byte of value 1") if length $stream && $stream !~ /\x01\z/;
my $number = 0;
for my $answer (split /\x01/, $stream, -1) {
    last if ++$number > ($stream =~ tr/\x01//);
    my $name = "answer $number";
    my $copy = $answer;
    problem("file $name: not valid UTF-8") unless utf8::decode($copy);
    my $pairs = Parser->new($name, scan($answer, $name))->parse;
    print "$number\t$pairs->{$_}\t$_\n" for sort keys %$pairs;
}
exit($problems ? 1 : 0);
