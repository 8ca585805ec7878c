# Makes a man page from a program's --help and --version, so the page never
# says other than the program does. Run as
#   cmake -DPROGRAM=path -DNAME=brisko-cli -DSUMMARY="..." -DEXTRA=file -DOUT=page.1.gz -P help_to_man.cmake
# EXTRA (optional) holds roff sections appended after the help text.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE helpResult)
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE version RESULT_VARIABLE versionResult)
if(NOT helpResult EQUAL 0 OR NOT versionResult EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help or --version failed")
endif()
string(STRIP "${version}" version)
string(REGEX REPLACE "^[^ ]+ " "" versionNumber "${version}")

# roff: a backslash is written \e, and a line may not start with . or '.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" title)

set(page ".TH ${title} 1 \"\" \"${NAME} ${versionNumber}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${SUMMARY}\n")
string(APPEND page ".SH SYNOPSIS\n.B ${NAME}\n[\\fIOPTIONS\\fR]\n")
if(NAME STREQUAL "brisko-cli")
  string(APPEND page "\\fICOMMAND\\fR [\\fICOMMAND-OPTIONS\\fR]\n")
endif()
string(APPEND page ".SH DESCRIPTION\nWhat \\fB${NAME} \\-\\-help\\fR prints:\n.PP\n.nf\n${help}.fi\n")
if(EXTRA)
  file(READ ${EXTRA} extra)
  string(APPEND page "${extra}")
endif()
string(APPEND page ".SH VERSION\n${version}\n")

get_filename_component(folder ${OUT} DIRECTORY)
get_filename_component(stem ${OUT} NAME_WLE)
file(WRITE ${folder}/${stem} "${page}")
# Debian keeps man pages compressed; -n leaves no time stamp in the file.
execute_process(COMMAND gzip -9nf ${folder}/${stem} RESULT_VARIABLE gzipResult)
if(NOT gzipResult EQUAL 0)
  message(FATAL_ERROR "gzip of ${stem} failed")
endif()
