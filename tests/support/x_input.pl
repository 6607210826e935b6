#!/usr/bin/perl
# Real input at the X server itself, through its XTEST extension, for the
# picker tests: a key pressed or released, or the pointer moved. Wine makes
# its modifier keys and its pointer agree with the X server whenever the
# pointer passes into another window, so a modifier or a pointer position
# injected only through Windows can be undone at that moment; input given
# here is what the X server, and so Wine, holds to be true.
#   x_input.pl press|release <keysym in hex>    (ffe3 Control_L, ffe1 Shift_L)
#   x_input.pl move <x> <y>                      (root window coordinates)
# Speaks the X protocol over the display's local socket; needs only perl-base.
use strict;
use warnings;
use IO::Socket::UNIX;

alarm 10; # never outlive the test that started it

my ($action, @values) = @ARGV;
die "usage: x_input.pl press|release <keysym> | move <x> <y>\n"
    unless defined $action && ($action =~ /^(press|release)$/ && @values == 1 || $action eq 'move' && @values == 2);
my ($display) = ($ENV{DISPLAY} // '') =~ /^:(\d+)/ or die "no local DISPLAY\n";
my $x11 = IO::Socket::UNIX->new(Peer => "/tmp/.X11-unix/X$display") or die "cannot connect to :$display: $!\n";
binmode $x11;

sub take {
    my ($count) = @_;
    my $data = '';
    while (length $data < $count) {
        my $got = sysread($x11, $data, $count - length $data, length $data);
        die "the X server closed the connection\n" unless $got;
    }
    return $data;
}

# The next reply, 32 bytes and its extra data; an error ends the script.
# Events (MappingNotify goes to every client) are passed over.
sub reply {
    for (;;) {
        my $head = take(32);
        my ($kind, $code) = unpack 'CC', $head;
        die "X error $code\n" if $kind == 0;
        next if $kind != 1;
        my $extra = unpack 'x4L', $head;
        return ($head, $extra ? take(4 * $extra) : '');
    }
}

# Connection set-up, little-endian, no authorisation.
syswrite $x11, pack('a1xSSSSxx', 'l', 11, 0, 0, 0);
my ($status, $extraWords) = unpack 'Cx5S', take(8);
my $setup = take(4 * $extraWords);
die "the X server refused the connection\n" unless $status == 1;
my ($minKeycode, $maxKeycode) = unpack 'x26CC', $setup;

# The XTEST extension's request code.
my $name = 'XTEST';
my $padded = $name . ("\0" x ((4 - length($name) % 4) % 4));
syswrite $x11, pack('CxSSxx', 98, 2 + length($padded) / 4, length $name) . $padded;
my ($extension) = reply();
my ($present, $opcode) = unpack 'x8CC', $extension;
die "no XTEST extension\n" unless $present;

# FakeInput: KeyPress (2), KeyRelease (3) or an absolute MotionNotify (6),
# now, on the default root window.
sub fake {
    my ($type, $detail, $x, $y) = @_;
    syswrite $x11, pack('CCSCCxxLLx8ssx7C', $opcode, 2, 9, $type, $detail, 0, 0, $x, $y, 0);
}

if ($action eq 'move') {
    fake(6, 0, @values);
} else {
    # The keycode that carries the keysym.
    my $keysym = hex $values[0];
    my $count = $maxKeycode - $minKeycode + 1;
    syswrite $x11, pack('CxSCCxx', 101, 2, $minKeycode, $count);
    my ($mapHead, $keysyms) = reply();
    my $perKeycode = unpack 'xC', $mapHead;
    my @syms = unpack 'L*', $keysyms;
    my ($index) = grep { $syms[$_] == $keysym } 0 .. $#syms;
    die "no keycode for keysym $values[0]\n" unless defined $index;
    fake($action eq 'press' ? 2 : 3, $minKeycode + int($index / $perKeycode), 0, 0);
}

# A round trip, so the input has been taken when the script ends.
syswrite $x11, pack('CxS', 43, 1);
reply();
exit 0;
