# Writes the manual page of veltrane-cli from its own --help text, so that the two never
# disagree:  cmake -DCLI=veltrane-cli -DVERSION=x.y.z -DOUT=veltrane-cli.1 -P manpage.cmake
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "veltrane-cli --help ended with ${rc}")
endif()
string(REPLACE "\r\n" "\n" help "${help}")
# troff: a backslash is written \e, and a line may not start with a dot or quote.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REGEX REPLACE "^usage: [^\n]*\n" "" body "${help}")
file(WRITE ${OUT} ".TH VELTRANE-CLI 1 \"\" \"Veltrane ${VERSION}\" \"User Commands\"
.SH NAME
veltrane-cli \\- convert DXF drawings into motion programs; transform, check and export programs
.SH SYNOPSIS
.B veltrane-cli
.I COMMAND
[\\fIOPTIONS\\fR] \\fIFILE\\fR
.SH DESCRIPTION
The scriptable face of Veltrane: the same conversion, transforms, checks and exports
as the window, for batch work.
.PP
.nf
${body}.fi
.SH EXIT STATUS
.TP
0
done
.TP
1
nothing done (an error, named on standard error), or the check found something
.TP
2
the command line could not be read
.TP
3
partly done: some sequences were refused, each named on standard error
.PP
Standard output or a file that cannot be written is always an error.
.SH FILES
Settings: \\fI$XDG_CONFIG_HOME/veltrane/settings.conf\\fR (default \\fI~/.config\\fR), or the file
named by \\fBVELTRANE_SETTINGS\\fR.
.SH SEE ALSO
.BR veltrane (1),
the user guide in \\fI/usr/share/doc/veltrane/veltrane.html\\fR.
")
