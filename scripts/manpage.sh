#!/bin/sh
# Writes the manual page of the quorvane tool with help2man, from the tool's own --help and
# --version texts, so the page says what the built tool does.
#   scripts/manpage.sh path/to/quorvane > quorvane.1
set -eu
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
commands="render plot info snapshot edit demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The column where descriptions start. An option whose name fills the column up to one space is
# followed by that single space, and help2man needs two to tell the name from its description.
column=$("$tool" --help | sed -n 's/^\(  -h,--help  *\)Print.*/\1/p' | tr -d '\n' | wc -c)
pad="s/^\(  .\{$((column - 4))\}[^ ]\) \([^ ]\)/\1  \2/"

# help2man reads one program's --help: the tool, or a stand-in that answers for one command.
stand_in() {
    cat >"$work/$1" <<SCRIPT
#!/bin/sh
[ "\$1" = --version ] && exec "$tool" --version
"$tool" $2 --help | sed '$pad'
SCRIPT
    chmod +x "$work/$1"
}

# help2man sets only the first of "-o,--output" in bold.
bold_long_names() {
    sed -e 's/^\(\\fB\\-[a-zA-Z]\\fR\),\\-\\-\([a-z-]*\)/\1, \\fB\\-\\-\2\\fR/'
}

# One command's help as a subsection: its usage, its description, positionals and options as
# bold paragraphs with tagged entries; the exit-code footer is left for its own section.
command_section() {
    usage=$("$tool" "$1" --help | sed -n 's/^Usage: quorvane //p')
    printf '.SS %s\n.PP\n\\fBquorvane\\fR %s\n.PP\n' "$1" "$usage"
    stand_in "$1" "$1"
    help2man --no-info --no-discard-stderr --version-string=x "$work/$1" |
        sed -n '/^\.SH DESCRIPTION/,$p' |
        sed -e '/^\.SH DESCRIPTION/d' \
            -e 's/^\.SH OPTIONS/.PP\n\\fBOptions:\\fR/' \
            -e 's/^\.SS "\(.*\)"/.PP\n\\fB\1\\fR/' \
            -e '/^Exit codes:/d' |
        sed -e '$!N;/^\.PP\n*$/d;P;D' |
        bold_long_names
}

{
    echo "[NAME]"
    echo "quorvane \\- duck a signal under a key through the Quorvane plug-in, offline, and inspect VST 2 modules"
    echo "[SYNOPSIS]"
    for command in $commands; do
        usage=$("$tool" "$command" --help | sed -n 's/^Usage: quorvane //p')
        printf '.br\n\\fBquorvane\\fR %s\n' "$usage"
    done
    printf '.br\n\\fBquorvane \\-\\-version\\fR\n'
    echo "[COMMANDS]"
    for command in $commands; do
        command_section "$command"
    done
    cat <<'ROFF'
[EXIT STATUS]
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
[FILES]
.TP
.I /usr/lib/vst/Quorvane.so
the plug-in the tool loads unless \fB\-\-plugin\fR names another; it is looked for beside the
tool first, then in \fI../lib/vst/\fR from the tool's folder.
ROFF
} >"$work/sections.h2m"

stand_in quorvane ""
version=$("$tool" --version | head -n 1 | sed 's/^quorvane //')
help2man --no-info --no-discard-stderr --include="$work/sections.h2m" \
    --version-string="$version" \
    "$work/quorvane" |
    sed -e '/^Exit codes:/d' | bold_long_names
