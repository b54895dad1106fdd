#!/usr/bin/perl
# A stand-in analyser written the way many are: one unbuffered read() per
# request, whatever else that read returned ignored, and the document's own
# text as the answer. It hangs when a second request comes before the first
# answer is read.
use strict;
use warnings;
while (sysread(STDIN, my $request, 65536)) {
  my ($path) = split /\n/, $request;
  my $text = '';
  if (open(my $in, '<:raw', $path)) { local $/; $text = <$in> // ''; }
  syswrite(STDOUT, "$text\001");
}
