#!/usr/bin/perl
# Writes one of bench/install.sh's install sets in one process (a process per file costs more than
# the file here): the master copy, one zip per file on the mirror, the manifest with every file's
# sizes and MD5, and curl's list of URLs, the files dealt to the three mirror names in turn.
# Arguments: kind (1000, 20x10M or 10000x2k), master folder, mirror folder, manifest, URL list,
# curl's output folder.
use strict;
use warnings;
use Digest::MD5 qw(md5_hex);
use File::Path qw(make_path);
use IO::Compress::Zip qw(zip $ZipError :zip_method);

my ($kind, $master, $mirror, $manifest, $urls, $curl_out) = @ARGV;
my %count = ('1000' => 1000, '20x10M' => 20, '10000x2k' => 10000);
die "unknown set $kind\n" unless exists $count{$kind};
my $count = $count{$kind};

sub size_of {
    my ($i) = @_;
    return ($i * 7919 % 400) * 1000 + 500 if $kind eq '1000';
    return 10000000 if $kind eq '20x10M';
    return 2000;
}

open(my $random, '<:raw', '/dev/urandom') or die "urandom: $!";
open(my $dir, '>', $manifest) or die "$manifest: $!";
open(my $list, '>', $urls) or die "$urls: $!";
print $dir "I\n900 version\nINSTALLER\n\n";
(my $set_name = $mirror) =~ s{.*/}{};
for my $i (0 .. $count - 1) {
    my $folder = "Ventaro/Resources/folder " . int($i / 50) . "/";
    my $name = "file $i.dat";
    my $size = size_of($i);
    my $bytes;
    if ($i % 3 == 0) {
        read($random, $bytes, $size) == $size or die "urandom: short read";
    } else {
        my $line = "line $i of some text for the installer benchmark\n";
        $bytes = substr($line x (int($size / length($line)) + 1), 0, $size);
    }
    make_path("$master/$folder", "$mirror/$folder");
    open(my $f, '>:raw', "$master/$folder$name") or die "$name: $!";
    print $f $bytes;
    close($f) or die "$name: $!";
    my $zip = "$mirror/$folder$name.zip";
    zip(\$bytes => $zip, Name => $name, Method => ZIP_CM_DEFLATE, ExtAttr => (0100644 << 16), Time => 1577836800)
        or die "zip: $ZipError";
    print $dir "\nDIR $folder\n" if $i % 50 == 0;
    printf $dir "FILE 0 0 1 %d %d %s %s\n", int((-s $zip) / 1000), int($size / 1000), md5_hex($bytes), $name;
    (my $url = "$set_name/$folder$name.zip") =~ s/ /%20/g;
    printf $list "url = \"http://m%d.bench/%s\"\noutput = \"%s/%d.zip\"\n", $i % 3 + 1, $url, $curl_out, $i;
}
close($dir) or die "$manifest: $!";
close($list) or die "$urls: $!";
