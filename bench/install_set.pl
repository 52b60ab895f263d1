#!/usr/bin/perl
# Writes the master folder of one of the install benchmarks' sets in one process (a process per
# file costs more than the file here): the files under All/Resources/, and the plug-ins and
# folders the builder demands of every master folder. The builder makes the set from it.
# Arguments: kind (1000, 20x10M or 10000x2k), master folder.
use strict;
use warnings;
use File::Path qw(make_path);

my ($kind, $master) = @ARGV;
my %count = ('1000' => 1000, '20x10M' => 20, '10000x2k' => 10000);
die "unknown set $kind\n" unless exists $count{$kind};
my $count = $count{$kind};

sub size_of {
    my ($i) = @_;
    return ($i * 7919 % 400) * 1000 + 500 if $kind eq '1000';
    return 10000000 if $kind eq '20x10M';
    return 2000;
}

sub write_file {
    my ($path, $bytes) = @_;
    open(my $f, '>:raw', $path) or die "$path: $!";
    print $f $bytes;
    close($f) or die "$path: $!";
}

make_path(map { "$master/$_" } 'Macintosh', 'Windows', 'Linux', 'All/Instructions', 'All/Weapons', 'All/Airfoils',
          'All/Aircraft', 'All/Output', 'All/Custom Scenery', 'All/Resources/plugins/PluginAdmin',
          'All/Resources/plugins/VNLM.framework', 'All/Resources/plugins/VNWidgets.framework');
for my $plugin ('Commands.txt', 'DataRefs.txt', 'PluginAdmin/lin.vnp', 'PluginAdmin/mac.vnp', 'PluginAdmin/win.vnp',
                'VNLM.dll', 'VNLM.framework/VNLM', 'VNLM.shlb', 'VNLM.so', 'VNWidgets.dll',
                'VNWidgets.framework/VNWidgets', 'VNWidgets.shlb', 'VNWidgets.so') {
    write_file("$master/All/Resources/plugins/$plugin", "stand-in for $plugin\n");
}

open(my $random, '<:raw', '/dev/urandom') or die "urandom: $!";
for my $i (0 .. $count - 1) {
    my $folder = "All/Resources/folder " . int($i / 50) . "/";
    my $size = size_of($i);
    my $bytes;
    if ($i % 3 == 0) {
        read($random, $bytes, $size) == $size or die "urandom: short read";
    } else {
        my $line = "line $i of some text for the installer benchmark\n";
        $bytes = substr($line x (int($size / length($line)) + 1), 0, $size);
    }
    make_path("$master/$folder");
    write_file("$master/${folder}file $i.dat", $bytes);
}
