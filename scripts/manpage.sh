#!/bin/sh
# Writes the manual page of the quorvane tool, in roff, from the tool's own --help and --version
# texts, so the page says what the built tool does.
#   scripts/manpage.sh path/to/quorvane > quorvane.1
set -eu
tool=$1
commands="render plot info snapshot edit demo"

# One help text in roff: the first line is a paragraph, "Usage:" a bold line, section titles
# ("Options:") bold paragraphs, and every option or subcommand a tagged paragraph; the exit-code
# footer is left for its own section.
help_to_roff() {
    awk '
    function esc(s) { gsub(/\\/, "\\e", s); sub(/^[.\047]/, "\\\\&&", s); return s }
    function dash(s) { gsub(/-/, "\\-", s); return s }
    NR == 1 { print ".PP"; print esc($0); next }
    /^Usage: / { sub(/^Usage: /, ""); print ".PP"; print "\\fBUsage:\\fR " esc($0); next }
    /^Exit codes:/ { next }
    /^[A-Z][a-z]*:$/ { print ".PP"; print "\\fB" $0 "\\fR"; next }
    /^   +[^ ]/ { sub(/^ +/, ""); print esc($0); next }
    /^  [^ ]/ {
        line = substr($0, 3)
        split(line, parts, /  +/)
        print ".TP"
        print "\\fB" dash(esc(parts[1])) "\\fR"
        rest = line; sub(/^[^ ]+( [^ ]+)*  +/, "", rest)
        if (rest != line) print esc(rest)
        next
    }
    /^$/ { next }
    { print esc($0) }
    '
}

version=$("$tool" --version | head -n 1)
cat <<ROFF
.TH QUORVANE 1 "" "$version" "User Commands"
.SH NAME
quorvane \\- duck a signal under a key through the Quorvane plug-in, offline, and inspect VST 2 modules
.SH SYNOPSIS
ROFF
for command in $commands; do
    usage=$("$tool" "$command" --help | sed -n 's/^Usage: quorvane //p')
    printf '.br\n\\fBquorvane\\fR %s\n' "$usage"
done
printf '.br\n\\fBquorvane \\-\\-version\\fR\n'
echo ".SH DESCRIPTION"
"$tool" --help | help_to_roff
echo ".SH COMMANDS"
for command in $commands; do
    echo ".SS $command"
    "$tool" "$command" --help | help_to_roff
done
cat <<'ROFF'
.SH "EXIT STATUS"
.TP
.B 0
done
.TP
.B 1
another failure
.TP
.B 2
a bad command line, or an output name no audio format is written as
.TP
.B 3
a bad input file
.TP
.B 4
a module that cannot be loaded or used
.TP
.B 5
an output that cannot be written
.TP
.B 130
interrupted; nothing was written
.SH FILES
.TP
.I /usr/lib/vst/Quorvane.so
the plug-in the tool loads unless \fB\-\-plugin\fR names another; it is looked for beside the
tool first, then in \fI../lib/vst/\fR from the tool's folder.
ROFF
